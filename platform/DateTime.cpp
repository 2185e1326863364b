#include "platform/DateTime.h"

#include "platform/Exception.h"

#include <cmath>
#include <ctime>
#include <string>

namespace {

constexpr std::int64_t MsPerDay = 86'400'000;

// Days from 1970-01-01 in the proleptic Gregorian calendar (H. Hinnant's days_from_civil).
constexpr std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);                // [0, 399]
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1; // [0, 365]
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;           // [0, 146096]
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);                   // [0, 146096]
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365; // [0, 399]
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);               // [0, 365]
    const unsigned mp = (5 * doy + 2) / 153;                                    // [0, 11]
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2));
}

constexpr std::int64_t EpochDays = DaysFromCivil(1899, 12, 30);
static_assert(EpochDays == -25569);

} // namespace

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static constexpr int Days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    return Days[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
}

TDateTimeFields DecodeDateTime(TDateTime value) {
    const auto total = static_cast<std::int64_t>(std::llround(double(value) * MsPerDay));
    const std::int64_t days = total / MsPerDay; // truncated toward zero
    const std::int64_t ms = (total < 0 ? -total : total) % MsPerDay;
    TDateTimeFields f;
    CivilFromDays(EpochDays + days, f.Year, f.Month, f.Day);
    f.Hour = static_cast<int>(ms / 3'600'000);
    f.Minute = static_cast<int>(ms / 60'000 % 60);
    f.Second = static_cast<int>(ms / 1000 % 60);
    f.Millisecond = static_cast<int>(ms % 1000);
    const std::int64_t dow = (EpochDays + days + 4) % 7; // 1970-01-01 was a Thursday
    f.DayOfWeek = static_cast<int>(dow < 0 ? dow + 7 : dow);
    return f;
}

TDateTime EncodeDate(int year, int month, int day) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(year, month))
        throw EConvertError("Invalid argument to date encode");
    return static_cast<double>(
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - EpochDays);
}

TDateTime EncodeTime(int hour, int minute, int second, int millisecond) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
        millisecond < 0 || millisecond > 999)
        throw EConvertError("Invalid argument to time encode");
    const std::int64_t ms = ((hour * 60LL + minute) * 60 + second) * 1000 + millisecond;
    return static_cast<double>(ms) / MsPerDay;
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                         int millisecond) {
    const double date = EncodeDate(year, month, day);
    const double time = EncodeTime(hour, minute, second, millisecond);
    return date < 0 ? date - time : date + time;
}
