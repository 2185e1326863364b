#include "ExampleStation.h"
#include "SkyglowParser.h"
#include "core/Reading.h"
#include "meter/Dm_SQMLE.h"
#include "sharing/SkyglowFormat.h"
#include "sharing/SkyglowWriter.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempFolder.h"
#include "tools/sim/TcpMeterServer.h"

#include <csignal>
#include <ctime>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Central European time without a zone database: UTC+1, UTC+2 in summer.
constexpr const char* CentralEurope = "CET-1CEST,M3.5.0,M10.5.0/3";

class TPinnedZone {
public:
    explicit TPinnedZone(const char* rule) : Env("TZ", rule) { tzset(); }
    ~TPinnedZone() { tzset(); }

private:
    TScopedEnv Env;
};

TSite StationSite() {
    return {"Dark Site", TPosition{52.2533, -8.3605, 80.0}};
}

// A night read from the simulated meter, one reading at each local time.
class SkyglowNight : public testing::Test {
protected:
    void SetUp() override {
        TMeterOptions options;
        options.Magnitude = 19.54;
        options.Temperature = 5.3;
        Meter = std::make_unique<TTcpMeterServer>(options);
        Link.Host = "127.0.0.1";
        Link.Port = Meter->GetPort();
        Link.Timeout = 5000;
        Link.Connect();
        Link.ReadUnitInfo();
    }
    void TearDown() override { Link.Disconnect(); }

    TSharedReading ReadAt(int year, int month, int day, int hour, int minute, int second) {
        Link.ReadReading();
        Link.ReadingTime = EncodeDateTime(year, month, day, hour, minute, second, 0);
        return ReadSharedReading(ReadingOf(Link));
    }

    TSkyglowWriter Writer(const TSkyglowSettings& settings, const TSite& site = StationSite()) {
        return TSkyglowWriter(settings, site, "SQM-LE", [this] {
            ++CalibrationReads;
            Link.ReadCalibration();
            return Link.CalibrationReply;
        });
    }

