#include "platform/NumberConversion.h"

#include "platform/Exception.h"
#include "tests/support/CommaLocale.h"
#include "tests/support/RowName.h"

#include <gtest/gtest.h>
#include <string_view>

namespace {

struct NumberCase {
    const char* Name;
    const char* Text;
    bool Valid;
    double Value;
};

const NumberCase Cases[] = {
    {"BlankThenNumber", " 19.53", true, 19.53},
    {"MinusWithLeadingZero", "-01.20", true, -1.2},
    {"PlusSign", "+5", true, 5.0},
    {"TrailingBlanks", "5.3   ", true, 5.3},
    {"Exponent", "1.5e2", true, 150.0},
    {"ExponentSignedUpper", "25E-1", true, 2.5},
    {"DigitsThenPoint", "7.", true, 7.0},
    {"Underflow", "1e-400", true, 0.0},
    {"CommaDecimal", "19,53", false, 0},
    {"Empty", "", false, 0},
    {"OnlyBlanks", "   ", false, 0},
    {"PointFirst", ".5", true, 0.5},
    {"SignPointDigits", "-.25e1", true, -2.5},
    {"PointAlone", ".", false, 0},
    {"SignAndPoint", "-.", false, 0},
    {"PointThenExponent", ".e5", false, 0},
    {"SignAlone", "-", false, 0},
    {"TabIsNotABlank", "\t5", false, 0},
    {"ExponentWithoutDigits", "5e", false, 0},
    {"InnerBlank", "1 9", false, 0},
    {"Overflow", "1e400", false, 0},
    {"Hexadecimal", "0x10", false, 0},
    {"Infinity", "inf", false, 0},
    {"TwoSigns", "+-5", false, 0},
    {"HugeExponentInSixColumns", " 9e307", true, 9e307},
};

class NumberConversion : public testing::TestWithParam<NumberCase> {};

TEST_P(NumberConversion, FollowsTheGrammar) {
    const NumberCase& c = GetParam();
    if (c.Valid) {
        EXPECT_DOUBLE_EQ(StrToFloat(c.Text), c.Value);
    } else {
        EXPECT_THROW(StrToFloat(c.Text), EConvertError);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, NumberConversion, testing::ValuesIn(Cases), RowName());

// The plain form takes the same texts but those with an exponent.
TEST_P(NumberConversion, PlainDecimalIsTheGrammarWithoutExponent) {
    const NumberCase& c = GetParam();
    const bool hasExponent = std::string_view(c.Text).find_first_of("eE") != std::string::npos;
    if (c.Valid && !hasExponent) {
        EXPECT_DOUBLE_EQ(PlainDecimalToFloat(c.Text), c.Value);
    } else {
        EXPECT_THROW(PlainDecimalToFloat(c.Text), EConvertError);
    }
}

TEST(NumberConversionMessage, NamesTheText) {
    try {
        StrToFloat("19,53");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'19,53' is not a valid floating point value");
    }
    try {
        PlainDecimalToFloat(" 9e307");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "' 9e307' is not a valid floating point value");
    }
}

TEST(NumberConversionLocale, CommaLocaleChangesNothing) {
    const TCommaLocale comma;
    if (!comma.IsActive())
        GTEST_SKIP() << "no locale with a decimal comma could be set";
    for (const NumberCase& c : Cases) {
        SCOPED_TRACE(c.Name);
        if (c.Valid) {
            EXPECT_DOUBLE_EQ(StrToFloat(c.Text), c.Value);
        } else {
            EXPECT_THROW(StrToFloat(c.Text), EConvertError);
        }
    }
}

} // namespace
