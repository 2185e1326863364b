#include "chart/ChartCommandLine.h"

#include "platform/Exception.h"
#include "tests/support/RowName.h"
#include "tests/support/TempFolder.h"

#include <QImage>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace {

struct TBadArgsRow {
    std::string Name;
    std::vector<std::string> Args;
    std::string Message;
};

class BadChartArgsTest : public testing::TestWithParam<TBadArgsRow> {};

TEST_P(BadChartArgsTest, AreRefusedWithAClearMessage) {
    try {
        ParseChartCommandLine(GetParam().Args);
        ADD_FAILURE() << "accepted";
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()), GetParam().Message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BadChartArgsTest,
    testing::Values(
        TBadArgsRow{"NoFile", {"--png", "a.png"}, "Name the readings file to draw."},
        TBadArgsRow{"NoPicture", {"r.csv"}, "Name the picture to write with --png FILE."},
        TBadArgsRow{"PngWithoutValue", {"r.csv", "--png"}, "Option --png needs a value."},
        TBadArgsRow{"TwoFiles",
                    {"r.csv", "s.csv"},
                    "Only one readings file, please: 's.csv' is one too many."},
        TBadArgsRow{"UnknownOption", {"r.csv", "--pdf", "a.pdf"}, "Unknown option --pdf."},
        TBadArgsRow{"BadNight",
                    {"r.csv", "--png", "a.png", "--night", "21/03/2017"},
                    "'21/03/2017' is not a date of the form YYYY-MM-DD."},
        TBadArgsRow{"BadSize",
                    {"r.csv", "--png", "a.png", "--size", "800"},
                    "Option --size takes WIDTHxHEIGHT in pixels, from 200x150 to 10000x10000, "
                    "not '800'."},
        TBadArgsRow{"TinySize",
                    {"r.csv", "--png", "a.png", "--size", "20x10"},
                    "Option --size takes WIDTHxHEIGHT in pixels, from 200x150 to 10000x10000, "
                    "not '20x10'."},
        TBadArgsRow{"ImpossiblePosition",
                    {"r.csv", "--png", "a.png", "--position", "95,4"},
                    "The latitude 95 is outside -90 to 90 degrees"},
        TBadArgsRow{"HalfAPosition",
                    {"r.csv", "--png", "a.png", "--position", "52"},
                    "The position \"52\" is not LAT,LON or LAT,LON,ELEV (degrees north, degrees "
                    "east, metres)"},
        TBadArgsRow{
            "EmptySiteName", {"r.csv", "--png", "a.png", "--site", " "}, "The site name is empty"}),
    RowName());

TEST(ChartCommandLineTest, ReadsEveryOption) {
    const TChartCommandLine c = ParseChartCommandLine(
        {"r.csv", "--png", "a.png", "--night", "2017-03-21", "--dark", "--size", "640x480",
         "--position", "52.16, 4.49, 20", "--site", "Leiden", "--style", "Jet"});
    EXPECT_EQ(c.ReadingsFile, "r.csv");
    EXPECT_EQ(c.PngFile, "a.png");
    EXPECT_EQ(c.Night, "2017-03-21");
    EXPECT_TRUE(c.Dark);
    EXPECT_EQ(c.Size, QSize(640, 480));
    ASSERT_TRUE(c.Position);
    EXPECT_EQ(c.Position->Latitude, 52.16);
    EXPECT_EQ(c.Position->Elevation, 20.0);
    EXPECT_EQ(c.SiteName, "Leiden");
    EXPECT_EQ(c.Style, "Jet");
    EXPECT_TRUE(ParseChartCommandLine({"--help"}).Help);
}

class RunChartTest : public testing::Test {
protected:
    TTempFolder Folder;
    std::string Readings = Folder.File("readings.csv");
    std::string Png = Folder.File("night.png");
    std::ostringstream Out, Err;

    void SetUp() override {
        std::ofstream(Readings, std::ios::binary)
            << "Produced by Nightlux 3.0.0.0\r\n"
               "Year/Month/Day,Hour/Minute/Second,MPSAS,NELM,SerialNo,Protocol,Model,Feature,"
               "Temp(C),,,,\r\n"
               "2017/03/21,21:00:00,19.80,5.4,00005533,00000004,00000003,00000076,05.3,,,,\r\n"
               "2017/03/22,01:00:00,21.20,6.2,00005533,00000004,00000003,00000076,03.1,,,,\r\n"
               "2017/03/22,0x:00:00,21.20,6.2,00005533,00000004,00000003,00000076,03.1,,,,\r\n"
               "2017/03/22,20:00:00,20.00,5.5,00005533,00000004,00000003,00000076,04.0,,,,\r\n";
    }