    std::vector<std::string> FilesInFolder() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(Folder.GetPath()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TPinnedZone Zone{CentralEurope};
    TTempFolder Folder;
    std::unique_ptr<TTcpMeterServer> Meter;
    TDmSQMLE Link;
    int CalibrationReads = 0;
};

const std::string NightHeader =
    "# Definition of the community standard for skyglow observations 1.0\r\n"
    "# URL: http://www.darksky.org/measurements\r\n"
    "# Number of header lines: 35\r\n"
    "# This data is released under the following license: ODbL 1.0 "
    "http://opendatacommons.org/licenses/odbl/summary/\r\n"
    "# Device type: SQM-LE\r\n"
    "# Instrument ID: Roof east\r\n"
    "# Data supplier: Example Astronomy Club\r\n"
    "# Location name: Dark Site\r\n"
    "# Position (lat, lon, elev(m)): 52.2533, -8.3605, 80\r\n"
    "# Local timezone: Europe/Berlin\r\n"
    "# Time Synchronization: NTP\r\n"
    "# Moving / Stationary position: STATIONARY\r\n"
    "# Moving / Fixed look direction: FIXED\r\n"
    "# Number of channels: 1\r\n"
    "# Filters per channel: HOYA CM-500\r\n"
    "# Measurement direction per channel: 0., 0.\r\n"
    "# Field of view (degrees): 20\r\n"
    "# Number of fields per line: 6\r\n"
    "# SQM serial number: 5533\r\n"
    "# SQM firmware version: 4-3-76\r\n"
    "# SQM cover offset value: -0.11\r\n"
    "# SQM readout test ix: i,00000004,00000003,00000076,00005533\r\n"
    "# SQM readout test rx: r, 19.54m,0000000006Hz,0000075773c,0000000.164s, 005.3C\r\n"
    "# SQM readout test cx: c,00000019.96m,0000199.361s, 019.0C,00000008.71m, 020.3C\r\n"
    "# Comment: Mounted on a mast, 4 m above the roof\r\n"
    "# Comment: \r\n"
    "# Comment: \r\n"
    "# Comment: \r\n"
    "# Comment: \r\n"
    "# blank line 30\r\n"
    "# blank line 31\r\n"
    "# blank line 32\r\n"
    "# UTC Date & Time, Local Date & Time, Temperature, Counts, Frequency, MSAS\r\n"
    "# YYYY-MM-DDTHH:mm:ss.fff;YYYY-MM-DDTHH:mm:ss.fff;Celsius;number;Hz;mag/arcsec^2\r\n"
    "# END OF HEADER\r\n";

TEST_F(SkyglowNight, WritesTheNightByteForByteAndAStandardReaderReadsItBack) {
    TSkyglowWriter writer = Writer(ExampleStationSettings(Folder.GetPath()));
    for (const auto& reading : {ReadAt(2026, 12, 9, 22, 0, 9), ReadAt(2026, 12, 9, 23, 59, 59),
                                ReadAt(2026, 12, 10, 3, 15, 0), ReadAt(2026, 12, 10, 11, 59, 59)}) {
        const TSkyglowResult result = writer.Write(reading);
        ASSERT_TRUE(result.Stored) << result.Notice.Text;
        EXPECT_EQ(result.Notice.Text, "");
    }
    const std::string name = "20261209_120000_SQM-LE-Dark_Site.dat";
    EXPECT_EQ(FilesInFolder(), std::vector<std::string>{name});
    EXPECT_EQ(CalibrationReads, 1);

    const std::string bytes = ReadBytes(Folder.File(name));
    const std::string records =
        "2026-12-09T21:00:09.000;2026-12-09T22:00:09.000;5.30;75773.000;6.098;19.54\r\n"
        "2026-12-09T22:59:59.000;2026-12-09T23:59:59.000;5.30;75773.000;6.098;19.54\r\n"
        "2026-12-10T02:15:00.000;2026-12-10T03:15:00.000;5.30;75773.000;6.098;19.54\r\n"
        "2026-12-10T10:59:59.000;2026-12-10T11:59:59.000;5.30;75773.000;6.098;19.54\r\n";
    EXPECT_EQ(bytes, NightHeader + records);

    const TParsedSkyglowFile parsed = ParseSkyglowFile(bytes);
    EXPECT_EQ(parsed.Header.size(), 35u);
    ASSERT_EQ(parsed.Records.size(), 4u);
    EXPECT_EQ(parsed.Records[0].Utc, "2026-12-09T21:00:09.000");
    EXPECT_EQ(parsed.Records[2].Local, "2026-12-10T03:15:00.000");
    EXPECT_DOUBLE_EQ(parsed.Records[0].Msas, 19.54);
    EXPECT_DOUBLE_EQ(parsed.Records[0].Temperature, 5.3);
    EXPECT_DOUBLE_EQ(parsed.Records[0].Frequency, 6.098);
}

TEST_F(SkyglowNight, NoonStartsTheNextNightsFile) {
    TSkyglowWriter writer = Writer(ExampleStationSettings(Folder.GetPath()));
    ASSERT_TRUE(writer.Write(ReadAt(2026, 12, 10, 11, 59, 59)).Stored);
    const TSkyglowResult next = writer.Write(ReadAt(2026, 12, 10, 12, 0, 0));
    ASSERT_TRUE(next.Stored) << next.Notice.Text;
    EXPECT_EQ(next.FileName, Folder.File("20261210_120000_SQM-LE-Dark_Site.dat"));
    EXPECT_EQ(FilesInFolder(), (std::vector<std::string>{"20261209_120000_SQM-LE-Dark_Site.dat",
                                                         "20261210_120000_SQM-LE-Dark_Site.dat"}));
    EXPECT_EQ(CalibrationReads, 2);
}

TEST_F(SkyglowNight, SummerTimeGivesTheUniversalTimeTwoHoursBack) {
    TSkyglowWriter writer = Writer(ExampleStationSettings(Folder.GetPath()));
    const TSkyglowResult result = writer.Write(ReadAt(2026, 7, 1, 23, 30, 0));
    ASSERT_TRUE(result.Stored) << result.Notice.Text;
    const TParsedSkyglowFile parsed = ParseSkyglowFile(ReadBytes(result.FileName));
    ASSERT_EQ(parsed.Records.size(), 1u);
    EXPECT_EQ(parsed.Records[0].Utc, "2026-07-01T21:30:00.000");
}

TEST_F(SkyglowNight, ARestartedWriterAppendsToTheNightsFile) {
    const TSkyglowSettings settings = ExampleStationSettings(Folder.GetPath());
    ASSERT_TRUE(Writer(settings).Write(ReadAt(2026, 12, 9, 22, 0, 9)).Stored);
    Meter->SetOptions([] {
        TMeterOptions brighter;
        brighter.Magnitude = 18.02;
        brighter.Temperature = -1.5;
        return brighter;
    }());
    Link.Disconnect();
    ASSERT_TRUE(Meter->WaitUntil([](const TMeterServerCounts& c) { return c.OpenConnections == 0; },
                                 std::chrono::seconds(30)));
    Link.Connect();
    const TSkyglowResult second = Writer(settings).Write(ReadAt(2026, 12, 9, 22, 5, 0));
    ASSERT_TRUE(second.Stored) << second.Notice.Text;
    EXPECT_EQ(second.Notice.Text, "");
    EXPECT_EQ(CalibrationReads, 1);
    const TParsedSkyglowFile parsed = ParseSkyglowFile(ReadBytes(second.FileName));
    ASSERT_EQ(parsed.Records.size(), 2u);
    EXPECT_DOUBLE_EQ(parsed.Records[1].Msas, 18.02);
    EXPECT_DOUBLE_EQ(parsed.Records[1].Temperature, -1.5);
}

TEST_F(SkyglowNight, AFileWithAnotherHeaderIsLeftAloneAndTheUserTold) {
    const std::string name = Folder.File("20261209_120000_SQM-LE-Dark_Site.dat");
    const std::string foreign = NightHeader.substr(0, 200) + "\r\n";
    WriteBytes(name, foreign);

    TSkyglowSettings settings = ExampleStationSettings(Folder.GetPath());
    TSkyglowWriter writer = Writer(settings);
    const TSkyglowResult first = writer.Write(ReadAt(2026, 12, 9, 22, 0, 9));
    ASSERT_TRUE(first.Stored) << first.Notice.Text;
    const std::string beside = Folder.File("20261209_120000_SQM-LE-Dark_Site_2.dat");
    EXPECT_EQ(first.FileName, beside);
    EXPECT_NE(first.Notice.Text.find(name), std::string::npos) << first.Notice.Text;
    EXPECT_NE(first.Notice.Text.find(beside), std::string::npos) << first.Notice.Text;

    const TSkyglowResult second = writer.Write(ReadAt(2026, 12, 9, 22, 1, 9));
    EXPECT_EQ(second.FileName, beside);
    EXPECT_EQ(second.Notice.Text, "") << "told once, not per reading";
    EXPECT_EQ(ReadBytes(name), foreign);

    // Changed settings make a header that matches neither file.
    settings.InstrumentId = "Roof west";
    const TSkyglowResult third = Writer(settings).Write(ReadAt(2026, 12, 9, 22, 2, 9));
    EXPECT_EQ(third.FileName, Folder.File("20261209_120000_SQM-LE-Dark_Site_3.dat"));
    EXPECT_EQ(ParseSkyglowFile(ReadBytes(beside)).Records.size(), 2u);
    EXPECT_EQ(ReadBytes(name), foreign);
}

TEST_F(SkyglowNight, ADanglingSymbolicLinkIsNeitherFollowedNorReplaced) {
    const std::string name = Folder.File("20261209_120000_SQM-LE-Dark_Site.dat");
    ASSERT_EQ(::symlink(Folder.File("elsewhere.dat").c_str(), name.c_str()), 0);
    const TSkyglowResult result =
        Writer(ExampleStationSettings(Folder.GetPath())).Write(ReadAt(2026, 12, 9, 22, 0, 9));
    ASSERT_TRUE(result.Stored) << result.Notice.Text;
    EXPECT_EQ(result.FileName, Folder.File("20261209_120000_SQM-LE-Dark_Site_2.dat"));
    EXPECT_FALSE(std::filesystem::exists(Folder.File("elsewhere.dat")));
}

// A link swapped in at the night file's name between two readings receives nothing: the
// readings go on beside it, and the user is told once.
TEST_F(SkyglowNight, ALinkSwappedInAtTheNightFilesNameIsNotWrittenThrough) {
    TSkyglowWriter writer = Writer(ExampleStationSettings(Folder.GetPath()));
    const TSkyglowResult first = writer.Write(ReadAt(2026, 12, 9, 22, 0, 9));
    ASSERT_TRUE(first.Stored) << first.Notice.Text;
    const std::string victim = Folder.File("victim");
    const std::string original = ReadBytes(first.FileName);
    WriteBytes(victim, original); // even a file with the station's own header
    ASSERT_EQ(::rename(first.FileName.c_str(), Folder.File("moved").c_str()), 0);
    ASSERT_EQ(::symlink(victim.c_str(), first.FileName.c_str()), 0);

    const TSkyglowResult second = writer.Write(ReadAt(2026, 12, 9, 22, 1, 0));
    ASSERT_TRUE(second.Stored) << second.Notice.Text;
    EXPECT_EQ(ReadBytes(victim), original);
    EXPECT_EQ(second.FileName, Folder.File("20261209_120000_SQM-LE-Dark_Site_2.dat"));
    EXPECT_NE(second.Notice.Text.find(first.FileName + " is a symbolic link"), std::string::npos)
        << second.Notice.Text;
    const TSkyglowResult third = writer.Write(ReadAt(2026, 12, 9, 22, 2, 0));
    ASSERT_TRUE(third.Stored);
    EXPECT_EQ(third.FileName, second.FileName);
    EXPECT_EQ(third.Notice.Text, "") << "told once";
    EXPECT_EQ(ReadBytes(victim), original);
}

// What is at the night file's name is named for what it is.
TEST_F(SkyglowNight, WhatIsNotARegularFileAtTheNameIsNamed) {
    const std::string name = Folder.File("20261209_120000_SQM-LE-Dark_Site.dat");
    struct TCase {
        const char* What;
        std::function<void()> Make;
        std::string Told;
    };
    const std::vector<TCase> cases = {
        {"FIFO", [&] { ASSERT_EQ(::mkfifo(name.c_str(), 0644), 0); }, "is a FIFO"},
        {"dangling link",
         [&] { ASSERT_EQ(::symlink(Folder.File("gone").c_str(), name.c_str()), 0); },
         "is a symbolic link to a file that does not exist"},
        {"folder", [&] { std::filesystem::create_directory(name); }, "is a folder"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        std::filesystem::remove_all(Folder.GetPath());
        std::filesystem::create_directory(Folder.GetPath());
        c.Make();
        const TSkyglowResult result =
            Writer(ExampleStationSettings(Folder.GetPath())).Write(ReadAt(2026, 12, 9, 22, 0, 9));
        ASSERT_TRUE(result.Stored) << result.Notice.Text;
        EXPECT_NE(result.Notice.Text.find(name + " " + c.Told), std::string::npos)
            << result.Notice.Text;
        EXPECT_EQ(result.Notice.Text.find("different header"), std::string::npos)
            << result.Notice.Text;
    }
}

TEST_F(SkyglowNight, ATornLastLineIsEndedBeforeTheNextRecord) {
    const TSkyglowSettings settings = ExampleStationSettings(Folder.GetPath());
    const TSkyglowResult first = Writer(settings).Write(ReadAt(2026, 12, 9, 22, 0, 9));
    ASSERT_TRUE(first.Stored);
    const std::string torn = ReadBytes(first.FileName) + "2026-12-09T21:01";
    WriteBytes(first.FileName, torn);
    ASSERT_TRUE(Writer(settings).Write(ReadAt(2026, 12, 9, 22, 2, 0)).Stored);
    const std::string bytes = ReadBytes(first.FileName);
    EXPECT_EQ(bytes.substr(torn.size()),
              "\r\n2026-12-09T21:02:00.000;2026-12-09T22:02:00.000;5.30;75773.000;6.098;19.54\r\n");
}

TEST_F(SkyglowNight, NothingGivenIsWrittenAsPlaceholders) {
    TSkyglowSettings bare;
    bare.Folder = Folder.GetPath();
    const TSkyglowResult result =
        TSkyglowWriter(bare, TSite{}, "SQM-LE", nullptr).Write(ReadAt(2026, 12, 9, 22, 0, 9));
    ASSERT_TRUE(result.Stored) << result.Notice.Text;
    EXPECT_EQ(result.FileName, Folder.File("20261209_120000_SQM-LE.dat"));
    const TParsedSkyglowFile parsed = ParseSkyglowFile(ReadBytes(result.FileName));
    const std::vector<std::pair<std::size_t, std::string>> lines = {
        {3, "This data is released under the following license: unknown"},
        {5, "Instrument ID: unknown"},
        {6, "Data supplier: unknown"},
        {7, "Location name: unknown"},
        {8, "Position (lat, lon, elev(m)): unknown"},
        {10, "Time Synchronization: unknown"},
        {20, "SQM cover offset value: 0.00"},
        {23, "SQM readout test cx: unknown"},
        {24, "Comment: "},
    };
    for (const auto& [index, text] : lines)
        EXPECT_EQ(parsed.Header[index], text);
}

TEST_F(SkyglowNight, ACalibrationThatCannotBeReadLeavesThePlaceholderAndANotice) {
    TSkyglowWriter writer(ExampleStationSettings(Folder.GetPath()), StationSite(), "SQM-LE",
                          []() -> std::string { throw ESqm("No reply"); });
    const TSkyglowResult result = writer.Write(ReadAt(2026, 12, 9, 22, 0, 9));
    ASSERT_TRUE(result.Stored);
    EXPECT_NE(result.Notice.Text.find("No reply"), std::string::npos) << result.Notice.Text;
    EXPECT_EQ(result.Notice.Severity, ENoticeSeverity::Warning);
    EXPECT_EQ(ParseSkyglowFile(ReadBytes(result.FileName)).Header[23],
              "SQM readout test cx: unknown");
}

TEST_F(SkyglowNight, FailuresAreReportedAndLeaveNoTraces) {
    const std::string aFile = Folder.File("plain");
    WriteBytes(aFile, "x");
    struct TCase {
        std::string Folder;
        std::string Expected;
    };
    for (const TCase& c :
         {TCase{Folder.File("missing"), "No such file or directory"},
          TCase{aFile, "Not a directory"}, TCase{"", "No folder is set for the skyglow files"}}) {
        TSkyglowSettings settings = ExampleStationSettings(c.Folder);
        const TSkyglowResult result = Writer(settings).Write(ReadAt(2026, 12, 9, 22, 0, 9));
        EXPECT_FALSE(result.Stored) << c.Folder;
        EXPECT_NE(result.Notice.Text.find(c.Expected), std::string::npos) << result.Notice.Text;
    }
    EXPECT_EQ(FilesInFolder(), std::vector<std::string>{"plain"});
}

// A file that may grow no further: the record that does not fit is taken back whole.
TEST_F(SkyglowNight, ARecordThatDoesNotFitIsTakenBackWhole) {
    const TSkyglowSettings settings = ExampleStationSettings(Folder.GetPath());
    const TSkyglowResult first = Writer(settings).Write(ReadAt(2026, 12, 9, 22, 0, 9));
    ASSERT_TRUE(first.Stored);
    const std::string before = ReadBytes(first.FileName);

    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit tight = old;
    tight.rlim_cur = before.size() + 20;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
    const TSkyglowResult full = Writer(settings).Write(ReadAt(2026, 12, 9, 22, 1, 0));
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(full.Stored);
    EXPECT_NE(full.Notice.Text.find(first.FileName), std::string::npos) << full.Notice.Text;
    EXPECT_EQ(ReadBytes(first.FileName), before);
}

TEST(SkyglowFormat, FileNamesFollowTheEveningsDate) {
    struct TCase {
        TDateTime Local;
        std::string Site;
        std::string Expected;
    };
    const TCase cases[] = {
        {EncodeDateTime(2026, 12, 10, 11, 59, 59, 999), "Dark Site",
         "20261209_120000_SQM-LE-Dark_Site.dat"},
        {EncodeDateTime(2026, 12, 10, 12, 0, 0, 0), "Dark Site",
         "20261210_120000_SQM-LE-Dark_Site.dat"},
        {EncodeDateTime(2027, 1, 1, 2, 0, 0, 0), "Cill/Ch\xC3\xA1irne", // across a new year
         "20261231_120000_SQM-LE-Cill_Ch__irne.dat"},
        {EncodeDateTime(2028, 3, 1, 6, 0, 0, 0), "", "20280229_120000_SQM-LE.dat"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(SkyglowFileName(c.Local, "SQM-LE", c.Site), c.Expected);
}

TEST(SkyglowFormat, RecordsKeepTheirDecimalsAndTakeThePeriodWhenDark) {
    TDmSQMLE link;
    link.UnitInfoReply = "i,00000004,00000006,00000080,00000042";
    link.ReadingTime = EncodeDateTime(2026, 12, 9, 22, 0, 9, 250);
    struct TCase {
        std::string Reply;
        std::string Expected;
    };
    const TCase cases[] = {
        {"r, 21.80m,0000000000Hz,0000609720c,0000001.323s,-012.5C",
         "-12.50;609720.000;0.756;21.80"},
        {"r, 08.12m,0000021402Hz,0000000000c,0000000.000s, 021.0C", "21.00;0.000;21402.000;8.12"},
        {"r, 19.53m,0000000012Hz,0000038400c,0000000.083s, 005.3C", "5.30;38400.000;12.048;19.53"},
    };
    for (const TCase& c : cases) {
        link.ReadingReply = c.Reply;
        const TSharedReading reading =
            ReadSharedReading(ReadingOf(link), EncodeDateTime(2026, 12, 9, 21, 0, 9, 250));
        EXPECT_EQ(SkyglowRecordLine(reading),
                  "2026-12-09T21:00:09.250;2026-12-09T22:00:09.250;" + c.Expected);
        EXPECT_EQ(reading.FirmwareVersion, "4-6-80");
        EXPECT_EQ(reading.SerialNumber, "42");
    }
    link.ReadingReply = "r, 19.53m,00000000x2Hz,0000038400c,0000000.083s, 005.3C";
    EXPECT_THROW(ReadSharedReading(ReadingOf(link), 0.0), EConvertError);
}

TEST(SkyglowFormat, LettersOutsideAsciiBecomeTheirNearestAscii) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"D\xC3\xBAn", "Dun"},  // precomposed
        {"Du\xCC\x81n", "Dun"}, // with a combining accent
        {"Stra\xC3\x9F"
         "e",
         "Strasse"}, // one letter, two in ASCII
        {"\xC5\x81\xC3\xB3"
         "d\xC5\xBA",
         "Lodz"}, // Latin Extended-A
        {"\xC3\x86r\xC3\xB8", "AEro"},
        {"\xE6\x9D\xB1\xE4\xBA\xAC", "??"}, // no nearest ASCII
        {"5\xE2\x82\xAC", "5?"},
        {"bad\xFF", "bad?"},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(AsciiText(text), expected) << text;
}

TEST(SkyglowFormat, HeaderTextIsPrintableAsciiAndLinesStayShort) {
    EXPECT_EQ(AsciiText("Caf\xC3\xA9\tdu\x01 ciel"), "Cafe du? ciel");
    TSkyglowHeaderInfo info;
    info.Settings.InstrumentId = std::string(300, 'x');
    info.Settings.Comments[0] = std::string(300, 'y');
    const std::vector<std::string> lines = SkyglowHeaderLines(info);
    ASSERT_EQ(lines.size(), 35u);
    EXPECT_EQ(lines[5].size(), 150u);
    EXPECT_EQ(lines[24].size(), 311u) << "comments may be longer";
}

TEST(SkyglowFormat, TheZoneNameComesFromTz) {
    struct TCase {
        const char* Tz;
        std::string Expected;
    };
    for (const TCase& c :
         {TCase{":Europe/Dublin", "Europe/Dublin"},
          TCase{"America/Argentina/Buenos_Aires", "America/Argentina/Buenos_Aires"},
          TCase{"/usr/share/zoneinfo/Asia/Tokyo", "Asia/Tokyo"}, TCase{"UTC", "UTC"},
          TCase{CentralEurope, ""}}) {
        TScopedEnv tz("TZ", c.Tz);
        EXPECT_EQ(LocalTimeZoneName(), c.Expected) << c.Tz;
    }
}

} // namespace
