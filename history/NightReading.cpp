#include "history/NightReading.h"

#include "platform/Exception.h"

#include <cstdio>

TLocalTime LocalTimeOf(TDateTime value) {
    const TDateTimeFields f = DecodeDateTime(value);
    if (f.Year < 1 || f.Year > 9999)
        throw EConvertError("The date and time is outside the years 1 to 9999.");
    using namespace std::chrono;
    const local_days day{year{f.Year} / f.Month / f.Day};
    return day + hours{f.Hour} + minutes{f.Minute} + seconds{f.Second};
}

std::string ClockText(TLocalTime time) {
    using namespace std::chrono;
    const hh_mm_ss clock{time - floor<days>(time)};
    char text[8];
    std::snprintf(text, sizeof text, "%02d:%02d", int(clock.hours().count()),
                  int(clock.minutes().count()));
    return text;
}
