#include "chart/ChartCommandLine.h"

#include "history/ReadingsFileReader.h"
#include "platform/Exception.h"
#include "tests/support/RowName.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempFolder.h"

#include <QImage>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>

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
        TBadArgsRow{"NoPicture",
                    {"r.csv"},
                    "Name the picture to write with --png FILE, or the statistics with --stats "
                    "FILE."},
        TBadArgsRow{"PngWithoutValue", {"r.csv", "--png"}, "Option --png needs a value."},
        TBadArgsRow{"TwoFiles",
                    {"r.csv", "s.csv", "--png", "a.png"},
                    "Only one readings file for a night's picture, please: 's.csv' is one too "
                    "many (--view night reads several)."},
        TBadArgsRow{"BadFrom",
                    {"r.csv", "--stats", "a.csv", "--from", "2026-02-30"},
                    "'2026-02-30' is not a date of the form YYYY-MM-DD."},
        TBadArgsRow{"ToBeforeFrom",
                    {"r.csv", "--stats", "a.csv", "--from", "2026-03-02", "--to", "2026-03-01"},
                    "The period ends (--to) before it begins (--from)."},
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
                         "21:00 · no site for the dark median · 2 readings\n");
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

// Worked by hand: the readings file above at Leiden (52.16 N, 4.49 E), local time UTC. Night
// of 21 March: 21:00 and 01:00, the Sun at -26.5 and -35.1 degrees, the Moon at -48.2 and -14.6
// (PyEphem): both dark, median (19.80 + 21.20) / 2; the Moon 0.37 lit at midnight. Night of 22
// March: 20:00, the Sun at -18.6, the Moon at -55.7: dark; 0.28 lit at midnight.
TEST_F(RunChartTest, WritesTheStatisticsOfEveryNightOfTheFilesAndFolders) {
    TScopedEnv tz("TZ", "UTC");
    const std::string csv = Folder.File("nights.csv");
    ASSERT_EQ(Run({Readings, "--stats", csv, "--position", "52.16,4.49"}), 0) << Err.str();
    const std::string text = ReadBytes(csv);
    EXPECT_EQ(text,
              "night,readings,dark_readings,darkest,dark_median,clear_fraction,moon_fraction\n"
              "2017-03-21,2,2,21.20,20.50,0.000,0.37\n"
              "2017-03-22,1,1,20.00,20.00,0.000,0.28\n");
    EXPECT_EQ(Out.str(), "2 nights of 3 readings from 1 file written to " + csv + ".\n");
    EXPECT_EQ(Err.str(), "1 damaged line skipped (" + Readings + ":5)\n");

    Out.str("");
    Err.str("");
    ASSERT_EQ(Run({Folder.GetPath(), "--stats", csv, "--position", "52.16,4.49", "--from",
                   "2017-03-22", "--to", "2017-03-22"}),
              0)
        << Err.str();
    EXPECT_EQ(ReadBytes(csv).find("2017-03-21"), std::string::npos);
    EXPECT_NE(ReadBytes(csv).find("\n2017-03-22,1,1,"), std::string::npos);

    // Without any site the statistics cannot be made; the old file stays as it was.
    const std::string before = ReadBytes(csv);
    EXPECT_EQ(Run({Readings, "--stats", csv}), 1);
    EXPECT_TRUE(Err.str().ends_with("Give one with --position LAT,LON[,ELEV].\n")) << Err.str();
    EXPECT_EQ(ReadBytes(csv), before);
}

TEST_F(RunChartTest, RefusesDevicesAndPipesWithTheCause) {
    ASSERT_EQ(::mkfifo(Folder.File("fifo").c_str(), 0600), 0);
    const struct {
        std::string File, Message;
    } rows[] = {
        {"/dev/zero", "Could not read /dev/zero: it is a device, not a regular file\n"},
        {"/dev/urandom", "Could not read /dev/urandom: it is a device, not a regular file\n"},
        {Folder.File("fifo"),
         "Could not read " + Folder.File("fifo") + ": it is a pipe (FIFO), not a regular file\n"},
    };
    for (const auto& row : rows) {
        Err.str("");
        EXPECT_EQ(Run({row.File, "--png", Png}), 1);
        EXPECT_EQ(Err.str(), row.Message);
        EXPECT_FALSE(std::filesystem::exists(Png));
    }
}

// A large file: only the night drawn is kept, whatever the file's size.
TEST_F(RunChartTest, ANightOfALargeFileIsReadWithoutTheRestOfIt) {
    std::ofstream out(Readings, std::ios::binary | std::ios::app);
    // 28 nights of ten hours of a reading a minute, before the file's own.
    for (int day = 1; day <= 28; ++day)
        for (int minute = 0; minute < 600; ++minute) {
            char line[128];
            std::snprintf(line, sizeof line,
                          "2017/02/%02d,%02d:%02d:00,20.00,5.4,00005533,00000004,00000003,"
                          "00000076,05.3,,,,\r\n",
                          day, 13 + minute / 60, minute % 60);
            out << line;
        }
    out.close();
    const TReadingsFileContents c = ReadReadingsFileNight(Readings, TNight::Parse("2017-02-10"));
    EXPECT_EQ(c.Readings.size(), 600u);
    const TReadingsFileContents latest = ReadReadingsFileNight(Readings, std::nullopt);
    ASSERT_TRUE(latest.Night);
    EXPECT_EQ(latest.Night->AsText(), "2017-03-22");
    EXPECT_EQ(latest.Readings.size(), 1u);
}
