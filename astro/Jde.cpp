#include "astro/Jde.h"

#include "astro/JdeError.h"
#include "platform/SystemTime.h"

#include <cmath>
#include <cstdint>

namespace astro {

namespace {

static_assert(sizeof(std::int64_t) == 8 && sizeof(int) == 4);

// Values beyond this many days are read as the bound, so every intermediate integer of the
// calendar and clock arithmetic fits (years stay within +-3e8).
constexpr double Limit = 1e11;

// Rounding increments of the clock-time accessors, in hours.
constexpr double RoundMinute = 0.00833333333;
constexpr double RoundSecond = 0.00013888889;
constexpr double RoundMillisecond = 1.3888889e-07;

constexpr int MonthDays[13] = {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

const char* const DayNames[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                 "Thursday", "Friday", "Saturday"};

double Clamped(double value) {
    if (value > Limit)
        return Limit;
    if (!(value >= -Limit)) // NaN too
        return -Limit;
    return value;
}

// Day number N of a validated date: the value at midnight is N - 1524.5.
std::int64_t DayNumber(int month, int day, int year) {
    std::int64_t y = year;
    std::int64_t m = month;
    if (month <= 2) {
        y -= 1;
        m += 12;
    }
    std::int64_t b = 0;
    if (year > 1582 || (year == 1582 && month >= 10)) { // all of October 1582 included
        const std::int64_t a = y / 100;
        b = 2 - a + a / 4;
    }
    // floor equals the truncation of the rule wherever y + 4716 >= 0 and extends it below.
    return static_cast<std::int64_t>(std::floor(365.25 * static_cast<double>(y + 4716))) +
           static_cast<std::int64_t>(30.6001 * static_cast<double>(m + 1)) + day + b;
}

void CheckDate(int month, int day, int year) {
    if (month < 1 || month > 12)
        throw EJdeError("Invalid month.");
    if (day < 1 || day > TJde::GetMonDays(month, year))
        throw EJdeError("Invalid day of month.");
}

struct TClock {
    int Hour;
    int Minute;
    int Second;
    int Millisecond;
    double Hours; // rounded hours since midnight, [0, 24)
};

// Clock time of a value rounded by increment r (hours); no carry into the date.
TClock ClockOf(double value, double r) {
    const double v = Clamped(value);
    double h = 24.0 * (v - std::trunc(v));
    h += 12.0;
    h += r;
    if (h >= 24.0)
        h -= 24.0;
    TClock c{};
    c.Hours = h;
    c.Hour = static_cast<int>(h); // [0, 23]
    const double m = 60.0 * (h - c.Hour);
    c.Minute = static_cast<int>(m); // [0, 59]
    const double s = 60.0 * (m - c.Minute);
    c.Second = static_cast<int>(s);                            // [0, 59]
    c.Millisecond = static_cast<int>(1000.0 * (s - c.Second)); // [0, 999]
    return c;
}

} // namespace

TJde::TJde(const TDateTime& dateTime) {
    const TDateTimeFields f = DecodeDateTime(dateTime);
    Set(f.Month, f.Day, f.Year, f.Hour, f.Minute, f.Second);
}

void TJde::Set(int month, int day, int year, double hours) {
    CheckDate(month, day, year);
    if (!(hours >= 0.0 && hours < 24.0))
        throw EJdeError("Invalid time.");
    FJd = (static_cast<double>(DayNumber(month, day, year)) - 1524.5) + hours / 24.0;
}

void TJde::Set(int month, int day, int year, int hour, int minute, int second) {
    Set(month, day, year, hour + minute / 60.0 + second / 3600.0);
}

void TJde::SetMDY(int month, int day, int year) {
    CheckDate(month, day, year);
    FJd = static_cast<double>(DayNumber(month, day, year)) - 1524.5;
}

void TJde::SetHM(int hour, int minute, int twelveHour, int pm) {
    int month, day, year;
    GetMDY(month, day, year);
    if (twelveHour) {
        if (pm && hour != 12)
            hour += 12;
        else if (!pm && hour == 12)
            hour = 0;
    }
    Set(month, day, year, hour, minute, 0);
}

void TJde::SetBeginYr() {
    int month, day, year;
    GetMDY(month, day, year);
    Set(1, 1, year, 0, 0, 0);
}

void TJde::SetEndYr() {
    int month, day, year;
    GetMDY(month, day, year);
    Set(12, 31, year, 23, 59, 59);
}

void TJde::MergeDate(const TJde& other) {
    int month, day, year, hour, minute, second;
    other.GetMDY(month, day, year);
    GetHMS(hour, minute, second);
    Set(month, day, year, hour, minute, second);
}

void TJde::MergeTime(const TJde& other) {
    int month, day, year, hour, minute, second;
    GetMDY(month, day, year);
    other.GetHMS(hour, minute, second);
    Set(month, day, year, hour, minute, second);
}

void TJde::RoundToSec() {
    int month, day, year, hour, minute, second;
    Get(month, day, year, hour, minute, second);
    Set(month, day, year, hour, minute, second);
}

void TJde::SetNow() {
    const SYSTEMTIME st = GetLocalTime();
    const int hundredths = st.wMilliseconds / 10;
    Set(st.wMonth, st.wDay, st.wYear, st.wHour, st.wMinute, st.wSecond);
    if (hundredths >= 50)
        FJd += 1.0 / 86400.0;
}

void TJde::SetNowMs() {
    const SYSTEMTIME st = GetLocalTime();
    const int hundredths = st.wMilliseconds / 10;
    Set(st.wMonth, st.wDay, st.wYear,
        st.wHour + st.wMinute / 60.0 + st.wSecond / 3600.0 + hundredths / 360000.0);
}

void TJde::SetToday() {
    const SYSTEMTIME st = GetLocalTime();
    SetMDY(st.wMonth, st.wDay, st.wYear);
}

void TJde::FromT(double t) {
    FJd = t * 36525.0 + 2451545.0;
}

void TJde::GetMDY(int& month, int& day, int& year) const {
    const double v = Clamped(FJd) + 0.5;
    const double z = std::floor(v);
    const auto Z = static_cast<std::int64_t>(z);
    const double F = v - z; // [0, 1)
    std::int64_t A = Z;
    if (Z > 2299160) { // from 15 October 1582 on
        const auto alpha =
            static_cast<std::int64_t>((static_cast<double>(Z) - 1867216.25) / 36524.25);
        A = Z + 1 + alpha - alpha / 4;
    }
    // floor equals the truncation of the rule wherever B >= 123 (from year -4716 on) and
    // extends the Julian calendar below.
    const std::int64_t B = A + 1524;
    const auto C = static_cast<std::int64_t>(std::floor((static_cast<double>(B) - 122.1) / 365.25));
    const auto D = static_cast<std::int64_t>(std::floor(365.25 * static_cast<double>(C)));
    const auto E = static_cast<std::int64_t>(static_cast<double>(B - D) / 30.6001); // [4, 15]
    day = static_cast<int>(static_cast<double>(B - D) -
                           std::floor(30.6001 * static_cast<double>(E)) + F);
    month = static_cast<int>(E < 14 ? E - 1 : E - 13);
    year = static_cast<int>(month > 2 ? C - 4716 : C - 4715);
}

void TJde::GetHMS(int& hour, int& minute, int& second) const {
    const TClock c = ClockOf(FJd, RoundSecond);
    hour = c.Hour;
    minute = c.Minute;
    second = c.Second;
}

void TJde::GetHM(int& hour, int& minute, int twelveHour, int* pm) const {
    const TClock c = ClockOf(FJd, RoundMinute);
    hour = c.Hour;
    minute = c.Minute;
    if (!twelveHour)
        return;
    if (hour >= 12) {
        *pm = 1;
        if (hour > 12)
            hour -= 12;
    } else {
        *pm = 0;
        if (hour == 0)
            hour = 12;
    }
}

void TJde::GetHMSMs(int& hour, int& minute, int& second, int& millisecond) const {
    const TClock c = ClockOf(FJd, RoundMillisecond);
    hour = c.Hour;
    minute = c.Minute;
    second = c.Second;
    millisecond = c.Millisecond;
}

void TJde::Get(int& month, int& day, int& year, int& hour, int& minute, int& second) const {
    GetMDY(month, day, year);
    GetHMS(hour, minute, second);
}

int TJde::GetMinuteOfDay() const {
    return static_cast<int>(60.0 * ClockOf(FJd, RoundMinute).Hours);
}

int TJde::GetDowk() const {
    const auto d = static_cast<int>(std::fmod(std::floor(Clamped(FJd) + 1.5), 7.0)); // [-6, 6]
    return d < 0 ? d + 7 : d;
}

const char* TJde::GetDowkName() const {
    return DayNames[GetDowk()];
}

int TJde::GetDoy() const {
    int month, day, year;
    GetMDY(month, day, year);
    const int k = IsLeapYear(year) ? 1 : 2;
    return (275 * month) / 9 - k * ((month + 9) / 12) + day - 30;
}

double TJde::GetYear() const {
    int month, day, year, hour, minute, second;
    Get(month, day, year, hour, minute, second);
    const double length = IsLeapYear(year) ? 366.0 : 365.0;
    return year + GetDoy() / length +
           ((hour - 12) / 24.0 + minute / 1440.0 + second / 86400.0) / 365.25;
}

int TJde::GetMonDays(int month, int year) {
    if (month < 0 || month > 12)
        return 0;
    if (month == 2 && year % 4 == 0)
        return 29;
    return MonthDays[month];
}

bool TJde::IsLeap() const {
    int month, day, year;
    GetMDY(month, day, year);
    return IsLeapYear(year);
}

double TJde::GetT() const {
    return (FJd - 2451545.0) / 36525.0;
}

TJde TJde::CalcNextMidnite() const {
    const double whole = std::trunc(FJd);
    double next = whole + 0.5;
    if (FJd - whole >= 0.5)
        next += 1.0;
    return TJde(next);
}

TDateTime TJde::AsDateTime() const {
    int month, day, year, hour, minute, second;
    Get(month, day, year, hour, minute, second);
    if (year < 0 || year > 65535)
        throw EConvertError("Year is out of range");
    return EncodeDateTime(year, month, day, hour, minute, second, 0);
}

} // namespace astro
