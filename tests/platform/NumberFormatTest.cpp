#include "platform/NumberFormat.h"

#include "tests/support/RowName.h"

#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <limits>

namespace {

struct FormatCase {
    std::string Name;
    double Value;
    int Decimals;
    int Width;
    std::string Expected;
};

class NumberFormat : public testing::TestWithParam<FormatCase> {};

TEST_P(NumberFormat, WritesAsPrintfInTheCLocale) {
    const FormatCase& c = GetParam();
    EXPECT_EQ(FormatFixed(c.Value, c.Decimals, c.Width), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, NumberFormat,
                         testing::Values(FormatCase{"TwoDecimals", 19.53, 2, 0, "19.53"},
                                         FormatCase{"PaddedDecimals", 18.9, 2, 0, "18.90"},
                                         FormatCase{"RoundsHalfOfBinaryValue", 2.675, 2, 0, "2.67"},
                                         FormatCase{"ZeroFilled", 5.3, 1, 4, "05.3"},
                                         FormatCase{"WideEnough", 25, 1, 4, "25.0"},
                                         FormatCase{"Zero", 0, 1, 4, "00.0"},
                                         FormatCase{"NegativeFillsAfterSign", -2.5, 1, 5, "-02.5"},
                                         FormatCase{"NegativeExact", -2.5, 1, 4, "-2.5"},
                                         FormatCase{"NegativeZero", -0.01, 1, 4, "-0.0"},
                                         FormatCase{"NoDecimals", 7.5, 0, 0, "8"},
                                         FormatCase{"NotANumber", std::nan(""), 1, 4, " nan"},
                                         FormatCase{"Infinity",
                                                    -std::numeric_limits<double>::infinity(), 1, 5,
                                                    " -inf"}),
                         RowName());

TEST(NumberFormatLargest, FitsTheLargestDouble) {
    char expected[400];
    std::snprintf(expected, sizeof expected, "%.60f", -std::numeric_limits<double>::max());
    EXPECT_EQ(FormatFixed(-std::numeric_limits<double>::max(), 60), expected);
}

} // namespace
