#include "tools/sim/MeterReplies.h"

#include "tests/support/RowName.h"

#include <gtest/gtest.h>

namespace {

struct LayoutCase {
    const char* Name;
    double Magnitude;
    double Temperature;
};

class ReadingLayout : public testing::TestWithParam<LayoutCase> {};

// Every field keeps its columns over the whole range the simulator's options allow.
TEST_P(ReadingLayout, KeepsItsColumns) {
    const std::string line =
        TMeterReplies().ReadingLine(GetParam().Magnitude, GetParam().Temperature);
    ASSERT_EQ(line.size(), 55u) << line;
    EXPECT_EQ(line.substr(0, 2), "r,");
    EXPECT_EQ(line.substr(8, 2), "m,");
    EXPECT_EQ(line.substr(20, 3), "Hz,");
    EXPECT_EQ(line.substr(33, 2), "c,");
    EXPECT_EQ(line.substr(46, 2), "s,");
    EXPECT_EQ(line.substr(54, 1), "C");
}

INSTANTIATE_TEST_SUITE_P(Cases, ReadingLayout,
                         testing::Values(LayoutCase{"DarkSky", 19.53, 5.3},
                                         LayoutCase{"Daylight", 0.0, 21.0},
                                         LayoutCase{"BrightestAllowed", -99.99, -999.9},
                                         // Found by fuzzing: the period fields overflowed.
                                         LayoutCase{"DarkerThanAnySky", 97.0, 999.9},
                                         LayoutCase{"DarkestAllowed", 99.99, 0.0}),
                         RowName());

} // namespace
