// Every day from 1 January -4712 to 31 December 9999 against an independent calendar:
// std::chrono civil dates from 15 October 1582 on, a Julian-calendar day count before.

#include "astro/Jde.h"

#include <chrono>
#include <cstdint>
#include <gtest/gtest.h>
#include <sstream>
#include <string>

namespace {

using namespace std::chrono;

struct TDate {
    int Year;
    int Month;
    int Day;
};

constexpr double UnixEpochJd = 2440587.5; // 1970-01-01 00:00

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

// Julian-calendar day count in 4-year cycles of 1461 days that start on 1 March; zero on
// 1 March of year 0. The shift to the chrono count comes from the reform below.
std::int64_t JulianCount(TDate d) {
    const std::int64_t y = d.Year - (d.Month <= 2);
    const std::int64_t era = FloorDiv(y, 4);
    const auto yoe = static_cast<unsigned>(y - era * 4);                            // [0, 3]
    const auto mp = static_cast<unsigned>(d.Month > 2 ? d.Month - 3 : d.Month + 9); // [0, 11]
    const unsigned doy = (153 * mp + 2) / 5 + static_cast<unsigned>(d.Day) - 1;     // [0, 365]
    return era * 1461 + yoe * 365 + doy;
}

TDate JulianDateOfCount(std::int64_t z) {
    const std::int64_t era = FloorDiv(z, 1461);
    const auto doe = static_cast<unsigned>(z - era * 1461); // [0, 1460]
    const unsigned yoe = (doe - doe / 1460) / 365;          // [0, 3]
    const unsigned doy = doe - 365 * yoe;                   // [0, 365]
    const unsigned mp = (5 * doy + 2) / 153;                // [0, 11]
    TDate d;
    d.Day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    d.Month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    d.Year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 4 + (d.Month <= 2));
    return d;
}

std::int64_t ChronoDays(TDate d) {
    return sys_days(year(d.Year) / d.Month / d.Day).time_since_epoch().count();
}

// 4 October 1582 (Julian) is the day before 15 October 1582 (Gregorian).
const std::int64_t ReformDays = ChronoDays({1582, 10, 15});
const std::int64_t JulianShift = ReformDays - 1 - JulianCount({1582, 10, 4});

std::int64_t DaysOf(TDate d) {
    const bool julian =
        d.Year < 1582 || (d.Year == 1582 && (d.Month < 10 || (d.Month == 10 && d.Day < 15)));
    return julian ? JulianCount(d) + JulianShift : ChronoDays(d);
}

TDate DateOfDays(std::int64_t days) {
    if (days >= ReformDays) {
        const year_month_day ymd{sys_days(std::chrono::days(days))};
        return {static_cast<int>(ymd.year()), static_cast<int>(unsigned(ymd.month())),
                static_cast<int>(unsigned(ymd.day()))};
    }
    return JulianDateOfCount(days - JulianShift);
}

bool IsGregorianLeap(int y) {
    return y % 4 == 0 && (y % 100 != 0 || y % 400 == 0);
}

// Day of the year as the library counts it: the Gregorian leap rule in every year, and
// 15 October to 31 December 1582 counted as if the calendar had always been Gregorian.
int ExpectedDoy(TDate d, std::int64_t days) {
    if (days >= ReformDays)
        return static_cast<int>(days - ChronoDays({d.Year, 1, 1}) + 1);
    int doy = static_cast<int>(days - DaysOf({d.Year, 1, 1}) + 1);
    if (d.Month > 2 && d.Year % 4 == 0 && !IsGregorianLeap(d.Year))
        --doy;
    return doy;
}

TEST(CalendarSweep, IndependentCalendarPinsTheOffset) {
    EXPECT_EQ(DaysOf({-4712, 1, 1}) + UnixEpochJd, -0.5);
    EXPECT_EQ(DaysOf({2000, 1, 1}) + UnixEpochJd, 2451544.5);
    EXPECT_EQ(DaysOf({1582, 10, 4}) + UnixEpochJd, 2299159.5);
    const TDate d = DateOfDays(DaysOf({1500, 2, 29}));
    EXPECT_EQ(d.Year * 10000 + d.Month * 100 + d.Day, 15000229);
}

TEST(CalendarSweep, EveryDayAgreesWithIndependentCalendar) {
    const std::int64_t first = DaysOf({-4712, 1, 1});
    const std::int64_t last = DaysOf({9999, 12, 31});
    int failures = 0;
    std::ostringstream report;
    report.precision(12);
    const auto fail = [&](const TDate& d, const char* what, double got, double want) {
        if (++failures <= 10)
            report << d.Year << '-' << d.Month << '-' << d.Day << ' ' << what << ": got " << got
                   << ", want " << want << '\n';
    };
    astro::TJde jde;
    double previous = 0.0;
    for (std::int64_t days = first; days <= last; ++days) {
        const TDate date = DateOfDays(days);
        // The Gregorian correction covers all of October 1582: 1 to 4 October land ten days
        // early and read back as 21 to 24 September.
        const bool early = date.Year == 1582 && date.Month == 10 && date.Day <= 4;
        const std::int64_t held = early ? days - 10 : days;
        const TDate readBack = early ? DateOfDays(held) : date;

        jde.SetMDY(date.Month, date.Day, date.Year);
        const double want = static_cast<double>(held) + UnixEpochJd;
        if (jde.FJd != want)
            fail(date, "value", jde.FJd, want);
        const bool seam =
            date.Year == 1582 && date.Month == 10 && (date.Day == 1 || date.Day == 15);
        if (days != first && !seam && jde.FJd - previous != 1.0)
            fail(date, "step", jde.FJd - previous, 1.0);
        previous = jde.FJd;

        int month, day, year;
        jde.GetMDY(month, day, year);
        if (year != readBack.Year || month != readBack.Month || day != readBack.Day)
            fail(date, "GetMDY", year * 10000.0 + month * 100 + day,
                 readBack.Year * 10000.0 + readBack.Month * 100 + readBack.Day);
        const unsigned dowk = weekday(sys_days(std::chrono::days(held))).c_encoding();
        if (jde.GetDowk() != static_cast<int>(dowk))
            fail(date, "GetDowk", jde.GetDowk(), dowk);
        const int doy = ExpectedDoy(readBack, held);
        if (jde.GetDoy() != doy)
            fail(date, "GetDoy", jde.GetDoy(), doy);
    }
    EXPECT_EQ(last - first + 1, 5373485);
    EXPECT_EQ(failures, 0) << report.str();
}

} // namespace
