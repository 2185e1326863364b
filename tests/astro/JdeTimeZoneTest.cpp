#include "astro/Jde.h"
#include "astro/JdeError.h"
#include "tests/astro/JdeFields.h"
#include "tests/support/RowName.h"
#include "tests/support/ScopedEnv.h"

#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <string>

using astro::TJde;

namespace {

SYSTEMTIME Rule(int month, int dayOfWeek, int nth, int hour) {
    SYSTEMTIME st;
    st.wMonth = static_cast<std::uint16_t>(month);
    st.wDayOfWeek = static_cast<std::uint16_t>(dayOfWeek);
    st.wDay = static_cast<std::uint16_t>(nth);
    st.wHour = static_cast<std::uint16_t>(hour);
    return st;
}

// Five hours west of Greenwich, daylight time from the 2nd Sunday in March to the 1st Sunday
// in November, both at 02:00.
TTimeZoneInfo NorthZone() {
    TTimeZoneInfo zone;
    zone.Bias = 300;
    zone.DaylightBias = -60;
    zone.DaylightDate = Rule(3, 0, 2, 2);
    zone.StandardDate = Rule(11, 0, 1, 2);
    return zone;
}

// Daylight time from the 1st Sunday in October to the 1st Sunday in April.
TTimeZoneInfo SouthZone() {
    TTimeZoneInfo zone;
    zone.Bias = -600;
    zone.DaylightBias = -60;
    zone.DaylightDate = Rule(10, 0, 1, 2);
    zone.StandardDate = Rule(4, 0, 1, 3);
    return zone;
}

std::string DstErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const astro::EDstError& e) {
        return e.Message();
    }
    return "no error";
}

TEST(TimeZoneInfo, DefaultHasNoBiasAndNoDst) {
    const TTimeZoneInfo zone;
    EXPECT_EQ(zone.GetBiasMins(), 0);
    EXPECT_FALSE(zone.HasDst());
    EXPECT_TRUE(zone == TTimeZoneInfo());
}

TEST(TimeZoneInfo, BiasInEachUnit) {
    const TTimeZoneInfo zone = NorthZone();
    EXPECT_EQ(zone.GetBiasMins(), 300);
    EXPECT_EQ(zone.GetBiasHrs(), 5.0);
    EXPECT_EQ(zone.GetBiasDays(), 300 / 1440.0);
    EXPECT_EQ(zone.GetDstBiasDays(), 60 / 1440.0);
    EXPECT_TRUE(zone.HasDst());
    TTimeZoneInfo positive = zone;
    positive.DaylightBias = 60;
    EXPECT_EQ(positive.GetDstBiasDays(), 60 / 1440.0);
}

TEST(TimeZoneInfo, EqualityComparesEveryFieldInFull) {
    TTimeZoneInfo a = NorthZone();
    a.StandardName[0] = u'E';
    TTimeZoneInfo b = a;
    EXPECT_TRUE(a == b);
    b.StandardName[20] = u'x'; // after the terminating zero
    EXPECT_FALSE(a == b);
    b = a;
    b.DaylightName[31] = u'y';
    EXPECT_FALSE(a == b);
    b = a;
    b.DaylightDate.wMilliseconds = 1;
    EXPECT_FALSE(a == b);
    b = a;
    b.StandardBias = -1;
    EXPECT_FALSE(a == b);
}

// Rules evaluated for a year.
struct RuleCase {
    const char* Name;
    SYSTEMTIME St;
    int Year;
    TFields Want;
};

