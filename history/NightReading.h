#pragma once

#include "platform/DateTime.h"

#include <chrono>
#include <string>

// A local clock time as the readings file holds it: no time zone, to the second.
using TLocalTime = std::chrono::local_seconds;

// One stored reading as read back from the readings file.
struct TNightReading {
    TLocalTime Time;
    double Magnitude = 0.0; // MPSAS
    double Nelm = 0.0;
    double Temperature = 0.0; // degrees Celsius
    // The meter's texts as stored, in UTF-8.
    std::string SerialNumber;
    std::string ProtocolVersion;
    std::string ModelNumber;
    std::string FeatureVersion;
};

// The local clock time of a TDateTime, milliseconds dropped as the readings file drops them.
// Raises EConvertError for a value outside the years 1 to 9999.
TLocalTime LocalTimeOf(TDateTime value);

// "HH:MM" of a local time.
std::string ClockText(TLocalTime time);
