#include "platform/Text.h"

#include "platform/Exception.h"
#include "tests/support/RowName.h"

#include <gtest/gtest.h>

namespace {

TEST(SameText, IgnoresTheCaseOfAsciiLettersOnly) {
    EXPECT_TRUE(SameText("LU (USB)", "lu (usb)"));
    EXPECT_TRUE(SameText("", ""));
    EXPECT_FALSE(SameText("COM1", "COM10"));
    EXPECT_FALSE(SameText("[", "{")) << "only letters fold";
    EXPECT_FALSE(SameText("\xC3\x84", "\xC3\xA4")) << "other letters are compared as they stand";
}

struct TIntRow {
    std::string Name;
    std::string Text;
    bool Valid;
    std::int32_t Value;
};

class IntegerConversion : public testing::TestWithParam<TIntRow> {};

TEST_P(IntegerConversion, FollowsTheProgramsRules) {
    const TIntRow& row = GetParam();
    std::int32_t value = 77;
    EXPECT_EQ(TryStrToInt(row.Text, value), row.Valid);
    EXPECT_EQ(value, row.Valid ? row.Value : 77) << "untouched when refused";
    if (row.Valid) {
        EXPECT_EQ(StrToInt(row.Text), row.Value);
    } else {
        try {
            StrToInt(row.Text);
            FAIL() << "accepted";
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), "'" + row.Text + "' is not a valid integer value");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, IntegerConversion,
    testing::Values(
        TIntRow{"Plain", "10001", true, 10001}, TIntRow{"LeadingZeros", "00000004", true, 4},
        TIntRow{"Negative", "-5", true, -5}, TIntRow{"Plus", "+5", true, 5},
        TIntRow{"LeadingBlanks", "  12", true, 12},
        TIntRow{"Largest", "2147483647", true, 2147483647},
        TIntRow{"Smallest", "-2147483648", true, -2147483647 - 1},
        TIntRow{"AboveLargest", "2147483648", false, 0},
        TIntRow{"BelowSmallest", "-2147483649", false, 0},
        TIntRow{"VeryLong", "99999999999999999999999", false, 0},
        TIntRow{"TrailingBlank", "12 ", false, 0}, TIntRow{"LeadingTab", "\t12", false, 0},
        TIntRow{"Empty", "", false, 0}, TIntRow{"SignAlone", "-", false, 0},
        TIntRow{"BlanksAlone", "  ", false, 0}, TIntRow{"TwoSigns", "+-1", false, 0},
        TIntRow{"BlankAfterSign", "- 1", false, 0}, TIntRow{"Hexadecimal", "0x10", false, 0},
        TIntRow{"Decimals", "1.0", false, 0}, TIntRow{"ArabicIndicDigit", "\xD9\xA8", false, 0},
        TIntRow{"FullWidthDigit", "\xEF\xBC\x91", false, 0},
        TIntRow{"InnerBlank", "1 2", false, 0}),
    RowName());

struct TUtf8Row {
    std::string Name;
    std::string Text;
    char32_t CodePoint;
    std::size_t Length;
};

class Utf8Decoding : public testing::TestWithParam<TUtf8Row> {};

TEST_P(Utf8Decoding, GivesTheCodePointOrOneInvalidByte) {
    std::size_t length = 0;
    EXPECT_EQ(DecodeUtf8(GetParam().Text, 0, length), GetParam().CodePoint);
    EXPECT_EQ(length, GetParam().Length);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Utf8Decoding,
    testing::Values(TUtf8Row{"Ascii", "A", U'A', 1}, TUtf8Row{"TwoBytes", "\xC2\xB0", 0xB0, 2},
                    TUtf8Row{"ThreeBytes", "\xE2\x82\xAC", 0x20AC, 3},
                    TUtf8Row{"FourBytes", "\xF0\x9F\x8C\x99", 0x1F319, 4},
                    TUtf8Row{"LoneContinuation", "\x80", InvalidCodePoint, 1},
                    TUtf8Row{"Overlong", "\xC0\xAF", InvalidCodePoint, 1},
                    TUtf8Row{"Surrogate", "\xED\xA0\x80", InvalidCodePoint, 1},
                    TUtf8Row{"AboveUnicode", "\xF4\x90\x80\x80", InvalidCodePoint, 1},
                    TUtf8Row{"CutShort", "\xE2\x82", InvalidCodePoint, 1},
                    TUtf8Row{"BrokenContinuation", "\xE2\x28\xA1", InvalidCodePoint, 1}),
    RowName());

TEST(Utf8Offset, CountsCharactersNotBytes) {
    const std::string text = "a\xC2\xB0"
                             "b\xE2\x82\xAC";
    EXPECT_EQ(Utf8Offset(text, 0), 0u);
    EXPECT_EQ(Utf8Offset(text, 1), 1u);
    EXPECT_EQ(Utf8Offset(text, 2), 3u);
    EXPECT_EQ(Utf8Offset(text, 3), 4u);
    EXPECT_EQ(Utf8Offset(text, 4), text.size());
    EXPECT_EQ(Utf8Offset(text, 99), text.size());
    EXPECT_EQ(Utf8Offset("\x80\x80x", 1), 2u) << "stray continuation bytes join the character";
}

} // namespace
