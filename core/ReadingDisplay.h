#pragma once

#include "platform/DateTime.h"
#include "platform/RegionalFormats.h"

#include <string>

// The display forms of a reading's values, shared by the window and the command-line
// reader. Numbers always use "." as the decimal point.

// What the user is told when a reply's number field does not convert.
inline const std::string NotValidReading = "The reading returned from the SQM is not valid.";

// Sky brightness, "%.2f".
std::string MagnitudeText(double magnitude);
// Naked-eye limiting magnitude, "%.1f".
std::string NelmText(double nelm);
// The shortest general form (up to 15 significant digits) followed by " °C".
std::string TemperatureText(double celsius);
// A unit-information field: a whole 32-bit number (the program's integer conversion) without
// leading zeros, any other text unchanged.
std::string UnitFieldText(const std::string& field);
// The reading time in the regional formats: the long time alone below 1.0, the short date
// alone for a whole number, otherwise the short date, a blank and the long time.
std::string ReadingTimeText(TDateTime time, const TRegionalFormats& formats = TRegionalFormats());