    int Run(std::vector<std::string> args) {
        return RunChartCommand(ParseChartCommandLine(args), Out, Err);
    }
};

TEST_F(RunChartTest, DrawsTheNightAskedForAndReportsDamage) {
    ASSERT_EQ(Run({Readings, "--png", Png, "--night", "2017-03-21", "--size", "600x400"}), 0)
        << Err.str();
    EXPECT_EQ(QImage(QString::fromStdString(Png)).size(), QSize(600, 400));
    EXPECT_EQ(Out.str(), "Night of 2017-03-21: Darkest 21.20 at 01:00 · brightest 19.80 at "
                         "21:00 · mean 20.50 MPSAS · 2 readings\n");
    EXPECT_EQ(Err.str(), Readings + ": 1 damaged line skipped (line 5)\n");
}

TEST_F(RunChartTest, DrawsTwilightAndMoonForTheGivenOrTheSavedSite) {
    const std::string settings = Folder.File("nightlux.ini");
    std::ofstream(settings) << "[Site]\nName=Leiden\nLatitude=52.16\nLongitude=4.49\n";
    struct TRow {
        std::vector<std::string> Extra;
        std::string Out; // the line after the summary
    };
    const TRow rows[] = {
        {{"--position", "-33.9,18.4"}, "Twilight and Moon for 33.9° S, 18.4° E.\n"},
        {{}, "Twilight and Moon for Leiden, 52.16° N, 4.49° E.\n"},
        {{"--site", "Home"}, "Twilight and Moon for Home, 52.16° N, 4.49° E.\n"},
    };
    for (const TRow& row : rows) {
        Out.str("");
        Err.str("");
        std::vector<std::string> args = {Readings, "--png", Png, "--night", "2017-03-21"};
        args.insert(args.end(), row.Extra.begin(), row.Extra.end());
        TChartCommandLine command = ParseChartCommandLine(args);
        command.SettingsFile = settings;
        ASSERT_EQ(RunChartCommand(command, Out, Err), 0) << Err.str();
        EXPECT_TRUE(Out.str().ends_with("2 readings\n" + row.Out)) << Out.str();
        EXPECT_EQ(Err.str(), Readings + ": 1 damaged line skipped (line 5)\n");
    }

    std::ofstream(settings) << "[SQM]\nStore=1\n";
    TChartCommandLine command = ParseChartCommandLine({Readings, "--png", Png});
    command.SettingsFile = settings;
    Err.str("");
    ASSERT_EQ(RunChartCommand(command, Out, Err), 0) << Err.str();
    EXPECT_NE(Err.str().find("\nNo site is set"), std::string::npos) << Err.str();
    EXPECT_TRUE(Err.str().ends_with("Give one with --position LAT,LON[,ELEV].\n")) << Err.str();
}

TEST_F(RunChartTest, WithoutANightDrawsTheLatest) {
    ASSERT_EQ(Run({Readings, "--png", Png, "--dark"}), 0) << Err.str();
    EXPECT_TRUE(Out.str().starts_with("Night of 2017-03-22: ")) << Out.str();
}

TEST_F(RunChartTest, NothingToDrawIsAFailureAndWritesNoPicture) {
    const std::string empty = Folder.File("empty.csv");
    std::ofstream(empty) << "";
    struct TRow {
        std::vector<std::string> Args;
        std::string Message;
    };
    const TRow rows[] = {
        {{Readings, "--png", Png, "--night", "2017-03-19"},
         Readings + " has no readings for the night of 2017-03-19.\n"},
        {{empty, "--png", Png}, empty + " holds no readings.\n"},
        {{Folder.File("missing.csv"), "--png", Png},
         "Could not read " + Folder.File("missing.csv") + ": No such file or directory\n"},
    };
    for (const TRow& row : rows) {
        Err.str("");
        EXPECT_EQ(Run(row.Args), 1);
        EXPECT_TRUE(Err.str().ends_with(row.Message)) << Err.str();
        EXPECT_FALSE(std::filesystem::exists(Png));
    }
}

} // namespace
