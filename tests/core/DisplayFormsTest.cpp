#include "core/ReadingDisplay.h"
#include "platform/DateTime.h"
#include "tests/support/GermanLocale.h"
#include "tests/support/RowName.h"

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
    EXPECT_EQ(UnitFieldText("  000012"), "12");
    EXPECT_EQ(UnitFieldText("0000012 "), "0000012 ") << "the whole text must be the number";
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
    const TGermanLocale german;
    ASSERT_TRUE(german.IsActive());
    EXPECT_EQ(ReadingTimeText(row.Time, TRegionalFormats(row.Locale)), row.Text);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ReadingTimeTest,
    testing::Values(TTimeRow{"DateAndTimeGerman", TGermanLocale::Name, Evening,
                             "21.03.2017 21:30:15"},
                    TTimeRow{"DateAndTimeC", "C", Evening, "03/21/17 21:30:15"},
                    TTimeRow{"DateAndTimeCUtf8", "C.UTF-8", Evening, "03/21/17 21:30:15"},
                    TTimeRow{"UnknownLocaleIsC", "xx_XX.UTF-8", Evening, "03/21/17 21:30:15"},
                    TTimeRow{"WholeDayIsDateAlone", TGermanLocale::Name, Midnight, "21.03.2017"},
                    TTimeRow{"BelowOneIsTimeAlone", TGermanLocale::Name, 0.75, "18:00:00"},
                    TTimeRow{"ZeroIsMidnight", TGermanLocale::Name, 0.0, "00:00:00"},
                    TTimeRow{"BeforeTheEpochDayIsTimeAlone", "C", -1.25, "06:00:00"}),
    RowName());

} // namespace
