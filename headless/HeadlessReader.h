#pragma once

#include "core/ConnectionEntries.h"
#include "headless/HeadlessOptions.h"

#include <iosfwd>
#include <string>
#include <vector>

struct TReadingTexts;
class TDmSQMBase;
class TStopWaiter;

// Overrides the connection entries of the saved record with the options. Raises EUsageError
// for an option that does not apply to the model.
void ApplyOptions(const THeadlessOptions& options, TConnectionEntries& connection);

// The eight values of a reading as the window shows them, one "name: value" line each
// (ending in a line feed), in the window's order.
std::string ReadingFieldLines(const TReadingTexts& texts);

// Runs nightlux-read with the arguments (without the program name) against the settings
// file: readings go to out, messages to err; waiter paces continuous readings and ends them.
// Returns the exit status: 0 when every reading was taken (and stored), 1 when one failed,
// 2 for a command line or entry that cannot be used.
int RunHeadlessReader(const std::vector<std::string>& args, const std::string& settingsFile,
                      std::ostream& out, std::ostream& err, TStopWaiter& waiter);
