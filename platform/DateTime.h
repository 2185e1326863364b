#pragma once

#include "platform/Export.h"

#include <cstdint>

// Days since 1899-12-30 00:00 in the whole part, time of day in the fraction. Before that
// day the whole part is negative and the time of day is the absolute value of the fraction
// (-1.25 is 1899-12-29 06:00).
class NIGHTLUX_EXPORT TDateTime {
public:
    constexpr TDateTime() = default;
    constexpr TDateTime(double value) : Value(value) {}
    constexpr operator double() const { return Value; }

private:
    double Value = 0.0;
};

struct TDateTimeFields {
    int Year = 0;
    int Month = 0;
    int Day = 0;
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
    int Millisecond = 0;
    int DayOfWeek = 0; // 0 = Sunday
};

// Splits a value into calendar and clock fields, rounded to the millisecond.
TDateTimeFields DecodeDateTime(TDateTime value);

// Builds a value; raises EConvertError for a year outside 1..9999 or any field out of range.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int millisecond);
TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                         int millisecond);

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// The local date and time to the millisecond, read from the local time source that tests
// can pin (GetLocalTime in platform/SystemTime.h).
TDateTime Now();
