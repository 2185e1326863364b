#pragma once

#include "platform/DateTime.h"

#include <limits>
#include <string>

struct TReading;

// One reading as the sharing formats need it: both clocks, the raw replies it came from and
// the values cut from them.
struct TSharedReading {
    TDateTime LocalTime = 0.0;
    TDateTime UniversalTime = 0.0;
    std::string UnitInfoReply; // "ix", without its line end
    std::string ReadingReply;  // "rx", without its line end
    double Magnitude = 0.0;    // mag/arcsec^2
    double Temperature = 0.0;  // degrees Celsius
    double Counts = 0.0;       // sensor period in counts of the meter's clock
    double Frequency = 0.0;    // Hz
    // Naked-eye limiting magnitude; not a number unless the reading gave it.
    double Nelm = std::numeric_limits<double>::quiet_NaN();
    std::string SerialNumber;    // without leading zeros
    std::string FirmwareVersion; // protocol-model-feature, e.g. "4-3-76"
};

// The reading as the sharing formats need it. The frequency is the meter's Hz field, or 1 / the
// period in seconds when the meter measured by period (below 30 Hz with a positive period). Raises
// EConvertError for a field that is not a number, and for a reading without a time.
TSharedReading ReadSharedReading(const TReading& reading, TDateTime universalTime);
// The same with the universal time worked out from the reading's local time.
TSharedReading ReadSharedReading(const TReading& reading);

// A local clock time (as localtime_r gives it) as universal time. In the hour repeated when
// daylight saving ends, the C library's choice stands. Raises EConvertError for a time it
// cannot convert.
TDateTime UniversalTimeOf(TDateTime localTime);

// "YYYY-MM-DDTHH:mm:ss.fff".
std::string IsoTimeMs(TDateTime value);
// Digits without leading zeros ("00005533" -> "5533", "00000000" -> "0"); other text as it is.
std::string WithoutLeadingZeros(const std::string& digits);
