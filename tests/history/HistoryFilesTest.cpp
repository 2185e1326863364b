// Files of other producers' layouts, written here, read by the station history.
#include "history/HistoryFile.h"
#include "history/LineFile.h"
#include "history/StationHistory.h"
#include "platform/Exception.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempFolder.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

using namespace std::chrono;

struct TLayout {
    const char* Name;
    int HeaderLines;  // 35 to 39
    bool FiveColumns; // a data logger's UTC, Local, Temperature, Voltage, MSAS
    bool RecordType;  // and a last Record type column
    bool CrLf;
    bool ShortPositionKey; // "Position:" instead of "Position (lat, lon, elev(m)):"
};

struct TRecord {
    const char* Utc;
    const char* Local;
    const char* Mpsas;
};

std::string SkyglowText(const TLayout& layout, const std::vector<TRecord>& records,
                        const std::string& position = "53.3500, -6.2600, 20",
                        const std::string& extraLine = "") {
    const std::string end = layout.CrLf ? "\r\n" : "\n";
    std::vector<std::string> lines = {
        "# Definition of the community standard for skyglow observations 1.0",
        "# URL: http://example.invalid/skyglow",
        "# Number of header lines: " + std::to_string(layout.HeaderLines),
        "# This data is released under the following license: ODbL 1.0",
        layout.FiveColumns ? "# Device type: SQM-LU-DL" : "# Device type: SQM-LE",
        "# Instrument ID: roof",
        "# Data supplier: a test",
        "# Location name: Test Hill",
        std::string(layout.ShortPositionKey ? "# Position: " : "# Position (lat, lon, elev(m)): ") +
            position,
        "# Local timezone: Europe/Dublin",
        "# Time Synchronization: NTP",
        "# Moving / Stationary position: STATIONARY",
        "# Moving / Fixed look direction: FIXED",
        "# Number of channels: 1",
        "# Filters per channel: HOYA CM-500",
        "# Measurement direction per channel: 0., 0.",
        "# Field of view (degrees): 20",
        std::string("# Number of fields per line: ") +
            (layout.FiveColumns ? (layout.RecordType ? "6" : "5") : "6"),
        "# SQM serial number: 1234",
        "# SQM firmware version: 4-3-76",
        "# SQM cover offset value: 0.00",
        "# SQM readout test ix: i,00000004,00000003,00000076,00001234",
        "# SQM readout test rx: r, 19.54m,0000075771Hz,0000000000c,0000000.000s, 005.3C",
        "# SQM readout test cx: c,00000019.84m,0000000.000s, 039.4C,00000008.71m, 029.4C",
        "# Comment: ",
        "# Comment: ",
        "# Comment: ",
        "# Comment: ",
        "# Comment: ",
        "# blank line 30",
        "# blank line 31",
        "# blank line 32",
    };
    for (int extra = 35; extra < layout.HeaderLines; ++extra)
        lines.push_back("# SQM hardware identity: line " + std::to_string(extra));
    if (layout.FiveColumns) {
        lines.push_back(std::string("# UTC Date & Time, Local Date & Time, Temperature, Voltage, "
                                    "MSAS") +
                        (layout.RecordType ? ", Record type" : ""));
        lines.push_back(std::string("# YYYY-MM-DDTHH:mm:ss.fff;YYYY-MM-DDTHH:mm:ss.fff;Celsius;"
                                    "Volts;mag/arcsec^2") +
                        (layout.RecordType ? ";0=Initial/1=Subsequent" : ""));
    } else {
        lines.push_back(
            "# UTC Date & Time, Local Date & Time, Temperature, Counts, Frequency, MSAS");
        lines.push_back(
            "# YYYY-MM-DDTHH:mm:ss.fff;YYYY-MM-DDTHH:mm:ss.fff;Celsius;number;Hz;mag/arcsec^2");
    }
    lines.push_back("# END OF HEADER");
    EXPECT_EQ(int(lines.size()), layout.HeaderLines);
    std::string text;
    for (const std::string& line : lines)
        text += line + end;
    if (!extraLine.empty())
        text += extraLine + end;
    for (const TRecord& r : records) {
        text += std::string(r.Utc) + ";" + r.Local + ";5.30;";
        text += layout.FiveColumns ? "4.91;" : "75771.000;6.098;";
        text += r.Mpsas;
        if (layout.FiveColumns && layout.RecordType)
            text += ";1";
        text += end;
    }
    return text;
}

