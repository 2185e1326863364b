#pragma once

#include <cstdint>

// Local time by the platform's rules (localtime_r and mktime, so TZ applies), for any instant
// given as seconds since 1970-01-01 00:00 UTC.

// Seconds east of UTC of the local clock at that instant. Raises EConvertError for an instant
// the platform cannot convert.
long GetUtcOffsetAt(std::int64_t unixSeconds);

// The instant of a local date and clock time; fields out of range carry over (day 32 of
// January is 1 February); a clock time that is skipped or repeated at a change of offset is
// resolved as mktime resolves it. Raises EConvertError when the platform cannot convert it.
std::int64_t LocalToUnixTime(int year, int month, int day, int hour, int minute, int second);
