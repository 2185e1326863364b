#include "tools/year/SimulatedYear.h"

#include "history/StationHistory.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempFolder.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

TEST(SimulatedYearTest, IsTheSameEveryTimeAndReadsBackWithClearAndCloudyNights) {
    TScopedEnv tz("TZ", "UTC");
    TTempFolder a, b;
    TSimulatedYearOptions options;
    options.Days = 30;
    options.Folder = a.GetPath();
    EXPECT_EQ(WriteSimulatedYear(options), 30u * 1440);
    options.Folder = b.GetPath();
    WriteSimulatedYear(options);
    for (const auto& entry : std::filesystem::directory_iterator(a.GetPath()))
        EXPECT_EQ(ReadBytes(entry.path().string()),
                  ReadBytes(b.File(entry.path().filename().string())))
            << entry.path();

    THistoryOptions load;
    load.Paths = {a.GetPath()};
    const TStationHistory h = LoadStationHistory(load);
    EXPECT_EQ(h.Report.Files, 30u);
    EXPECT_EQ(h.Report.DamagedLines, 0u);
    EXPECT_EQ(h.Readings.size(), 30u * 1440);
    EXPECT_EQ(h.SiteName, "Simulated Meadow");
    std::size_t clear = 0, cloudy = 0;
    for (const TNightStats& night : h.Nights)
        if (night.DarkReadings > 60) {
            clear += night.ClearFraction > 0.9;
            cloudy += night.ClearFraction < 0.5;
        }
    EXPECT_GT(clear, 3u);
    EXPECT_GT(cloudy, 1u);
}

} // namespace
