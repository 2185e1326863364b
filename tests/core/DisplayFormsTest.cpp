#include "core/ReadingDisplay.h"
#include "platform/DateTime.h"
#include "tests/support/RowName.h"
#include "window/StartUp.h"

#include <QGuiApplication>
#include <gtest/gtest.h>
#include <ostream>

namespace {

TEST(DisplayForms, MagnitudeAndNelmUseTheirFixedDecimals) {
    EXPECT_EQ(MagnitudeText(21), "21.00");
    EXPECT_EQ(MagnitudeText(19.5), "19.50");
    EXPECT_EQ(MagnitudeText(-0.5), "-0.50");
    EXPECT_EQ(NelmText(6.0612), "6.1");
    EXPECT_EQ(NelmText(5.15), "5.2");
}

TEST(DisplayForms, TemperatureIsTheShortestFormWithDegreesCelsius) {
    EXPECT_EQ(TemperatureText(21.5), "21.5 \u00B0C");
    EXPECT_EQ(TemperatureText(21.0), "21 \u00B0C");
    EXPECT_EQ(TemperatureText(-3.75), "-3.75 \u00B0C");
    EXPECT_EQ(TemperatureText(5.3), "5.3 \u00B0C");
    EXPECT_EQ(TemperatureText(0.0), "0 \u00B0C");
}

TEST(DisplayForms, UnitFieldsLoseLeadingZerosOnlyWhenTheyAreWholeNumbers) {
    EXPECT_EQ(UnitFieldText("00000004"), "4");
    EXPECT_EQ(UnitFieldText("00001234"), "1234");
    EXPECT_EQ(UnitFieldText("0000000A"), "0000000A");
    EXPECT_EQ(UnitFieldText(""), "");
    EXPECT_EQ(UnitFieldText("99999999999"), "99999999999"); // beyond 32 bits
    EXPECT_EQ(UnitFieldText("-0000004"), "-4");
}

// 2017-03-21 21:30:15 and the same day at midnight.
constexpr double Evening = 42815.0 + (21 * 3600 + 30 * 60 + 15) / 86400.0;
constexpr double Midnight = 42815.0;

struct TTimeRow {
    std::string Name;
    friend void PrintTo(const TTimeRow& row, std::ostream* os) { *os << row.Name; }
    const char* Locale;
    double Time;
    std::string Text;
};

class ReadingTimeTest : public testing::TestWithParam<TTimeRow> {};

TEST_P(ReadingTimeTest, UsesTheShortDateAndLongTimeOfTheLocale) {
    const TTimeRow& row = GetParam();
    ASSERT_EQ(DecodeDateTime(Midnight).Year, 2017);
    EXPECT_EQ(ReadingTimeText(row.Time, QLocale(QString::fromLatin1(row.Locale))), row.Text);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ReadingTimeTest,
    testing::Values(TTimeRow{"DateAndTimeUS", "en_US", Evening, "3/21/17 9:30:15 PM"},
                    TTimeRow{"DateAndTimeGerman", "de_DE", Evening, "21.03.17 21:30:15"},
                    TTimeRow{"DateAndTimeC", "C", Evening, "21 Mar 2017 21:30:15"},
                    TTimeRow{"WholeDayIsDateAlone", "de_DE", Midnight, "21.03.17"},
                    TTimeRow{"BelowOneIsTimeAlone", "de_DE", 0.75, "18:00:00"},
                    TTimeRow{"ZeroIsMidnight", "de_DE", 0.0, "00:00:00"}),
    RowName());

struct TSwitchRow {
    std::string Name;
    friend void PrintTo(const TSwitchRow& row, std::ostream* os) { *os << row.Name; }
    std::vector<const char*> Args;
    bool Found;
};

class CmdLineSwitchTest : public testing::TestWithParam<TSwitchRow> {};

TEST_P(CmdLineSwitchTest, FindsTheSwitchAfterADashOrSlashInAnyCase) {
    const TSwitchRow& row = GetParam();
    std::vector<const char*> argv = {"nightlux"};
    argv.insert(argv.end(), row.Args.begin(), row.Args.end());
    EXPECT_EQ(HasCmdLineSwitch(static_cast<int>(argv.size()), argv.data(), "hidpi"), row.Found);
}

INSTANTIATE_TEST_SUITE_P(Rows, CmdLineSwitchTest,
                         testing::Values(TSwitchRow{"Slash", {"/HiDPI"}, true},
                                         TSwitchRow{"Dash", {"-hidpi"}, true},
                                         TSwitchRow{"AfterOthers", {"-x", "/HIDPI"}, true},
                                         TSwitchRow{"NoPrefix", {"hidpi"}, false},
                                         TSwitchRow{"DoubleDash", {"--hidpi"}, false},
                                         TSwitchRow{"ProgramNameIgnored", {}, false},
                                         TSwitchRow{"Longer", {"-hidpix"}, false}),
                         RowName());

TEST(StartUp, ResolutionAwarenessChoosesHowQtScales) {
    EXPECT_TRUE(DeclareResolutionAwareness(true));
    EXPECT_EQ(QGuiApplication::highDpiScaleFactorRoundingPolicy(),
              Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    EXPECT_FALSE(DeclareResolutionAwareness(false));
    EXPECT_EQ(QGuiApplication::highDpiScaleFactorRoundingPolicy(),
              Qt::HighDpiScaleFactorRoundingPolicy::Round);
}

} // namespace