const RuleCase RuleCases[] = {
    {"SecondSundayOfMarch", Rule(3, 0, 2, 2), 2015, {3, 8, 2015, 2, 0, 0}},
    {"FirstSundayOfNovember", Rule(11, 0, 1, 2), 2015, {11, 1, 2015, 2, 0, 0}},
    {"FifthSundayExists", Rule(3, 0, 5, 2), 2015, {3, 29, 2015, 2, 0, 0}},
    {"FifthSundayMeansLast", Rule(10, 0, 5, 3), 2015, {10, 25, 2015, 3, 0, 0}},
    {"DayZeroTwoWeeksBeforeFirst", Rule(3, 0, 0, 2), 2015, {2, 15, 2015, 2, 0, 0}},
    {"SaturdayWrapsWeekday", Rule(2, 6, 5, 0), 2016, {2, 27, 2016, 0, 0, 0}},
    {"FirstDayIsTheWeekday", Rule(2, 0, 1, 1), 2015, {2, 1, 2015, 1, 0, 0}},
    {"JulianYear", Rule(3, 0, 1, 0), 1500, {3, 1, 1500, 0, 0, 0}},
};

class SystemTimeRule : public testing::TestWithParam<RuleCase> {};

TEST_P(SystemTimeRule, EvaluatesForYear) {
    const RuleCase& c = GetParam();
    const TJde t = SystemTimeToJde(c.St, c.Year);
    EXPECT_EQ(FieldsOf(t), c.Want);
    EXPECT_EQ(t.GetDowk(), c.St.wDayOfWeek);
}

INSTANTIATE_TEST_SUITE_P(Cases, SystemTimeRule, testing::ValuesIn(RuleCases), RowName());

TEST(SystemTimeToJde, RuleKeepsMinuteAndSecondAndIgnoresMilliseconds) {
    SYSTEMTIME st = Rule(3, 0, 2, 2);
    st.wMinute = 30;
    st.wSecond = 15;
    st.wMilliseconds = 900;
    EXPECT_EQ(FieldsOf(SystemTimeToJde(st, 2015)), (TFields{3, 8, 2015, 2, 30, 15}));
}

TEST(SystemTimeToJde, AbsoluteDateIgnoresYearAndDropsMilliseconds) {
    const SYSTEMTIME st{2015, 3, 0, 8, 2, 30, 15, 999};
    const TJde t = SystemTimeToJde(st, 1999);
    EXPECT_EQ(t.FJd, JdeAt(3, 8, 2015, 2, 30, 15).FJd);
    SYSTEMTIME bad = st;
    bad.wMonth = 13;
    EXPECT_THROW(SystemTimeToJde(bad, 2015), EConvertError);
    bad = st;
    bad.wDay = 31;
    bad.wMonth = 4;
    EXPECT_THROW(SystemTimeToJde(bad, 2015), EConvertError);
}

TEST(SystemTimeToJde, MissingOrMalformedRules) {
    EXPECT_EQ(DstErrorOf([] { SystemTimeToJde(Rule(0, 0, 1, 2), 2015); }),
              "DST rules are missing.");
    EXPECT_EQ(DstErrorOf([] { SystemTimeToJde(Rule(3, 7, 1, 2), 2015); }),
              "DST rules are missing.");
    EXPECT_EQ(DstErrorOf([] { SystemTimeToJde(Rule(3, 0, 6, 2), 2015); }),
              "DST rules are missing.");
    SYSTEMTIME absolute{2015, 0, 0, 8, 2, 0, 0, 0};
    EXPECT_EQ(DstErrorOf([&] { SystemTimeToJde(absolute, 2015); }), "DST rules are missing.");
    EXPECT_EQ(JdeErrorOf([] { SystemTimeToJde(Rule(13, 0, 1, 2), 2015); }),
              Invalid("Invalid month."));
    EXPECT_EQ(JdeErrorOf([] { SystemTimeToJde(Rule(3, 0, 1, 24), 2015); }),
              Invalid("Invalid time."));
}