void Write(const std::string& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
}

const std::vector<TRecord> ThreeReadings = {
    {"2026-12-09T21:00:09.000", "2026-12-09T21:00:09.000", "19.54"},
    {"2026-12-09T21:05:09.250", "2026-12-09T21:05:09.250", "19.60"},
    {"2026-12-10T03:00:00.000", "2026-12-10T03:00:00.000", "20.125"},
};

std::int64_t Ms(int y, unsigned mo, unsigned d, int h, int mi, int s, int ms = 0) {
    return (sys_days{year{y} / mo / d} + hours{h} + minutes{mi} + seconds{s})
                   .time_since_epoch()
                   .count() *
               1000 +
           ms;
}

TLocalTime Local(int y, unsigned mo, unsigned d, int h, int mi, int s) {
    return local_days{year{y} / mo / d} + hours{h} + minutes{mi} + seconds{s};
}

TEST(HistoryFilesTest, ReadsEverySkyglowLayout) {
    const TLayout layouts[] = {
        {"standard", 35, false, false, true, false},
        {"standard LF", 35, false, false, false, false},
        {"36 lines, short position key", 36, false, false, true, true},
        {"logger 37 lines", 37, true, false, true, false},
        {"logger with record type", 38, true, true, true, false},
        {"logger 39 lines LF", 39, true, true, false, true},
    };
    for (const TLayout& layout : layouts) {
        SCOPED_TRACE(layout.Name);
        TTempFolder folder;
        Write(folder.File("a.dat"), SkyglowText(layout, ThreeReadings));
        const THistoryFileContents c = ReadHistoryFile(folder.File("a.dat"));
        EXPECT_EQ(c.Kind, THistoryFileKind::Skyglow);
        EXPECT_EQ(c.DamagedCount, 0u);
        ASSERT_TRUE(c.Site);
        EXPECT_DOUBLE_EQ(c.Site->Latitude, 53.35);
        EXPECT_DOUBLE_EQ(c.Site->Longitude, -6.26);
        EXPECT_DOUBLE_EQ(c.Site->Elevation.value_or(0.0), 20);
        EXPECT_EQ(c.SiteName, "Test Hill");
        ASSERT_EQ(c.Readings.size(), 3u);
        EXPECT_EQ(c.Readings[0].UtcMs, Ms(2026, 12, 9, 21, 0, 9));
        EXPECT_EQ(c.Readings[1].UtcMs, Ms(2026, 12, 9, 21, 5, 9, 250));
        EXPECT_EQ(c.Readings[1].Local, Local(2026, 12, 9, 21, 5, 9));
        EXPECT_FLOAT_EQ(c.Readings[0].Mpsas, 19.54f);
        EXPECT_FLOAT_EQ(c.Readings[2].Mpsas, 20.125f);
    }
}

TEST(HistoryFilesTest, CountsAndNamesDamagedLinesAndReadsOn) {
    const TLayout layout{"standard", 35, false, false, true, false};
    TTempFolder folder;
    std::string text = SkyglowText(layout, ThreeReadings);
    // After the three records (lines 36 to 38): a torn record, one without MSAS, an
    // impossible date, binary junk and an overlong line, each followed by a good reading (the
    // same one, so two duplicates).
    const std::string good =
        "2026-12-10T04:00:00.000;2026-12-10T04:00:00.000;5.30;1.000;6.098;20.20\r\n";
    text += "2026-12-10T03:05:00.000;2026-12-10T03:0\r\n" + good +
            "2026-12-10T03:10:00.000;2026-12-10T03:10:00.000;5.30;1.000;6.098;\r\n" + good +
            "2026-02-30T03:15:00.000;2026-02-30T03:15:00.000;5.30;1.000;6.098;20.00\r\n" +
            std::string("\x01\xff\x7f;;;\r\n", 8) + std::string(10000, 'x') + "\r\n" + good;
    Write(folder.File("a.dat"), text);
    THistoryOptions options;
    options.Paths = {folder.File("a.dat")};
    const TStationHistory h = LoadStationHistory(options);
    EXPECT_EQ(h.Report.DamagedLines, 5u);
    const std::string f = folder.File("a.dat") + ":";
    EXPECT_EQ(h.Report.FirstDamaged,
              (std::vector<std::string>{f + "39", f + "41", f + "43", f + "44", f + "45"}))
        << "the line in the middle is the repeated good reading, a duplicate";
    EXPECT_EQ(h.Readings.size(), 4u);
    EXPECT_EQ(h.Report.Duplicates, 2u);
}

