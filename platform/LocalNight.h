#pragma once

#include "platform/DateTime.h"

#include <chrono>

// The night a local time belongs to, named by the date of its evening: the local time minus
// 12 hours, so 12:00:00 starts a new night. The chart's nights and the skyglow files' names
// both follow it.
template <class Duration>
std::chrono::year_month_day NightOfLocalTime(std::chrono::local_time<Duration> time) {
    return std::chrono::year_month_day{
        std::chrono::floor<std::chrono::days>(time - std::chrono::hours{12})};
}

// The same for a local time held as TDateTime, taken to the millisecond.
std::chrono::year_month_day NightOfLocalTime(TDateTime localTime);
