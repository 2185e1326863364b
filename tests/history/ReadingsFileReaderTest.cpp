#include "history/ReadingsFileReader.h"

#include "platform/Exception.h"
#include "tests/support/RowName.h"
#include "tests/support/TempFolder.h"

#include <fstream>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono;

const std::string Header = "Produced by Nightlux 3.0.0.0\r\n"
                           "Year/Month/Day,Hour/Minute/Second,MPSAS,NELM,SerialNo,Protocol,Model,"
                           "Feature,Temp(C),,,,\r\n";
const std::string First =
    "2017/03/21,21:30:15,19.53,5.2,00001234,00000004,00000003,00000010,05.3,,,,";
const std::string Second =
    "2017/03/21,21:35:15,19.61,5.3,00001234,00000004,00000003,00000010,-2.5,,,,";

TLocalTime At(int y, unsigned m, unsigned d, int hh, int mm, int ss) {
    return local_days{year{y} / m / d} + hours{hh} + minutes{mm} + seconds{ss};
}

TEST(ReadingsFileReaderTest, ReadsTheHeaderAndEveryFieldOfARecord) {
    const TReadingsFileContents c = ParseReadingsText(Header + First + "\r\n" + Second + "\r\n");
    EXPECT_EQ(c.ProducedBy, "3.0.0.0");
    EXPECT_TRUE(c.DamagedLines.empty());
    ASSERT_EQ(c.Readings.size(), 2u);
    const TNightReading& r = c.Readings[0];
    EXPECT_EQ(r.Time, At(2017, 3, 21, 21, 30, 15));
    EXPECT_DOUBLE_EQ(r.Magnitude, 19.53);
    EXPECT_DOUBLE_EQ(r.Nelm, 5.2);
    EXPECT_DOUBLE_EQ(r.Temperature, 5.3);
    EXPECT_EQ(r.SerialNumber, "00001234");
    EXPECT_EQ(r.ProtocolVersion, "00000004");
    EXPECT_EQ(r.ModelNumber, "00000003");
    EXPECT_EQ(r.FeatureVersion, "00000010");
    EXPECT_DOUBLE_EQ(c.Readings[1].Temperature, -2.5);
}

struct TDamageRow {
    std::string Name;
    std::string Line;
};

class DamagedLineTest : public testing::TestWithParam<TDamageRow> {};

// The damaged line sits between two good records and is the file's fourth line.
TEST_P(DamagedLineTest, IsSkippedAndCountedAndReadingGoesOn) {
    const TReadingsFileContents c =
        ParseReadingsText(Header + First + "\r\n" + GetParam().Line + "\r\n" + Second + "\r\n");
    ASSERT_EQ(c.Readings.size(), 2u);
    EXPECT_EQ(c.Readings[1].Time, At(2017, 3, 21, 21, 35, 15));
    EXPECT_EQ(c.DamagedLines, std::vector<std::size_t>{4});
}

const std::string Tail = ",00001234,00000004,00000003,00000010,05.3,,,,";

INSTANTIATE_TEST_SUITE_P(
    Rows, DamagedLineTest,
    testing::Values(
        TDamageRow{"Empty", ""}, TDamageRow{"Torn", "2017/03/21,21:30:15,19.5"},
        TDamageRow{"TwelveFields", First.substr(0, First.size() - 1)},
        TDamageRow{"FourteenFields", First + ","},
        TDamageRow{"TrailingFieldFilled", First.substr(0, First.size() - 1) + "x"},
        TDamageRow{"NoSuchDay", "2017/02/29,21:30:15,19.53,5.2" + Tail},
        TDamageRow{"MonthThirteen", "2017/13/01,21:30:15,19.53,5.2" + Tail},
        TDamageRow{"Hour24", "2017/03/21,24:00:00,19.53,5.2" + Tail},
        TDamageRow{"ShortYear", "17/03/21,21:30:15,19.53,5.2" + Tail},
        TDamageRow{"DashedDate", "2017-03-21,21:30:15,19.53,5.2" + Tail},
        TDamageRow{"OneDecimalMagnitude", "2017/03/21,21:30:15,19.5,5.2" + Tail},
        TDamageRow{"WordForMagnitude", "2017/03/21,21:30:15,dark!,5.2" + Tail},
        TDamageRow{"BareSign", "2017/03/21,21:30:15,-.53,5.2" + Tail},
        TDamageRow{"TwoDecimalNelm", "2017/03/21,21:30:15,19.53,5.25" + Tail},
        TDamageRow{"ShortTemperature",
                   "2017/03/21,21:30:15,19.53,5.2,00001234,00000004,00000003,00000010,5.3,,,,"},
        TDamageRow{"StrayCarriageReturn", "2017/03/21,21:30:15,19.53\r,5.2" + Tail},
        TDamageRow{"NulByte", std::string("2017/03/21,21:30:15,19.53,5.2") + '\0' + Tail},
        TDamageRow{"Binary", "\x89PNG\x1a"}),
    RowName());