TEST(HistoryFilesTest, SkipsFilesThatAreNotReadingsAndNamesThem) {
    TTempFolder folder;
    Write(folder.File("a.dat"), SkyglowText({"", 35, false, false, true, false}, ThreeReadings));
    Write(folder.File("notes.txt"), "Shopping list\neggs\n");
    Write(folder.File("empty.dat"), "");
    std::filesystem::create_directory(folder.File("sub"));
    Write(folder.File("sub/picture.png"), std::string("\x89PNG\r\n\x1a\n", 8));
    THistoryOptions options;
    options.Paths = {folder.GetPath(), folder.File("missing.dat")};
    const TStationHistory h = LoadStationHistory(options);
    EXPECT_EQ(h.Report.Files, 1u);
    EXPECT_EQ(h.Readings.size(), 3u);
    EXPECT_EQ(h.SiteName, "Test Hill");
    const std::vector<std::string> skipped = {
        folder.File("empty.dat") + ": empty",
        folder.File("notes.txt") + ": neither a readings file nor a skyglow data file",
        folder.File("sub/picture.png") + ": neither a readings file nor a skyglow data file",
        folder.File("missing.dat") + ": No such file or directory",
    };
    EXPECT_EQ(h.Report.SkippedFiles, skipped);
}

TEST(HistoryFilesTest, OverlappingFilesCountEachReadingOnce) {
    TTempFolder folder;
    const TLayout layout{"", 35, false, false, true, false};
    Write(folder.File("a.dat"), SkyglowText(layout, {ThreeReadings[0], ThreeReadings[1]}));
    Write(folder.File("b.dat"), SkyglowText(layout, {ThreeReadings[1], ThreeReadings[2]}));
    // The program's own readings file holds the first reading too, to the second.
    Write(folder.File("c.csv"),
          "Produced by Nightlux 3.0.0.0\r\n"
          "Year/Month/Day,Hour/Minute/Second,MPSAS,NELM,SerialNo,Protocol,Model,Feature,"
          "Temp(C),,,,\r\n"
          "2026/12/09,21:00:09,19.54,5.2,00001234,00000004,00000003,00000076,05.3,,,,\r\n");
    TScopedEnv tz("TZ", "UTC");
    THistoryOptions options;
    options.Paths = {folder.File("a.dat"), folder.File("b.dat"), folder.File("c.csv")};
    const TStationHistory h = LoadStationHistory(options);
    EXPECT_EQ(h.Report.Files, 3u);
    EXPECT_EQ(h.Report.Duplicates, 2u);
    ASSERT_EQ(h.Readings.size(), 3u);
    EXPECT_EQ(h.Readings[0].UtcMs, Ms(2026, 12, 9, 21, 0, 9));
    EXPECT_EQ(h.Readings[2].UtcMs, Ms(2026, 12, 10, 3, 0, 0));
}

