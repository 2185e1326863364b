// The reader against the program's own writer.
#if __has_include("core/ReadingsFile.h")
#include "core/Nelm.h"
#include "core/ReadingsFile.h"
#include "core/Versioninfo.h"
#else
#include "app/Nelm.h"
#include "app/ReadingsFile.h"
#include "app/Versioninfo.h"
#endif
#include "core/night/Night.h"
#include "core/night/ReadingsFileReader.h"
#include "tests/support/StoredLink.h"
#include "tests/support/TempFolder.h"
#include "tools/sim/MeterReplies.h"

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
        ASSERT_TRUE(SaveReadingToFile(name, link, TVersionInfo(std::string())));
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

} // namespace
