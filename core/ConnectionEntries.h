#pragma once

#include <string>

class TSQMConfig;

// The meter connection as the window holds it in its entries after loading the settings;
// the entries go through the entry checks before a link is made.
struct TConnectionEntries {
    int ModelIndex = 0; // index of ModelNames()
    std::string Host;
    std::string Port;
    std::string Timeout; // seconds
    std::string ComPort;
    int BaudRate = 115200;
};

// The entries for the record: the model of that list text (letter case ignored; the first
// model when none matches), the port in unsigned decimal, the time-out in whole seconds, the
// serial port ("COM1" when none is saved, "COM1" to "COM16" spelled as the list spells them).
TConnectionEntries ConnectionEntriesFromRecord(const TSQMConfig& record);