TEST(HistoryFilesTest, ANightAcrossTheClockChangeKeepsBothPassesOfTheRepeatedHour) {
    TScopedEnv tz("TZ", "Europe/Berlin");
    TTempFolder folder;
    // 2026-10-25: 03:00 summer time goes back to 02:00. A reading every 20 minutes, 01:00 to
    // 03:40 by the clock, in a readings file (local times only) and a skyglow file.
    std::string readings = "Produced by Nightlux 3.0.0.0\n";
    const TLayout layout{"", 35, false, false, false, false};
    std::vector<std::string> utc, local;
    for (int i = 0; i < 12; ++i) {
        const int minutes = 23 * 60 + i * 20; // UTC from 2026-10-24 23:00 (01:00 summer time)
        const int offset = minutes < 25 * 60 ? 2 : 1;
        const int lm = minutes + offset * 60;
        char u[32], l[32], r[128];
        std::snprintf(u, sizeof u, "2026-10-%02dT%02d:%02d:00.000", 24 + minutes / 1440,
                      minutes % 1440 / 60, minutes % 60);
        std::snprintf(l, sizeof l, "2026-10-%02dT%02d:%02d:00.000", 24 + lm / 1440, lm % 1440 / 60,
                      lm % 60);
        std::snprintf(r, sizeof r,
                      "2026/10/%02d,%02d:%02d:00,%.2f,5.2,00001234,00000004,00000003,00000076,"
                      "05.3,,,,\n",
                      24 + lm / 1440, lm % 1440 / 60, lm % 60, 20.0 + 0.01 * i);
        readings += r;
        utc.push_back(u);
        local.push_back(l);
    }
    std::vector<TRecord> records;
    std::vector<std::string> mpsas;
    for (int i = 0; i < 12; ++i)
        mpsas.push_back(std::to_string(20.0 + 0.01 * i).substr(0, 5));
    for (int i = 0; i < 12; ++i)
        records.push_back({utc[std::size_t(i)].c_str(), local[std::size_t(i)].c_str(),
                           mpsas[std::size_t(i)].c_str()});
    Write(folder.File("night.csv"), readings);
    Write(folder.File("night.dat"), SkyglowText(layout, records, "52.5, 13.4, 34"));
    for (const char* name : {"night.csv", "night.dat"}) {
        SCOPED_TRACE(name);
        THistoryOptions options;
        options.Paths = {folder.File(name)};
        options.Site = TPosition{52.5, 13.4, 34};
        const TStationHistory h = LoadStationHistory(options);
        ASSERT_EQ(h.Readings.size(), 12u);
        for (std::size_t i = 0; i < 12; ++i)
            EXPECT_EQ(h.Readings[i].UtcMs, Ms(2026, 10, 24, 23, 0, 0) + std::int64_t(i) * 1200000)
                << i;
        ASSERT_EQ(h.Nights.size(), 1u);
        EXPECT_EQ(h.Nights[0].Night, year{2026} / 10 / 24);
        EXPECT_EQ(h.Nights[0].Readings, 12u);
    }
}

TEST(HistoryFilesTest, RefusesWhatIsNotARegularFileWithTheCause) {
    TTempFolder folder;
    ASSERT_EQ(::mkfifo(folder.File("fifo").c_str(), 0600), 0);
    const struct {
        std::string File, Message;
    } cases[] = {
        {"/dev/zero", "Could not read /dev/zero: it is a device, not a regular file"},
        {"/dev/urandom", "Could not read /dev/urandom: it is a device, not a regular file"},
        {folder.File("fifo"),
         "Could not read " + folder.File("fifo") + ": it is a pipe (FIFO), not a regular file"},
        {folder.GetPath(), "Could not read " + folder.GetPath() + ": it is a folder, not a file"},
        {folder.File("none"),
         "Could not read " + folder.File("none") + ": No such file or directory"},
    };
    for (const auto& c : cases) {
        try {
            ReadFileLines(c.File, [](std::string_view, std::size_t, bool) { return true; });
            ADD_FAILURE() << c.File << " was read";
        } catch (const Exception& e) {
            EXPECT_EQ(std::string(e.what()), c.Message);
        }
    }
    THistoryOptions options;
    options.Paths = {"/dev/zero", folder.File("fifo")};
    try {
        LoadStationHistory(options);
        ADD_FAILURE() << "nothing to read, yet no error";
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()), "No readings to show: no readings file or skyglow data "
                                         "file was read. /dev/zero: it is a device, not a regular "
                                         "file.");
    }
}