TEST(TimeZoneDst, ChangeoversOfTheValuesYear) {
    const TTimeZoneInfo zone = NorthZone();
    for (const TJde& value : {JdeAt(1, 1, 2015, 0, 0, 0), JdeAt(7, 1, 2015, 12, 0, 0),
                              JdeAt(12, 31, 2015, 23, 59, 59)}) {
        EXPECT_EQ(value.DstStart(zone).FJd, JdeAt(3, 8, 2015, 2, 0, 0).FJd);
        EXPECT_EQ(value.DstEnd(zone).FJd, JdeAt(11, 1, 2015, 2, 0, 0).FJd);
    }
    EXPECT_EQ(JdeAt(6, 1, 2016, 0, 0, 0).DstStart(zone).FJd, JdeAt(3, 13, 2016, 2, 0, 0).FJd);
}

struct DstCase {
    const char* Name;
    bool South;
    TFields At;
    double ExtraSeconds;
    bool Dst;
};

const DstCase DstCases[] = {
    {"NorthWinter", false, {1, 1, 2015, 12, 0, 0}, 0, false},
    {"NorthSummer", false, {7, 1, 2015, 12, 0, 0}, 0, true},
    {"NorthStartInstantIsNot", false, {3, 8, 2015, 2, 0, 0}, 0, false},
    {"NorthJustAfterStart", false, {3, 8, 2015, 2, 0, 0}, 1, true},
    {"NorthJustBeforeEnd", false, {11, 1, 2015, 2, 0, 0}, -1, true},
    {"NorthEndInstantIsNot", false, {11, 1, 2015, 2, 0, 0}, 0, false},
    {"SouthJanuary", true, {1, 1, 2015, 12, 0, 0}, 0, true},
    {"SouthDecember", true, {12, 1, 2015, 12, 0, 0}, 0, true},
    {"SouthJuly", true, {7, 1, 2015, 12, 0, 0}, 0, false},
    {"SouthStartInstantIs", true, {10, 4, 2015, 2, 0, 0}, 0, true},
    {"SouthJustBeforeStart", true, {10, 4, 2015, 2, 0, 0}, -1, false},
    {"SouthEndInstantIsNot", true, {4, 5, 2015, 3, 0, 0}, 0, false},
    {"SouthJustBeforeEnd", true, {4, 5, 2015, 3, 0, 0}, -1, true},
};

class TimeZoneIsDst : public testing::TestWithParam<DstCase> {};

TEST_P(TimeZoneIsDst, AtInstant) {
    const DstCase& c = GetParam();
    const TTimeZoneInfo zone = c.South ? SouthZone() : NorthZone();
    const TJde value = JdeAt(c.At.Month, c.At.Day, c.At.Year, c.At.Hour, c.At.Minute, c.At.Second) +
                       c.ExtraSeconds / 86400.0;
    EXPECT_EQ(value.IsDst(zone), c.Dst);
}

INSTANTIATE_TEST_SUITE_P(Cases, TimeZoneIsDst, testing::ValuesIn(DstCases), RowName());

TEST(TimeZoneCorrect, NorthSummerAndWinterAndBack) {
    const TTimeZoneInfo zone = NorthZone();
    TJde summer = JdeAt(7, 1, 2015, 12, 0, 0);
    EXPECT_EQ(&summer.CorrectToLocal(zone), &summer);
    EXPECT_EQ(FieldsOf(summer), (TFields{7, 1, 2015, 8, 0, 0}));
    EXPECT_EQ(&summer.CorrectFromLocal(zone), &summer);
    EXPECT_EQ(FieldsOf(summer), (TFields{7, 1, 2015, 12, 0, 0}));

    TJde winter = JdeAt(1, 1, 2015, 12, 0, 0);
    winter.CorrectToLocal(zone);
    EXPECT_EQ(FieldsOf(winter), (TFields{1, 1, 2015, 7, 0, 0}));
    winter.CorrectFromLocal(zone);
    EXPECT_EQ(FieldsOf(winter), (TFields{1, 1, 2015, 12, 0, 0}));
}

TEST(TimeZoneCorrect, SouthCrossesTheDate) {
    const TTimeZoneInfo zone = SouthZone(); // ten hours east
    TJde value = JdeAt(1, 1, 2015, 20, 0, 0);
    value.CorrectToLocal(zone);
    EXPECT_EQ(FieldsOf(value), (TFields{1, 2, 2015, 7, 0, 0}));
    value.CorrectFromLocal(zone);
    EXPECT_EQ(FieldsOf(value), (TFields{1, 1, 2015, 20, 0, 0}));
}