struct TLineEndRow {
    std::string Name;
    std::string Text;
    std::size_t Readings;
    std::vector<std::size_t> Damaged;
};

class LineEndTest : public testing::TestWithParam<TLineEndRow> {};

TEST_P(LineEndTest, ReadsWhatTheLineEndsLeave) {
    const TReadingsFileContents c = ParseReadingsText(GetParam().Text);
    EXPECT_EQ(c.Readings.size(), GetParam().Readings);
    EXPECT_EQ(c.DamagedLines, GetParam().Damaged);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LineEndTest,
    testing::Values(
        TLineEndRow{"EmptyFile", "", 0, {}},
        // A file emptied by the user gets records without a header.
        TLineEndRow{"NoHeader", First + "\r\n" + Second + "\r\n", 2, {}},
        TLineEndRow{"LineFeedAlone", First + "\n" + Second + "\n", 2, {}},
        TLineEndRow{"MixedLineEnds", First + "\n" + Second + "\r\n", 2, {}},
        TLineEndRow{"LastRecordWithoutLineEnd", First + "\r\n" + Second, 2, {}},
        TLineEndRow{"LastLineTornInsideItsLineEnd", First + "\r\n" + Second + "\r", 1, {2}},
        TLineEndRow{"LastLineTornInsideARecord", First + "\r\n" + Second.substr(0, 30), 1, {2}},
        TLineEndRow{"CarriageReturnsAlone", First + "\r" + Second + "\r", 0, {1}},
        TLineEndRow{
            "FilesJoinedEndToEnd", Header + First + "\r\n" + Header + Second + "\r\n", 2, {}}),
    RowName());

TEST(ReadingsFileReaderTest, MeterTextsComeBackFromLatin1AsUtf8) {
    const std::string line = "2017/03/21,21:30:15,19.53,5.2,0000\xe9"
                             "234,?,00000003,00000010,05.3,,,,\r\n";
    const TReadingsFileContents c = ParseReadingsText(line);
    ASSERT_EQ(c.Readings.size(), 1u);
    EXPECT_EQ(c.Readings[0].SerialNumber, "0000\xc3\xa9"
                                          "234");
    EXPECT_EQ(c.Readings[0].ProtocolVersion, "?");
}

TEST(ReadingsFileReaderTest, ReadsAFileFromDisk) {
    TTempFolder folder;
    const std::string name = folder.File("readings.csv");
    std::ofstream(name, std::ios::binary) << Header << First << "\r\n"
                                          << "garbage\r\n";
    const TReadingsFileContents c = ReadReadingsFile(name);
    EXPECT_EQ(c.Readings.size(), 1u);
    EXPECT_EQ(c.DamagedLines, std::vector<std::size_t>{4});
}

TEST(ReadingsFileReaderTest, AFileThatCannotBeReadIsAnErrorNamingIt) {
    TTempFolder folder;
    for (const std::string& name :
         {folder.File("missing.csv"), folder.GetPath(), std::string("/dev/zero")}) {
        try {
            ReadReadingsFile(name);
            ADD_FAILURE() << name << " was read";
        } catch (const Exception& e) {
            EXPECT_TRUE(std::string(e.what()).starts_with("Could not read " + name + ": "))
                << e.what();
        }
    }
}

} // namespace