TEST(HistoryFilesTest, LinesAreHandedOverWhateverTheChunksAndLineEnds) {
    TTempFolder folder;
    std::string text;
    std::vector<std::string> expected;
    for (int i = 0; i < 50000; ++i) {
        std::string line = std::to_string(i) + std::string(std::size_t(i % 97), 'a');
        expected.push_back(line);
        text += line + (i % 3 ? "\r\n" : "\n");
    }
    text += "last line without an end";
    expected.push_back("last line without an end");
    Write(folder.File("lines"), text);
    std::vector<std::string> got;
    ReadFileLines(folder.File("lines"), [&](std::string_view line, std::size_t number, bool cut) {
        EXPECT_EQ(number, got.size() + 1);
        EXPECT_FALSE(cut);
        got.emplace_back(line);
        return true;
    });
    EXPECT_EQ(got, expected);
    Write(folder.File("long"), "short\n" + std::string(3 << 20, 'y') + "\nafter\n");
    std::vector<std::pair<std::size_t, bool>> seen;
    ReadFileLines(folder.File("long"), [&](std::string_view line, std::size_t, bool cut) {
        EXPECT_LE(line.size(), 4097u);
        seen.emplace_back(line.size(), cut);
        return true;
    });
    EXPECT_EQ(seen,
              (std::vector<std::pair<std::size_t, bool>>{{5, false}, {4097, true}, {5, false}}));
}

TEST(HistoryFilesTest, NeedsASiteFromAFileOrTheOptions) {
    TScopedEnv tz("TZ", "UTC");
    TTempFolder folder;
    Write(folder.File("c.csv"),
          "2026/12/09,21:00:09,19.54,5.2,00001234,00000004,00000003,00000076,05.3,,,,\n");
    THistoryOptions options;
    options.Paths = {folder.File("c.csv")};
    EXPECT_THROW(LoadStationHistory(options), Exception);
    options.Site = TPosition{53.35, -6.26, 0};
    options.SiteName = "Given";
    const TStationHistory h = LoadStationHistory(options);
    EXPECT_EQ(h.SiteName, "Given");
    EXPECT_EQ(h.Readings.size(), 1u);
    // A file's own position line wins over the options.
    Write(folder.File("a.dat"),
          SkyglowText({"", 35, false, false, true, false}, ThreeReadings, "-30.25, 70.74, 2200"));
    options.Paths = {folder.File("a.dat")};
    EXPECT_DOUBLE_EQ(LoadStationHistory(options).Site.Latitude, -30.25);
}

} // namespace

// Files in time order are taken as they come; files out of order are sorted: the same history
// either way, a reading found twice counted once.
TEST(HistoryFilesTest, FilesInAnyOrderGiveTheSameHistory) {
    TTempFolder folder;
    const TLayout layout{"", 35, false, false, true, false};
    Write(folder.File("early.dat"), SkyglowText(layout, {ThreeReadings[0], ThreeReadings[1]}));
    Write(folder.File("late.dat"), SkyglowText(layout, {ThreeReadings[1], ThreeReadings[2]}));
    const auto load = [&](std::vector<std::string> names) {
        THistoryOptions options;
        for (const std::string& name : names)
            options.Paths.push_back(folder.File(name));
        return LoadStationHistory(options);
    };
    const TStationHistory inOrder = load({"early.dat", "late.dat"});
    const TStationHistory reversed = load({"late.dat", "early.dat"});
    for (const TStationHistory* h : {&inOrder, &reversed}) {
        EXPECT_EQ(h->Report.Duplicates, 1u);
        ASSERT_EQ(h->Readings.size(), 3u);
        for (std::size_t i = 0; i < 3; ++i)
            EXPECT_EQ(h->Readings[i].UtcMs, inOrder.Readings[i].UtcMs);
        EXPECT_LT(h->Readings[0].UtcMs, h->Readings[1].UtcMs);
        EXPECT_LT(h->Readings[1].UtcMs, h->Readings[2].UtcMs);
        EXPECT_EQ(h->Nights.size(), inOrder.Nights.size());
    }
}
