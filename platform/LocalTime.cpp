#include "platform/LocalTime.h"

#include "platform/Exception.h"

#include <cerrno>
#include <ctime>

long GetUtcOffsetAt(std::int64_t unixSeconds) {
    const auto t = static_cast<std::time_t>(unixSeconds);
    tzset(); // localtime_r need not read TZ again; mktime does
    std::tm local{};
    if (localtime_r(&t, &local) == nullptr)
        throw EConvertError("The instant cannot be converted to local time");
    return local.tm_gmtoff;
}

std::int64_t LocalToUnixTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    errno = 0;
    const std::time_t t = std::mktime(&local);
    if (t == static_cast<std::time_t>(-1) && errno != 0)
        throw EConvertError("The local time cannot be converted");
    return t;
}
