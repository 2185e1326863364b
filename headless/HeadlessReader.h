#pragma once

#include "headless/HeadlessOptions.h"

#include <iosfwd>
#include <string>
#include <vector>

struct TReadingTexts;
class TDmSQMBase;
class TSQMConfig;
class TStopWaiter;

// The meter connection of a headless run, held as the window holds it in its entries after
// loading the settings; the entries go through the window's checks before a link is made.
struct TReaderConnection {
    int ModelIndex = 0; // index of ModelNames()
    std::string Host;
    std::string Port;
    std::string Timeout; // seconds
    std::string ComPort;
    int BaudRate = 115200;
};

// The connection that the window shows for the record: the model of that list text (letter
// case ignored; the first model when none matches), the port in decimal, the time-out in
// whole seconds, the serial port ("COM1" when none is saved).
TReaderConnection ConnectionFromRecord(const TSQMConfig& record);
// Overrides the connection with the options. Raises EUsageError for an option that does not
// apply to the model.
void ApplyOptions(const THeadlessOptions& options, TReaderConnection& connection);

// The eight values of a reading as the window shows them, one "name: value" line each
// (ending in a line feed), in the window's order.
std::string ReadingFieldLines(const TReadingTexts& texts);

// Runs nightlux-read with the arguments (without the program name) against the settings
// file: readings go to out, messages to err; waiter paces continuous readings and ends them.
// Returns the exit status: 0 when every reading was taken (and stored), 1 when one failed,
// 2 for a command line or entry that cannot be used.
int RunHeadlessReader(const std::vector<std::string>& args, const std::string& settingsFile,
                      std::ostream& out, std::ostream& err, TStopWaiter& waiter);
