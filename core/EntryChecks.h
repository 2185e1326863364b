#pragma once

#include <string>

// The checks applied to the Ethernet meter's entries before a link is made, with their
// messages. Shared by the window and the headless reader.

inline constexpr const char* BlankAddressMessage = "A non-blank IP Address must be entered.";
inline constexpr const char* PortRangeMessage = "Port must be between 1 and 65535 inclusively.";
inline constexpr const char* TimeoutRangeMessage = "Timeout must be between 1 and 30 inclusively.";

// The entries of an SQM-LE once they have passed the checks.
struct TEthernetEntries {
    std::string Host;
    int Port = 0;
    int TimeoutMs = 0;
};

// Checks the address (taken untrimmed; empty or "(null)" is refused), the port (a whole
// number from 1 to 65535) and the time-out (a whole number of seconds from 1 to 30), in
// that order. Returns the message of the first refused entry, or an empty text when all
// pass; entries is filled only then.
std::string CheckEthernetEntries(const std::string& host, const std::string& port,
                                 const std::string& timeout, TEthernetEntries& entries);

// An entry's text as a whole number, by the program's integer conversion (TryStrToInt).
// False, and value untouched, when the text is not a 32-bit integer.
bool EntryToInt(const std::string& text, int& value);
