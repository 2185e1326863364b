// The Sun and the Moon of every reading, dark and clear readings, and the statistics per night.
#include "history/ClearSky.h"
#include "history/SkyTrack.h"
#include "history/StationHistory.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempFolder.h"

#include <cmath>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <sstream>

namespace {

using namespace std::chrono;

std::string IsoOfMs(std::int64_t ms) {
    const sys_days day = floor<days>(sys_time<milliseconds>(milliseconds(ms)));
    const year_month_day date{day};
    const hh_mm_ss clock{milliseconds(ms) - day.time_since_epoch()};
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03d", int(date.year()),
                  unsigned(date.month()), unsigned(date.day()), int(clock.hours().count()),
                  int(clock.minutes().count()), int(clock.seconds().count()),
                  int(clock.subseconds().count()));
    return text;
}

// A skyglow file with local time = UTC and these readings.
std::string Skyglow(const std::vector<std::pair<std::int64_t, double>>& readings,
                    const TPosition& site) {
    std::ostringstream text;
    text << "# Definition of the community standard for skyglow observations 1.0\r\n"
         << "# Number of header lines: 6\r\n"
         << "# Position (lat, lon, elev(m)): " << site.Latitude << ", " << site.Longitude << ", "
         << site.Elevation.value_or(0.0) << "\r\n"
         << "# UTC Date & Time, Local Date & Time, Temperature, Counts, Frequency, MSAS\r\n"
         << "# YYYY-MM-DDTHH:mm:ss.fff;YYYY-MM-DDTHH:mm:ss.fff;Celsius;number;Hz;mag/arcsec^2\r\n"
         << "# END OF HEADER\r\n";
    for (const auto& [ms, mpsas] : readings) {
        char value[16];
        std::snprintf(value, sizeof value, "%.2f", mpsas);
        text << IsoOfMs(ms) << ';' << IsoOfMs(ms) << ";5.00;1.000;1.000;" << value << "\r\n";
    }
    return text.str();
}

struct TReferenceRow {
    TPosition Site;
    std::int64_t Seconds;
    double Sun, Moon, Fraction;
};

std::map<std::string, std::vector<TReferenceRow>> Reference() {
    std::ifstream in(NIGHTLUX_HISTORY_REFERENCE);
    std::map<std::string, std::vector<TReferenceRow>> rows;
    std::string kind, name;
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        TReferenceRow row{};
        double elevation = 0.0;
        if (fields >> kind && kind == "R" &&
            fields >> name >> row.Site.Latitude >> row.Site.Longitude >> elevation >> row.Seconds >>
                row.Sun >> row.Moon >> row.Fraction) {
            row.Site.Elevation = elevation;
            rows[name].push_back(row);
        }
    }
    return rows;
}

TEST(StationSkyTest, DarkReadingsAgreeWithAnIndependentEphemeris) {
    const auto reference = Reference();
    ASSERT_EQ(reference.size(), 3u);
    std::size_t dark = 0, light = 0;
    for (const auto& [name, rows] : reference) {
        SCOPED_TRACE(name);
        TTempFolder folder;
        std::vector<std::pair<std::int64_t, double>> readings;
        for (const TReferenceRow& row : rows)
            readings.emplace_back(row.Seconds * 1000, 21.0);
        std::ofstream(folder.File("r.dat"), std::ios::binary) << Skyglow(readings, rows[0].Site);
        THistoryOptions options;
        options.Paths = {folder.File("r.dat")};
        const TStationHistory h = LoadStationHistory(options);
        ASSERT_EQ(h.Readings.size(), rows.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const TReferenceRow& row = rows[i];
            const THistoryReading& r = h.Readings[i];
            ASSERT_EQ(r.UtcMs, row.Seconds * 1000);
            // PyEphem's Moon is good to a few arc minutes; the Sun's to arc seconds.
            EXPECT_NEAR(r.SunAltitude, row.Sun, 0.015) << row.Seconds;
            EXPECT_NEAR(r.MoonAltitude, row.Moon, 0.3) << row.Seconds;
            EXPECT_NEAR(r.MoonFraction, row.Fraction, 0.005) << row.Seconds;
            // Too close to a limit to call with the reference's own error.
            if (std::fabs(row.Sun + 18) < 0.02 || std::fabs(row.Moon) < 0.3)
                continue;
            EXPECT_EQ(r.Dark, row.Sun < -18 && row.Moon < 0) << row.Seconds;
            ++(r.Dark ? dark : light);
        }
    }
    EXPECT_GT(dark, 150u);
    EXPECT_GT(light, 500u);
}

