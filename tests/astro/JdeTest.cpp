#include "astro/Jde.h"

#include "astro/JdeError.h"
#include "platform/ScopedOverride.h"
#include "platform/SystemTime.h"
#include "tests/astro/JdeFields.h"
#include "tests/support/RowName.h"

#include <gtest/gtest.h>

using astro::TJde;

namespace {

// Construction from calendar fields and the read-back of the value.
struct SetCase {
    const char* Name;
    int Month, Day, Year;
    double Hours;
    double Jd;
    TFields ReadBack;
};

const SetCase SetCases[] = {
    {"J2000", 1, 1, 2000, 12.0, 2451545.0, {1, 1, 2000, 12, 0, 0}},
    {"DateTimeEpoch", 12, 30, 1899, 0.0, 2415018.5, {12, 30, 1899, 0, 0, 0}},
    {"UnixEpoch", 1, 1, 1970, 0.0, 2440587.5, {1, 1, 1970, 0, 0, 0}},
    {"Sputnik", 10, 4, 1957, 0.81 * 24, 2436116.31, {10, 4, 1957, 19, 26, 24}},
    {"ReformFirstGregorianDay", 10, 15, 1582, 0.0, 2299160.5, {10, 15, 1582, 0, 0, 0}},
    {"JulianNewYear1582", 1, 1, 1582, 0.0, 2298883.5, {1, 1, 1582, 0, 0, 0}},
    {"October4ReadsTenDaysEarly", 10, 4, 1582, 0.0, 2299149.5, {9, 24, 1582, 0, 0, 0}},
    {"October5Accepted", 10, 5, 1582, 0.0, 2299150.5, {9, 25, 1582, 0, 0, 0}},
    {"October14Accepted", 10, 14, 1582, 0.0, 2299159.5, {10, 4, 1582, 0, 0, 0}},
    {"Julian333", 1, 27, 333, 12.0, 1842713.0, {1, 27, 333, 12, 0, 0}},
    {"BeforeYearZero", 7, 12, -1000, 12.0, 1356001.0, {7, 12, -1000, 12, 0, 0}},
    {"DayZero", 1, 1, -4712, 12.0, 0.0, {1, 1, -4712, 12, 0, 0}},
    {"February29Of1900IsMarch1", 2, 29, 1900, 0.0, 2415079.5, {3, 1, 1900, 0, 0, 0}},
    {"March1Of1900", 3, 1, 1900, 0.0, 2415079.5, {3, 1, 1900, 0, 0, 0}},
    {"LastDay", 12, 31, 9999, 23.5, 5373484.479166667, {12, 31, 9999, 23, 30, 0}},
};

class JdeSet : public testing::TestWithParam<SetCase> {};

TEST_P(JdeSet, GivesJulianDayAndReadsBack) {
    const SetCase& c = GetParam();
    TJde jde;
    jde.Set(c.Month, c.Day, c.Year, c.Hours);
    EXPECT_NEAR(jde.FJd, c.Jd, 1e-8);
    EXPECT_EQ(FieldsOf(jde), c.ReadBack);
    if (c.Hours == 0.0) {
        TJde midnight(1.0);
        midnight.SetMDY(c.Month, c.Day, c.Year);
        EXPECT_EQ(midnight.FJd, c.Jd);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, JdeSet, testing::ValuesIn(SetCases), RowName());

TEST(JdeSet, DefaultIsNoonOfDayZero) {
    EXPECT_EQ(TJde().FJd, 0.0);
    EXPECT_EQ(FieldsOf(TJde()), (TFields{1, 1, -4712, 12, 0, 0}));
    EXPECT_EQ(FieldsOf(TJde(2299159.5)), (TFields{10, 4, 1582, 0, 0, 0}));
}

TEST(JdeSet, SixFieldsFormHoursWithoutTestingMinuteAndSecond) {
    EXPECT_EQ(FieldsOf(JdeAt(3, 14, 2015, 10, 75, 0)), (TFields{3, 14, 2015, 11, 15, 0}));
    EXPECT_EQ(FieldsOf(JdeAt(3, 14, 2015, 21, 5, 9)), (TFields{3, 14, 2015, 21, 5, 9}));
}

// Invalid fields: the reason, and the value left as it was.
struct SetErrorCase {
    const char* Name;
    int Month, Day, Year;
    double Hours;
    const char* Reason;
};

const SetErrorCase SetErrorCases[] = {
    {"Month0", 0, 1, 2015, 0.0, "Invalid month."},
    {"Month13", 13, 1, 2015, 0.0, "Invalid month."},
    {"MonthTestedFirst", 13, 0, 2015, 24.0, "Invalid month."},
    {"Day0", 3, 0, 2015, 0.0, "Invalid day of month."},
    {"NegativeDay", 3, -1, 2015, 0.0, "Invalid day of month."},
    {"Day32", 3, 32, 2015, 0.0, "Invalid day of month."},
    {"February29NotLeap", 2, 29, 2015, 0.0, "Invalid day of month."},
    {"DayTestedBeforeTime", 4, 31, 2015, -1.0, "Invalid day of month."},
    {"NegativeHours", 3, 14, 2015, -0.001, "Invalid time."},
    {"Hours24", 3, 14, 2015, 24.0, "Invalid time."},
};

class JdeSetError : public testing::TestWithParam<SetErrorCase> {};

TEST_P(JdeSetError, RaisesAndKeepsValue) {
    const SetErrorCase& c = GetParam();
    TJde jde(2457000.25);
    EXPECT_EQ(JdeErrorOf([&] { jde.Set(c.Month, c.Day, c.Year, c.Hours); }), Invalid(c.Reason));
    EXPECT_EQ(jde.FJd, 2457000.25);
    if (c.Hours == 0.0) {
        EXPECT_EQ(JdeErrorOf([&] { jde.SetMDY(c.Month, c.Day, c.Year); }), Invalid(c.Reason));
        EXPECT_EQ(jde.FJd, 2457000.25);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, JdeSetError, testing::ValuesIn(SetErrorCases), RowName());

TEST(JdeSetError, SecondSixtyBeforeMidnightIsHour24) {
    TJde jde;
    EXPECT_EQ(JdeErrorOf([&] { jde.Set(3, 14, 2015, 23, 59, 60); }), Invalid("Invalid time."));
    EXPECT_EQ(jde.FJd, 0.0);
}

// Clock time read with each rounding increment.
struct ClockCase {
    const char* Name;
    double SecondsOfDay;
    TFields Hms; // date and GetHMS
    int HmHour, HmMinute;
    int Ms[4]; // GetHMSMs
    int MinuteOfDay;
};

const ClockCase ClockCases[] = {
    {"Exact", 21 * 3600 + 5 * 60 + 9, {3, 14, 2015, 21, 5, 9}, 21, 5, {21, 5, 9, 0}, 1265},
    {"SecondRoundsUp",
     21 * 3600 + 5 * 60 + 9.6,
     {3, 14, 2015, 21, 5, 10},
     21,
     5,
     {21, 5, 9, 600},
     1265},
    {"MinuteRoundsUp",
     21 * 3600 + 5 * 60 + 40,
     {3, 14, 2015, 21, 5, 40},
     21,
     6,
     {21, 5, 40, 0},
     1266},
    {"Midnight", 0, {3, 14, 2015, 0, 0, 0}, 0, 0, {0, 0, 0, 0}, 0},
    {"NoonWhereTheValueIsWhole", 12 * 3600, {3, 14, 2015, 12, 0, 0}, 12, 0, {12, 0, 0, 0}, 720},
    {"LastHalfSecondWrapsWithoutCarry",
     86400 - 0.3,
     {3, 14, 2015, 0, 0, 0},
     0,
     0,
     {23, 59, 59, 700},
     0},
    {"LastHalfMinuteWrapsWithoutCarry",
     86400 - 20,
     {3, 14, 2015, 23, 59, 40},
     0,
     0,
     {23, 59, 40, 0},
     0},
    {"JustBeforeHalfSecond",
     21 * 3600 + 5 * 60 + 9.49,
     {3, 14, 2015, 21, 5, 9},
     21,
     5,
     {21, 5, 9, 490},
     1265},
};

class JdeClock : public testing::TestWithParam<ClockCase> {};

TEST_P(JdeClock, RoundsEachAccessorToItsUnit) {
    const ClockCase& c = GetParam();
    TJde jde;
    jde.SetMDY(3, 14, 2015);
    jde += c.SecondsOfDay / 86400.0;
    EXPECT_EQ(FieldsOf(jde), c.Hms);
    int hour = -1, minute = -1, second = -1, ms = -1;
    jde.GetHM(hour, minute, 0, nullptr);
    EXPECT_EQ(hour, c.HmHour);
    EXPECT_EQ(minute, c.HmMinute);
    jde.GetHMSMs(hour, minute, second, ms);
    EXPECT_EQ(hour, c.Ms[0]);
    EXPECT_EQ(minute, c.Ms[1]);
    EXPECT_EQ(second, c.Ms[2]);
    EXPECT_EQ(ms, c.Ms[3]);
    EXPECT_EQ(jde.GetMinuteOfDay(), c.MinuteOfDay);
}

INSTANTIATE_TEST_SUITE_P(Cases, JdeClock, testing::ValuesIn(ClockCases), RowName());

TEST(JdeClock, TwelveHourClock) {
    struct Row {
        int Hour24, Minute, Hour12, Pm;
    };
    const Row rows[] = {{0, 5, 12, 0},   {9, 5, 9, 0},  {11, 59, 11, 0},
                        {12, 30, 12, 1}, {13, 0, 1, 1}, {21, 5, 9, 1}};
    for (const Row& r : rows) {
        int hour = 0, minute = 0, pm = -1;
        JdeAt(3, 14, 2015, r.Hour24, r.Minute, 0).GetHM(hour, minute, 1, &pm);
        EXPECT_EQ(hour, r.Hour12) << r.Hour24;
        EXPECT_EQ(minute, r.Minute) << r.Hour24;
        EXPECT_EQ(pm, r.Pm) << r.Hour24;
    }
    int hour = 0, minute = 0, pm = -1;
    JdeAt(3, 14, 2015, 21, 5, 0).GetHM(hour, minute, 0, &pm);
    EXPECT_EQ(hour, 21);
    EXPECT_EQ(pm, -1); // not written on the 24-hour clock
}

TEST(JdeClock, RoundToSecKeepsDateOfLastHalfSecond) {
    TJde jde;
    jde.SetMDY(7, 1, 2015);
    jde -= 0.3 / 86400.0; // 0.3 s before the end of 30 June 2015
    jde.RoundToSec();
    EXPECT_EQ(jde.FJd, 2457203.5); // 30 June 2015 00:00:00
    EXPECT_EQ(FieldsOf(jde), (TFields{6, 30, 2015, 0, 0, 0}));
}

TEST(JdeCalendar, DayOfWeekAndName) {
    EXPECT_EQ(TJde(2451545.0).GetDowk(), 6);
    EXPECT_STREQ(TJde(2451545.0).GetDowkName(), "Saturday");
    EXPECT_EQ(TJde(2451545.4).GetDowk(), 6); // before midnight
    EXPECT_EQ(TJde(2451545.5).GetDowk(), 0); // Sunday from midnight
    EXPECT_EQ(TJde(0.0).GetDowk(), 1);       // 1 January -4712 was a Monday
    EXPECT_STREQ(TJde(0.0).GetDowkName(), "Monday");
    EXPECT_EQ(TJde(-1.0).GetDowk(), 0); // below the range: still a weekday
    EXPECT_STREQ(TJde(-3.0).GetDowkName(), "Friday");
}

TEST(JdeCalendar, LeapYearsAndMonthLengths) {
    EXPECT_FALSE(JdeAt(6, 1, 1900, 0, 0, 0).IsLeap());
    EXPECT_TRUE(JdeAt(6, 1, 2000, 0, 0, 0).IsLeap());
    EXPECT_TRUE(JdeAt(6, 1, 2016, 0, 0, 0).IsLeap());
    EXPECT_FALSE(JdeAt(6, 1, 1500, 0, 0, 0).IsLeap()); // Gregorian rule in Julian years too
    EXPECT_EQ(TJde::GetMonDays(2, 2100), 29);
    EXPECT_EQ(TJde::GetMonDays(2, 2015), 28);
    EXPECT_EQ(TJde::GetMonDays(2, -4), 29);
    EXPECT_EQ(TJde::GetMonDays(2, -1), 28);
    EXPECT_EQ(TJde::GetMonDays(4, 2015), 30);
    EXPECT_EQ(TJde::GetMonDays(12, 2015), 31);
    EXPECT_EQ(TJde::GetMonDays(0, 2015), 0);
    EXPECT_EQ(TJde::GetMonDays(13, 2015), 0);
    EXPECT_EQ(TJde::GetMonDays(-1, 2015), 0);
}

TEST(JdeCalendar, DayOfYearAndFractionalYear) {
    EXPECT_EQ(JdeAt(1, 1, 2015, 0, 0, 0).GetDoy(), 1);
    EXPECT_EQ(JdeAt(3, 14, 2015, 0, 0, 0).GetDoy(), 73);
    EXPECT_EQ(JdeAt(3, 14, 2016, 0, 0, 0).GetDoy(), 74);
    EXPECT_EQ(JdeAt(12, 31, 2016, 0, 0, 0).GetDoy(), 366);
    EXPECT_EQ(JdeAt(3, 1, 1500, 0, 0, 0).GetDoy(), 60); // Julian leap year, Gregorian count
    EXPECT_EQ(JdeAt(10, 15, 1582, 0, 0, 0).GetDoy(), 288);
    EXPECT_NEAR(TJde(2451545.0).GetYear(), 2000.0 + 1.0 / 366, 1e-12);
    EXPECT_NEAR(JdeAt(7, 2, 2015, 18, 0, 0).GetYear(), 2015 + 183.0 / 365 + 0.25 / 365.25, 1e-12);
}

TEST(JdeCalendar, JulianCenturies) {
    EXPECT_EQ(TJde(2451545.0).GetT(), 0.0);
    EXPECT_DOUBLE_EQ(TJde(2488070.0).GetT(), 1.0);
    TJde jde;
    jde.FromT(0.1);
    EXPECT_DOUBLE_EQ(jde.FJd, 2455197.5);
    jde.FromT(-1.0);
    EXPECT_EQ(jde.FJd, 2415020.0);
}

struct DeltaTCase {
    const char* Name;
    double Year;
    double Seconds;
};

const DeltaTCase DeltaTCases[] = {
    {"Y1620", 1620.0, 124.0},  {"Y1621", 1621.0, 119.5},
    {"Y1700", 1700.0, 9.0},    {"Y1901", 1901.0, -1.35},
    {"Y1990", 1990.0, 56.9},   {"Y1992", 1992.0, 58.0},
    {"Y2000", 2000.0, 62.4},   {"Y2010", 2010.0, 114.975},
    {"Y1000", 1000.0, 1625.6}, {"Y948", 948.0, 50.6 + 67.5 * -10.52 + 22.5 * 10.52 * 10.52},
    {"Y500", 500.0, 4577.7},
};

class JdeDeltaT : public testing::TestWithParam<DeltaTCase> {};

TEST_P(JdeDeltaT, MatchesModel) {
    TJde jde;
    jde.FromT((GetParam().Year - 2000.0) / 100.0);
    EXPECT_NEAR(jde.GetDeltaT(), GetParam().Seconds, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Cases, JdeDeltaT, testing::ValuesIn(DeltaTCases), RowName());

TEST(JdeDeltaT, JumpsJustAfter2000) {
    TJde jde;
    jde.FromT(1e-9);
    EXPECT_NEAR(jde.GetDeltaT(), 102.3, 1e-6);
}

TEST(JdeNextMidnite, IsStrictlyAfterTheValue) {
    const double rows[][2] = {{2457000.3, 2457000.5},
                              {2457000.7, 2457001.5},
                              {2457000.5, 2457001.5},
                              {2457000.0, 2457000.5},
                              {2457000.49, 2457000.5}};
    for (const auto& r : rows) {
        const TJde jde(r[0]);
        EXPECT_EQ(jde.CalcNextMidnite().FJd, r[1]) << r[0];
        EXPECT_EQ(jde.FJd, r[0]);
    }
}

TEST(JdeMarkers, OnlyMarkersAreInvalid) {
    const TJde allDark(TJde::MaxValue);
    const TJde noDark(TJde::MinValue);
    EXPECT_EQ(TJde::MaxValue, 1.7976931348623157e+308);
    EXPECT_EQ(TJde::MinValue, 2.2250738585072014e-308);
    EXPECT_FALSE(allDark.IsValid());
    EXPECT_FALSE(noDark.IsValid());
    EXPECT_TRUE(TJde(0.0).IsValid());
    EXPECT_TRUE(allDark.IsAllDark());
    EXPECT_FALSE(allDark.IsNoDark());
    EXPECT_TRUE(noDark.IsNoDark());
    EXPECT_FALSE(noDark.IsAllDark());
    EXPECT_FALSE(TJde(0.0).IsNoDark());
}

TEST(JdeMarkers, AccessorsStayDefinedOnExtremeValues) {
    for (const double v : {TJde::MaxValue, -TJde::MaxValue, 1e15, -1e15}) {
        const TJde jde(v);
        const TFields f = FieldsOf(jde);
        EXPECT_GE(f.Month, 1) << v;
        EXPECT_LE(f.Month, 12) << v;
        EXPECT_GE(jde.GetDowk(), 0) << v;
        EXPECT_LE(jde.GetDowk(), 6) << v;
        jde.GetDoy();
        jde.GetYear();
    }
}

TEST(JdeMarkers, CalendarContinuesBelowDayZero) {
    for (const int year : {-4713, -4716, -4717, -10000, -1000000}) {
        const TJde jde = JdeAt(3, 1, year, 6, 0, 0);
        EXPECT_EQ(FieldsOf(JdeAt(3, 1, year, 0, 0, 0)), (TFields{3, 1, year, 0, 0, 0}));
        EXPECT_EQ((jde - 1).GetDoy(), year % 4 == 0 ? 60 : 59) << year;
        int m, d, y;
        (jde - 1).GetMDY(m, d, y);
        EXPECT_EQ((TFields{m, d, y}), (TFields{2, year % 4 == 0 ? 29 : 28, year})) << year;
    }
}

TEST(JdeArithmetic, AddsDaysAndCompares) {
    TJde jde = JdeAt(3, 14, 2015, 21, 5, 9);
    const double start = jde.FJd;
    EXPECT_EQ((++jde).FJd, start + 1);
    EXPECT_EQ((--jde).FJd, start);
    EXPECT_EQ((jde += 2).FJd, start + 2);
    EXPECT_EQ((jde -= 2.5).FJd, start - 0.5);
    jde = TJde(start);
    const TJde later = jde + 30;
    const TJde earlier = jde - 0.25;
    EXPECT_EQ(jde.FJd, start); // operands unchanged
    EXPECT_EQ(FieldsOf(later), (TFields{4, 13, 2015, 21, 5, 9}));
    EXPECT_EQ(FieldsOf(earlier), (TFields{3, 14, 2015, 15, 5, 9}));
    EXPECT_TRUE(earlier < jde);
    EXPECT_FALSE(jde < jde);
    EXPECT_TRUE(jde <= jde);
    EXPECT_TRUE(earlier <= jde);
    EXPECT_FALSE(later <= jde);
    EXPECT_TRUE(jde == TJde(start));
    EXPECT_FALSE(jde == later);
}

TEST(JdeSetters, SetHMKeepsDateAndReadsTwelveHourClock) {
    struct Row {
        int Hour, Minute, TwelveHour, Pm, WantHour;
    };
    const Row rows[] = {{21, 5, 0, 0, 21},  {9, 5, 1, 1, 21}, {9, 5, 1, 0, 9},  {12, 30, 1, 0, 0},
                        {12, 30, 1, 1, 12}, {0, 15, 1, 0, 0}, {12, 0, 0, 0, 12}};
    for (const Row& r : rows) {
        TJde jde = JdeAt(3, 14, 2015, 7, 8, 9);
        jde.SetHM(r.Hour, r.Minute, r.TwelveHour, r.Pm);
        EXPECT_EQ(FieldsOf(jde), (TFields{3, 14, 2015, r.WantHour, r.Minute, 0})) << r.Hour;
    }
    TJde jde = JdeAt(3, 14, 2015, 7, 8, 9);
    const double before = jde.FJd;
    EXPECT_EQ(JdeErrorOf([&] { jde.SetHM(25, 0, 0, 0); }), Invalid("Invalid time."));
    EXPECT_EQ(JdeErrorOf([&] { jde.SetHM(13, 0, 1, 1); }), Invalid("Invalid time."));
    EXPECT_EQ(jde.FJd, before);
}

TEST(JdeSetters, YearBoundsAndMerges) {
    TJde jde = JdeAt(3, 14, 2015, 21, 5, 9);
    jde.SetBeginYr();
    EXPECT_EQ(FieldsOf(jde), (TFields{1, 1, 2015, 0, 0, 0}));
    jde.SetEndYr();
    EXPECT_EQ(FieldsOf(jde), (TFields{12, 31, 2015, 23, 59, 59}));

    const TJde other = JdeAt(7, 1, 2016, 8, 30, 0);
    TJde merged = JdeAt(3, 14, 2015, 21, 5, 9);
    merged.MergeDate(other);
    EXPECT_EQ(FieldsOf(merged), (TFields{7, 1, 2016, 21, 5, 9}));
    merged = JdeAt(3, 14, 2015, 21, 5, 9);
    merged.MergeTime(other);
    EXPECT_EQ(FieldsOf(merged), (TFields{3, 14, 2015, 8, 30, 0}));
}

// The local clock pinned for SetNow, SetNowMs and SetToday.
class JdeNow : public testing::Test {
protected:
    static inline SYSTEMTIME Clock{};
    static SYSTEMTIME PinnedClock() { return Clock; }

    const TScopedOverride<TLocalTimeSource> Pinned{&SetLocalTimeSource, &PinnedClock};

    static void Pin(int year, int month, int day, int hour, int minute, int second, int ms) {
        Clock = {static_cast<std::uint16_t>(year),
                 static_cast<std::uint16_t>(month),
                 0,
                 static_cast<std::uint16_t>(day),
                 static_cast<std::uint16_t>(hour),
                 static_cast<std::uint16_t>(minute),
                 static_cast<std::uint16_t>(second),
                 static_cast<std::uint16_t>(ms)};
    }
};

TEST_F(JdeNow, SetNowRoundsHundredthsToTheSecond) {
    struct Row {
        int Ms;
        TFields Want;
    };
    const Row rows[] = {{500, {3, 14, 2015, 21, 5, 10}},
                        {499, {3, 14, 2015, 21, 5, 9}},
                        {509, {3, 14, 2015, 21, 5, 10}},
                        {0, {3, 14, 2015, 21, 5, 9}}};
    for (const Row& r : rows) {
        Pin(2015, 3, 14, 21, 5, 9, r.Ms);
        TJde jde;
        jde.SetNow();
        EXPECT_EQ(FieldsOf(jde), r.Want) << r.Ms;
    }
    Pin(2015, 3, 14, 23, 59, 59, 500);
    TJde jde;
    jde.SetNow();
    EXPECT_DOUBLE_EQ(jde.FJd, JdeAt(3, 15, 2015, 0, 0, 0).FJd);
    EXPECT_EQ(FieldsOf(jde), (TFields{3, 15, 2015, 0, 0, 0}));
}

TEST_F(JdeNow, SetNowMsKeepsHundredthsAndSetTodayMidnight) {
    Pin(2015, 3, 14, 21, 5, 9, 876);
    TJde jde;
    jde.SetNowMs();
    int hour, minute, second, ms;
    jde.GetHMSMs(hour, minute, second, ms);
    EXPECT_EQ(hour, 21);
    EXPECT_EQ(minute, 5);
    EXPECT_EQ(second, 9);
    EXPECT_EQ(ms, 870);
    jde.SetToday();
    EXPECT_EQ(jde.FJd, JdeAt(3, 14, 2015, 0, 0, 0).FJd);
}

TEST_F(JdeNow, InvalidClockRaisesAndKeepsValue) {
    Pin(2015, 13, 14, 21, 5, 9, 0);
    TJde jde(5.0);
    EXPECT_EQ(JdeErrorOf([&] { jde.SetNow(); }), Invalid("Invalid month."));
    EXPECT_EQ(jde.FJd, 5.0);
}

TEST(JdeNowSystemClock, ReadsTheLocalDate) {
    TJde jde;
    jde.SetToday();
    EXPECT_GT(jde.FJd, 2458849.5); // after 2020
}

TEST(JdeDateTime, ConstructorDropsMilliseconds) {
    const TJde jde(TDateTime(EncodeDateTime(2015, 3, 14, 21, 5, 9, 870)));
    int hour, minute, second, ms;
    jde.GetHMSMs(hour, minute, second, ms);
    EXPECT_EQ((TFields{3, 14, 2015, hour, minute, second}), (TFields{3, 14, 2015, 21, 5, 9}));
    EXPECT_EQ(ms, 0);
    EXPECT_EQ(FieldsOf(jde), (TFields{3, 14, 2015, 21, 5, 9}));
    EXPECT_EQ(TJde(TDateTime(0.0)).FJd, 2415018.5);
    EXPECT_EQ(TJde(TDateTime(-1.25)).FJd, 2415017.75);
    EXPECT_EQ(TJde(2415018.5).FJd, 2415018.5); // the double overload is the Julian day
}

TEST(JdeDateTime, AsDateTimeRoundsToTheSecond) {
    TJde jde;
    jde.SetMDY(3, 14, 2015);
    jde += (21 * 3600 + 5 * 60 + 9.6) / 86400.0;
    EXPECT_NEAR(jde.AsDateTime(), EncodeDateTime(2015, 3, 14, 21, 5, 10, 0), 1e-10);
    EXPECT_EQ(jde.FJd, JdeAt(3, 14, 2015, 0, 0, 0).FJd + (21 * 3600 + 5 * 60 + 9.6) / 86400.0);
    EXPECT_NEAR(JdeAt(12, 29, 1899, 6, 0, 0).AsDateTime(), -1.25, 1e-10);
    EXPECT_EQ(JdeAt(12, 30, 1899, 0, 0, 0).AsDateTime(), 0.0);
    const TDateTime stamp = EncodeDateTime(2023, 11, 5, 4, 3, 2, 0);
    EXPECT_NEAR(TJde(stamp).AsDateTime(), stamp, 1e-10);
}

TEST(JdeDateTime, AsDateTimeRejectsYearsItCannotEncode) {
    try {
        JdeAt(1, 1, 65536, 0, 0, 0).AsDateTime();
        ADD_FAILURE() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "Year is out of range");
    }
    EXPECT_THROW(JdeAt(1, 1, 10000, 0, 0, 0).AsDateTime(), EConvertError);
    EXPECT_THROW(JdeAt(1, 1, -1, 0, 0, 0).AsDateTime(), EConvertError);
}

} // namespace
