#pragma once

#include "platform/DateTime.h"

#include <cstdint>

// A calendar date and clock time as eight unsigned 16-bit fields, in this order.
struct SYSTEMTIME {
    std::uint16_t wYear = 0;
    std::uint16_t wMonth = 0;     // 1..12
    std::uint16_t wDayOfWeek = 0; // 0 = Sunday ... 6
    std::uint16_t wDay = 0;
    std::uint16_t wHour = 0;
    std::uint16_t wMinute = 0;
    std::uint16_t wSecond = 0;
    std::uint16_t wMilliseconds = 0;

    bool operator==(const SYSTEMTIME&) const = default;
};
static_assert(sizeof(SYSTEMTIME) == 16);

// The date and clock time of the record, milliseconds included. Raises EConvertError for a
// date or time the platform cannot encode (years 1..9999).
TDateTime SystemTimeToDateTime(const SYSTEMTIME& st);

// The local date and time (localtime_r, so TZ applies) to the millisecond, read from the
// current local time source.
SYSTEMTIME GetLocalTime();

// Replaces the local time source (tests pin the clock for a scope with
// TScopedOverride<TLocalTimeSource>, platform/ScopedOverride.h); nullptr restores the system
// clock. Returns the source that was in use.
using TLocalTimeSource = SYSTEMTIME (*)();
TLocalTimeSource SetLocalTimeSource(TLocalTimeSource source);
