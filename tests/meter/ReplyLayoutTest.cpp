#include "meter/ReplyLayout.h"

#include "tests/support/RowName.h"
#include "tools/sim/MeterReplies.h"

#include <gtest/gtest.h>

namespace {

const std::string Reading = "r, 19.53m,0000000012Hz,0000038400c,0000000.083s, 005.3C";
const std::string UnitInfo = "i,00000004,00000003,00000076,00005533";
const std::string Calibration = "c,00000019.96m,0000199.361s, 019.0C,00000008.71m, 020.3C";

// The reply with the bytes from at on (0-based) replaced.
std::string With(std::string reply, std::size_t at, const std::string& bytes) {
    return reply.replace(at, bytes.size(), bytes);
}

struct LayoutCase {
    const char* Name;
    std::string Line;
    bool Fits;
};

class ReplyLayout : public testing::TestWithParam<LayoutCase> {};

TEST_P(ReplyLayout, TakesOnlyTheMetersReplies) {
    EXPECT_EQ(FitsReplyLayout(GetParam().Line), GetParam().Fits) << GetParam().Line;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReplyLayout,
    testing::Values(LayoutCase{"Reading", Reading, true}, LayoutCase{"UnitInfo", UnitInfo, true},
                    LayoutCase{"Calibration", Calibration, true},
                    LayoutCase{"MinusSigns", TMeterReplies().ReadingLine(-1.2, -12.5), true},
                    LayoutCase{"Daylight", TMeterReplies().ReadingLine(0.0, 31.0), true},
                    LayoutCase{"DarkestSky", TMeterReplies().ReadingLine(23.9, -40.0), true},
                    LayoutCase{"CalibrationBelowZero", With(Calibration, 28, "-001.5C"), true},
                    // A number that is not valid is left to the field's conversion, which names it.
                    LayoutCase{"CommaForThePoint", With(Reading, 5, ","), true},
                    LayoutCase{"PlusSign", With(Reading, 2, "+"), false},
                    LayoutCase{"DigitForTheSign", With(Reading, 48, "8"), false},
                    LayoutCase{"DigitForThePoint", With(Reading, 52, "1"), false},
                    LayoutCase{"LetterInFrequency", With(Reading, 12, "x"), false},
                    LayoutCase{"PointInPeriodChanged", With(Reading, 42, ","), false},
                    LayoutCase{"UnitLetter", With(Reading, 20, "hz"), false},
                    LayoutCase{"QuestionMarkInSerial", With(UnitInfo, 30, "?"), false},
                    LayoutCase{"CommaMoved", With(UnitInfo, 10, "0"), false},
                    LayoutCase{"BlankInSerial", With(UnitInfo, 36, " "), false},
                    LayoutCase{"CalibrationSign", With(Calibration, 28, "0"), false},
                    LayoutCase{"OneShort", Reading.substr(0, 54), false},
                    LayoutCase{"OneLonger", Reading + "C", false},
                    LayoutCase{"LineEndInside", UnitInfo + "\r", false},
                    LayoutCase{"UnitInfoLengthWithReadingType", "r" + UnitInfo.substr(1), false},
                    LayoutCase{"OtherType", "x" + UnitInfo.substr(1), false},
                    LayoutCase{"Empty", "", false}),
    RowName());

TEST(ReplyLayoutLength, IsTheLineWithoutItsEnd) {
    EXPECT_EQ(ReplyLayoutLength('r'), 55u);
    EXPECT_EQ(ReplyLayoutLength('i'), 37u);
    EXPECT_EQ(ReplyLayoutLength('c'), 56u);
    EXPECT_EQ(ReplyLayoutLength('x'), 0u);
}

} // namespace
