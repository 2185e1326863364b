#include "meter/Dm_SQMBase.h"
#include "tests/support/CommaLocale.h"
#include "tests/support/RowName.h"
#include "tests/support/StoredLink.h"
#include "tools/sim/MeterReplies.h"

#include <gtest/gtest.h>
#include <optional>

namespace {

const std::string Reading = "r, 19.53m,0000000012Hz,0000038400c,0000000.083s, 005.3C";
const std::string UnitInfo = "i,00000004,00000003,00000076,00005533";

struct CutCase {
    const char* Name;
    std::string Reply;
    int First;
    int Length;
    std::string Field;
};

class FieldCutting : public testing::TestWithParam<CutCase> {};

TEST_P(FieldCutting, TakesAtMostLengthCharacters) {
    const CutCase& c = GetParam();
    EXPECT_EQ(CutField(c.Reply, c.First, c.Length), c.Field);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FieldCutting,
    testing::Values(CutCase{"Magnitude", Reading, 3, 6, " 19.53"},
                    CutCase{"Temperature", Reading, 49, 6, " 005.3"},
                    CutCase{"ProtocolKeepsZeros", UnitInfo, 3, 8, "00000004"},
                    CutCase{"SerialNumber", UnitInfo, 30, 8, "00005533"},
                    CutCase{"EndsEarly", UnitInfo.substr(0, 25), 21, 8, "00000"},
                    CutCase{"StartsPastTheEnd", UnitInfo.substr(0, 25), 30, 8, ""},
                    CutCase{"NineCharacters", UnitInfo.substr(0, 9), 3, 8, "0000000"},
                    CutCase{"EmptyReply", "", 3, 6, ""},
                    CutCase{"MultiByteCharacterCountsOnce",
                            "r,\xC2\xB0"
                            "19.5",
                            3, 3,
                            "\xC2\xB0"
                            "19"}),
    RowName());

// A reading reply with the given texts in the magnitude (3-8) and temperature (49-54)
// columns, cut to length characters.
std::string ReadingWith(const std::string& magnitude, const std::string& temperature,
                        std::size_t length = 55) {
    std::string reply =
        "r," + magnitude + "m,0000000012Hz,0000038400c,0000000.083s," + temperature + "C";
    return reply.substr(0, length);
}

struct ReadingCase {
    const char* Name;
    std::string Reply;
    std::optional<double> Magnitude; // empty: EConvertError
    std::optional<double> Temperature;
};

const ReadingCase ReadingCases[] = {
    {"BlankThenNumber", ReadingWith(" 19.53", " 005.3"), 19.53, 5.3},
    {"MinusWithLeadingZero", ReadingWith("-01.20", "-012.5"), -1.2, -12.5},
    {"SaturatedSensor", ReadingWith(" 00.00", " 021.0"), 0.0, 21.0},
    {"PlusSign", ReadingWith("+19.53", "+005.3"), 19.53, 5.3},
    // A meter writes plain decimals: an exponent makes the field not valid.
    {"Exponent", ReadingWith("1.95e1", " 5E-01"), std::nullopt, std::nullopt},
    {"HugeExponent", ReadingWith(" 9e307", "9e+307"), std::nullopt, std::nullopt},
    {"BlanksAround", ReadingWith("  19  ", "    7 "), 19.0, 7.0},
    {"CommaDecimal", ReadingWith(" 19,53", " 005,3"), std::nullopt, std::nullopt},
    {"InnerBlank", ReadingWith("19. 53", " 005.3"), std::nullopt, 5.3},
    {"Letter", ReadingWith(" 19.5x", " 005.3"), std::nullopt, 5.3},
    {"AllBlanks", ReadingWith("      ", "      "), std::nullopt, std::nullopt},
    {"TemperatureCutShort", ReadingWith(" 19.53", " 005.3", 52), 19.53, 5.0},
    {"EndsBeforeTemperature", ReadingWith(" 19.53", " 005.3", 30), 19.53, std::nullopt},
    {"EmptyAfterFailedRead", "", std::nullopt, std::nullopt},
    {"MultiByteCharacterCountsOnce", "r\xC2\xB0 19.53m", 19.53, std::nullopt},
    {"SimulatedMeter", TMeterReplies().ReadingLine(18.25, -7.5), 18.25, -7.5},
};

void ExpectField(double (TDmSQMBase::*accessor)() const, const TDmSQMBase& link,
                 std::optional<double> expected) {
    if (expected) {
        EXPECT_DOUBLE_EQ((link.*accessor)(), *expected);
    } else {
        EXPECT_THROW((link.*accessor)(), EConvertError);
        EXPECT_THROW((link.*accessor)(), EConvertError); // no state kept
    }
}

void ExpectFields(const ReadingCase& c) {
    TStoredLink link;
    link.ReadingReply = c.Reply;
    ExpectField(&TDmSQMBase::GetMagnitude, link, c.Magnitude);
    ExpectField(&TDmSQMBase::GetTemperature, link, c.Temperature);
}

class ReadingFields : public testing::TestWithParam<ReadingCase> {};

TEST_P(ReadingFields, CutThenConvert) {
    ExpectFields(GetParam());
}

TEST(ReadingFieldsLocale, SameResultsUnderACommaLocale) {
    const TCommaLocale comma;
    if (!comma.IsActive())
        GTEST_SKIP() << "no locale with a decimal comma could be set";
    for (const ReadingCase& c : ReadingCases) {
        SCOPED_TRACE(c.Name);
        ExpectFields(c);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ReadingFields, testing::ValuesIn(ReadingCases), RowName());

TEST(Accessors, EmptyLinkHasNoReading) {
    TStoredLink link;
    EXPECT_THROW(link.GetMagnitude(), EConvertError);
    EXPECT_THROW(link.GetTemperature(), EConvertError);
    EXPECT_EQ(double(link.GetReadingTime()), 0.0);
    EXPECT_EQ(link.Timeout, 0);
}

TEST(Accessors, CutUnitInformation) {
    TStoredLink link;
    link.UnitInfoReply = UnitInfo.substr(0, 25);
    EXPECT_EQ(link.GetProtocolVersion(), "00000004");
    EXPECT_EQ(link.GetModelNumber(), "00000003");
    EXPECT_EQ(link.GetFeatureVersion(), "00000");
    EXPECT_EQ(link.GetSerialNumber(), "");
}

TEST(ESqmMessage, PrefixBlankThenText) {
    const ESqm e("SQM-LE connection has been dropped.\nPlease try again.");
    EXPECT_STREQ(e.what(), "Sky Quality Meter communication error: SQM-LE connection has been "
                           "dropped.\nPlease try again.");
}

} // namespace
