#include "platform/LocalNight.h"

std::chrono::year_month_day NightOfLocalTime(TDateTime localTime) {
    using namespace std::chrono;
    const TDateTimeFields f = DecodeDateTime(localTime);
    const local_days day{year{f.Year} / f.Month / f.Day};
    return NightOfLocalTime(day + hours{f.Hour} + minutes{f.Minute} + seconds{f.Second} +
                            milliseconds{f.Millisecond});
}