TEST(StationSkyTest, TheGridIsWithinAHundredthOfADegreeOfTheDirectComputation) {
    const TPosition sites[] = {
        {51.48, 0, 46}, {-33.87, 151.21, 58}, {78.22, 15.63, 0}, {19.82, -155.47, 4205}};
    std::mt19937_64 random(20261210);
    std::uniform_int_distribution<std::int64_t> instant(1735689600000LL, 1830297600000LL);
    for (const TPosition& site : sites) {
        std::vector<std::int64_t> instants(3000);
        for (std::int64_t& t : instants)
            t = instant(random);
        std::sort(instants.begin(), instants.end());
        TSkyTrack track(site);
        double sun = 0, moon = 0, fraction = 0;
        for (const std::int64_t t : instants) {
            const TSkyTrack::TSky a = track.At(t), b = TSkyTrack::Direct(site, t);
            sun = std::max(sun, std::fabs(a.SunAltitude - b.SunAltitude));
            moon = std::max(moon, std::fabs(a.MoonAltitude - b.MoonAltitude));
            fraction = std::max(fraction, std::fabs(a.MoonFraction - b.MoonFraction));
        }
        EXPECT_LE(sun, 0.01) << site.Latitude;
        EXPECT_LE(moon, 0.05) << site.Latitude;
        EXPECT_LE(fraction, 0.001) << site.Latitude;
    }
}

THistoryReading DarkAt(std::int64_t minute, double mpsas) {
    THistoryReading r;
    r.UtcMs = minute * 60000;
    r.Mpsas = float(mpsas);
    r.Dark = true;
    return r;
}

TEST(StationSkyTest, ClearReadingsAreTheSmoothStretches) {
    std::vector<THistoryReading> readings;
    // Minutes 0-59 smooth (a slow rise with noise of 0.01), 60-119 broken cloud (0.3 jumps),
    // then a twilight reading, then four readings 20 minutes apart.
    for (int m = 0; m < 60; ++m)
        readings.push_back(DarkAt(m, 21.0 + 0.002 * m + (m % 2 ? 0.01 : 0)));
    for (int m = 60; m < 120; ++m)
        readings.push_back(DarkAt(m, 20.5 + (m % 2 ? 0.3 : 0)));
    readings.push_back(DarkAt(121, 15.0));
    readings.back().Dark = false;
    readings.back().Clear = true;
    for (int m = 0; m < 4; ++m)
        readings.push_back(DarkAt(200 + 20 * m, 21.0));
    ClassifyClear(readings);
    for (int m = 0; m < 30; ++m)
        EXPECT_TRUE(readings[std::size_t(m)].Clear) << m;
    for (int m = 90; m < 120; ++m)
        EXPECT_FALSE(readings[std::size_t(m)].Clear) << m;
    EXPECT_FALSE(readings[120].Clear) << "not dark";
    for (std::size_t i = 121; i < readings.size(); ++i)
        EXPECT_FALSE(readings[i].Clear) << "too far apart to be compared";
}

