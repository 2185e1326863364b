#pragma once

#include "core/ConnectionEntries.h"
#include "headless/HeadlessOptions.h"
#include "sharing/ReadingSharing.h"

#include <iosfwd>
#include <string>
#include <vector>

struct TReadingTexts;
class TDmSQMBase;
class TStopWaiter;
class TIniFile;

// Overrides the connection entries of the saved record with the options. Raises EUsageError
// for an option that does not apply to the model.
void ApplyOptions(const THeadlessOptions& options, TConnectionEntries& connection);

// The saved site with --position and --site over it. A saved site that cannot be read raises
// ESiteError, unless --position replaces its position.
TSite SiteOf(const THeadlessOptions& options, const TIniFile& ini);

// Overrides the saved sharing settings with the sharing options.
void ApplySharingOptions(const THeadlessOptions& options, TSharingSetup& setup);

// The eight values of a reading as the window shows them, one "name: value" line each
// (ending in a line feed), in the window's order.
std::string ReadingFieldLines(const TReadingTexts& texts);

// Runs nightlux-read with the arguments (without the program name) against the settings
// file: readings go to out, messages to err; waiter paces continuous readings and ends them.
// Returns the exit status: 0 when every reading was taken (and stored), 1 when one failed,
// 2 for a command line, entry, site or sharing setting that cannot be used. With --ephemeris
// it prints the night's Sun and Moon times instead and reads no meter.
int RunHeadlessReader(const std::vector<std::string>& args, const std::string& settingsFile,
                      std::ostream& out, std::ostream& err, TStopWaiter& waiter);