TEST(TimeZoneCorrect, ZoneWithoutDstOnlyAppliesBias) {
    TTimeZoneInfo zone;
    TJde value = JdeAt(7, 1, 2015, 12, 0, 0);
    const double start = value.FJd;
    EXPECT_FALSE(value.IsDst(zone));
    value.CorrectToLocal(zone);
    EXPECT_EQ(value.FJd, start);
    zone.Bias = 300;
    zone.DaylightBias = -60;
    zone.DaylightDate = Rule(0, 9, 9, 99); // never evaluated without a standard changeover
    value.CorrectToLocal(zone);
    EXPECT_EQ(FieldsOf(value), (TFields{7, 1, 2015, 7, 0, 0}));
}

TEST(TimeZoneCorrect, MarkersUnchanged) {
    const TTimeZoneInfo zone = NorthZone();
    for (const double marker : {TJde::MinValue, TJde::MaxValue}) {
        TJde value(marker);
        value.CorrectToLocal(zone);
        EXPECT_EQ(value.FJd, marker);
        value.CorrectFromLocal(zone);
        EXPECT_EQ(value.FJd, marker);
    }
}

TEST(TimeZoneCorrect, MissingDaylightRuleRaisesAndKeepsValue) {
    TTimeZoneInfo zone = NorthZone();
    zone.DaylightDate = SYSTEMTIME();
    TJde value = JdeAt(7, 1, 2015, 12, 0, 0);
    const double start = value.FJd;
    EXPECT_EQ(DstErrorOf([&] { value.IsDst(zone); }), "DST rules are missing.");
    EXPECT_EQ(DstErrorOf([&] { value.DstStart(zone); }), "DST rules are missing.");
    EXPECT_EQ(DstErrorOf([&] { value.CorrectToLocal(zone); }), "DST rules are missing.");
    EXPECT_EQ(value.FJd, start);
    EXPECT_EQ(DstErrorOf([&] { value.CorrectFromLocal(zone); }), "DST rules are missing.");
    EXPECT_EQ(value.FJd, start);
}

// The C locale's short date, whatever the environment says; restored afterwards.
class SystemTimeText : public testing::Test {
protected:
    TScopedEnv Locale{"LC_ALL", "C"};
};

TEST_F(SystemTimeText, DescribesRulesAndDates) {
    struct Row {
        SYSTEMTIME St;
        const char* Want;
    };
    const Row rows[] = {
        {Rule(10, 0, 5, 2), "5th Sun in Oct"},
        {Rule(3, 0, 2, 2), "2d Sun in Mar"},
        {Rule(4, 3, 3, 2), "3d Wed in Apr"},
        {Rule(12, 6, 4, 2), "4th Sat in Dec"},
        {SYSTEMTIME(), "None"},
        {Rule(0, 0, 1, 0), "1st Sun in x"},
        {Rule(0, 3, 0, 0), "x Wed in x"},
        {Rule(13, 7, 6, 0), "x x in x"},
        {{2015, 13, 0, 8, 2, 0, 0, 0}, "unknown"},
        {{2015, 2, 0, 30, 2, 0, 0, 0}, "unknown"},
        {{2015, 3, 0, 8, 2, 0, 0, 0}, "03/08/15"},
        {{999, 12, 0, 31, 23, 59, 59, 999}, "12/31/99"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(SystemTimeAsString(r.St), r.Want) << r.Want;
}

TEST_F(SystemTimeText, UnknownLocaleFallsBackToC) {
    setenv("LC_ALL", "xx_XX.NOSUCH", 1);
    EXPECT_EQ(SystemTimeAsString({2015, 3, 0, 8, 2, 0, 0, 0}), "03/08/15");
}

} // namespace
