#pragma once

#include "core/ConnectionEntries.h"
#include "headless/HeadlessOptions.h"

#include <iosfwd>

class TIniFile;
class TStopWaiter;

// Runs --logger against the SQM-LU-DL of the connection: status, download, the clock, the
// logging settings, erase. Results go to out as "name: value" lines, messages and the
// download's progress to err (progressLine: a line redrawn in place, for a terminal).
// Returns the exit status: 0 done, 1 a command, record or file that failed, 2 a command line
// or setting that cannot be used.
int RunLoggerCommand(const THeadlessOptions& options, const TConnectionEntries& connection,
                     const TIniFile& ini, std::ostream& out, std::ostream& err, TStopWaiter& waiter,
                     bool progressLine);