// Worked by hand: Greenwich-like site, 21 December 2026, local time UTC. The Sun is far below
// -18 degrees from 22:00 to 23:00 and high at 13:00 and 11:30; the Moon is left out (limit 90).
TEST(StationSkyTest, StatisticsOfASmallNightWorkedByHand) {
    TScopedEnv tz("TZ", "UTC");
    const TPosition site{51.48, 0, 46};
    const auto at = [](int d, int h, int m) {
        return duration_cast<milliseconds>(
                   (sys_days{year{2026} / 12 / d} + hours{h} + minutes{m}).time_since_epoch())
            .count();
    };
    const std::vector<std::pair<std::int64_t, double>> readings = {
        {at(21, 13, 0), 18.00},  {at(21, 22, 0), 21.10}, {at(21, 22, 20), 21.30},
        {at(21, 22, 40), 21.20}, {at(21, 23, 0), 20.90}, {at(22, 11, 30), 15.00},
        {at(22, 12, 30), 16.00},
    };
    TTempFolder folder;
    std::ofstream(folder.File("n.dat"), std::ios::binary) << Skyglow(readings, site);
    THistoryOptions options;
    options.Paths = {folder.File("n.dat")};
    options.MoonLimit = 90;
    const TStationHistory h = LoadStationHistory(options);
    ASSERT_EQ(h.Nights.size(), 2u);
    const TNightStats& n = h.Nights[0];
    EXPECT_EQ(n.Night, year{2026} / 12 / 21);
    EXPECT_EQ(n.Readings, 6u);
    EXPECT_EQ(n.DarkReadings, 4u);
    EXPECT_NEAR(*n.Darkest, 21.30, 1e-5);
    EXPECT_NEAR(*n.DarkMedian, 21.15, 1e-5); // (21.10 + 21.20) / 2
    EXPECT_EQ(n.ClearFraction, 0.0);         // 20 minutes apart: too few differences to judge
    // The Moon at local midnight of 21/22 December 2026, from the direct series.
    const double moon = TSkyTrack::Direct(site, at(22, 0, 0)).MoonFraction;
    char moonText[16];
    std::snprintf(moonText, sizeof moonText, "%.2f", moon);
    EXPECT_NEAR(n.MoonFraction, moon, 1e-9);

    std::ostringstream csv;
    WriteNightStatsCsv(csv, h.Nights);
    char expected[512];
    std::snprintf(expected, sizeof expected,
                  "night,readings,dark_readings,darkest,dark_median,clear_fraction,moon_fraction\n"
                  "2026-12-21,6,4,21.30,21.15,0.000,%s\n"
                  "2026-12-22,1,0,,,0.000,%.2f\n",
                  moonText, TSkyTrack::Direct(site, at(23, 0, 0)).MoonFraction);
    EXPECT_EQ(csv.str(), expected);

    // One night only; and the events of every night of the period.
    options.From = options.To = year{2026} / 12 / 22;
    const TStationHistory one = LoadStationHistory(options);
    ASSERT_EQ(one.Nights.size(), 1u);
    EXPECT_EQ(one.Readings.size(), 1u);
    ASSERT_EQ(one.Events.size(), 1u);
    const TNightEvents& e = one.Events[0];
    // Sunset near 15:55 and sunrise near 08:06 at Greenwich in late December.
    EXPECT_NEAR(e.Sunset, 3.9, 0.1);
    EXPECT_NEAR(e.Sunrise, 20.1, 0.1);
    EXPECT_NEAR(e.DuskAstronomical, 6.1, 0.15);
    EXPECT_NEAR(e.DawnAstronomical, 17.9, 0.15);
}

TEST(StationSkyTest, AProgressThatSaysStopCancels) {
    TTempFolder folder;
    std::ofstream(folder.File("n.dat"), std::ios::binary)
        << Skyglow({{1796000000000LL, 21.0}}, TPosition{51.48, 0, 46});
    THistoryOptions options;
    options.Paths = {folder.File("n.dat")};
    std::vector<double> seen;
    LoadStationHistory(options, [&](double f) {
        seen.push_back(f);
        return true;
    });
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen.front(), 0.0);
    EXPECT_EQ(seen.back(), 1.0);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_THROW(LoadStationHistory(options, [](double f) { return f < 0.5; }), EHistoryCancelled);
}

} // namespace
