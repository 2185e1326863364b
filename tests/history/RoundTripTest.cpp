// The reader against the program's own writer.
#include "core/Nelm.h"
#include "core/Reading.h"
#include "core/ReadingsFile.h"
#include "core/Versioninfo.h"
#include "history/Night.h"
#include "history/ReadingsFileReader.h"
#include "meter/Dm_SQMLE.h"
#include "tests/support/StoredLink.h"
#include "tests/support/TempFolder.h"
#include "tools/sim/MeterReplies.h"
#include "tools/sim/TcpMeterServer.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

TEST(RoundTripTest, WhatTheProgramWritesReadsBackReadingForReading) {
    TTempFolder folder;
    const std::string name = folder.File("readings.csv");
    TMeterOptions options;
    options.SerialNumber = 1234;
    const TMeterReplies replies(options);
    TStoredLink link;
    link.UnitInfoReply = replies.UnitInfoLine();
    struct TRow {
        double Magnitude, Temperature;
        int Hour, Minute, Second;
    };
    const TRow rows[] = {{18.9, 25.0, 19, 0, 0}, {21.37, -2.5, 23, 59, 59}, {-0.5, 0.0, 4, 5, 6}};
    std::vector<TLocalTime> times;
    for (const TRow& row : rows) {
        link.ReadingReply = replies.ReadingLine(row.Magnitude, row.Temperature);
        link.ReadingTime =
            EncodeDateTime(2017, 3, row.Hour < 12 ? 22 : 21, row.Hour, row.Minute, row.Second, 250);
        times.push_back(LocalTimeOf(link.ReadingTime));
        ASSERT_TRUE(SaveReadingToFile(name, ReadingOf(link), TVersionInfo(std::string())));
    }
    const TReadingsFileContents c = ReadReadingsFile(name);
    EXPECT_TRUE(c.DamagedLines.empty());
    ASSERT_EQ(c.Readings.size(), std::size(rows));
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const TNightReading& r = c.Readings[i];
        EXPECT_DOUBLE_EQ(r.Magnitude, rows[i].Magnitude);
        EXPECT_DOUBLE_EQ(r.Temperature, rows[i].Temperature);
        EXPECT_NEAR(r.Nelm, ComputeNelm(rows[i].Magnitude), 0.05);
        EXPECT_EQ(r.Time, times[i]);
        EXPECT_EQ(r.SerialNumber, "00001234");
        EXPECT_EQ(TNight::Of(r.Time).AsText(), "2017-03-21");
    }
}

TEST(RoundTripTest, NelmScaleInvertsTheProgramsNelm) {
    for (const double magnitude : {16.0, 18.0, 20.0, 21.0, 22.0, 23.5})
        EXPECT_NEAR(*MagnitudeForNelm(ComputeNelm(magnitude)), magnitude, 1e-9) << magnitude;
}

// A night replayed by the simulated meter, read over TCP by the meter link and stored by the
// program's writer, every five minutes from 17:00 to 06:25; the reading times are those of
// the replayed night. With NIGHTLUX_NIGHT_FILE set the readings file is also copied there
// (scripts/take-chart-pictures draws it).
TEST(SimulatedNightTest, ReadsBackAsOneNightFromDuskToDawn) {
    TTempFolder folder;
    const std::string name = folder.File("readings.csv");
    TMeterOptions options;
    options.NightStep = std::chrono::minutes(5);
    options.NightStart = std::chrono::minutes(17 * 60);
    TTcpMeterServer meter(options);
    TDmSQMLE link;
    link.Host = "127.0.0.1";
    link.Port = meter.GetPort();
    link.Timeout = 10000;
    link.Connect();
    link.ReadUnitInfo();
    constexpr int Readings = 162;
    for (int k = 0; k < Readings; ++k) {
        link.ReadReading();
        const int minutes = 17 * 60 + 5 * k;
        link.ReadingTime = EncodeDateTime(2026, 3, minutes < 24 * 60 ? 20 : 21, minutes / 60 % 24,
                                          minutes % 60, 12, 0);
        ASSERT_TRUE(SaveReadingToFile(name, ReadingOf(link), TVersionInfo(std::string())));
    }
    link.Disconnect();
    if (const char* copy = std::getenv("NIGHTLUX_NIGHT_FILE"))
        std::filesystem::copy_file(name, copy, std::filesystem::copy_options::overwrite_existing);

    const TReadingsFileContents c = ReadReadingsFile(name);
    EXPECT_TRUE(c.DamagedLines.empty());
    ASSERT_EQ(c.Readings.size(), std::size_t(Readings));
    EXPECT_EQ(LatestNight(c.Readings)->AsText(), "2026-03-20");
    const std::optional<TNightSummary> s =
        SummarizeNight(SelectNight(c.Readings, TNight::Parse("2026-03-20")));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->Count, std::size_t(Readings));
    EXPECT_GT(s->Darkest.Magnitude, 21.0);
    EXPECT_LT(s->Brightest.Magnitude, 12.0);
    const std::string darkest = ClockText(s->Darkest.Time);
    EXPECT_TRUE(darkest >= "20:00" || darkest <= "01:30") << darkest;
}

} // namespace
