#include "meter/Dm_SQMBase.h"
#include "tests/support/RowName.h"

#include <gtest/gtest.h>

namespace {

// A link with no transport: only the stored replies and the accessors.
class TStoredLink : public TDmSQMBase {
public:
    void Connect() override {}
    void Disconnect() override {}
    void ReadReading() override {}
    void ReadUnitInfo() override {}
    void ReadCalibration() override {}
};

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

TEST(Accessors, ConvertTheNumberFields) {
    TStoredLink link;
    link.ReadingReply = Reading;
    EXPECT_DOUBLE_EQ(link.GetMagnitude(), 19.53);
    EXPECT_DOUBLE_EQ(link.GetTemperature(), 5.3);
    link.ReadingReply = "r,-01.20m";
    EXPECT_DOUBLE_EQ(link.GetMagnitude(), -1.2);
    link.ReadingReply = "r, 19,53m";
    EXPECT_THROW(link.GetMagnitude(), EConvertError);
    EXPECT_THROW(link.GetMagnitude(), EConvertError);
}

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
