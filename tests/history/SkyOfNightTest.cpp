#include "history/SkyOfNight.h"

#include "astro/Site.h"
#include "history/Night.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempFolder.h"

#include <chrono>
#include <fstream>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono;

const TPosition Leiden{52.16, 4.49, 0.0};
const TPosition Svalbard{78.22, 15.65, 0.0};
const TPosition FarNorth{80.5, 15.0, 0.0};
const TNight Equinox = TNight::Parse("2017-03-21");

std::vector<TTwilightKind> Kinds(const TNightSky& sky) {
    std::vector<TTwilightKind> kinds;
    for (const TTwilightBand& band : sky.Twilight)
        kinds.push_back(band.Kind);
    return kinds;
}

// The bands run from noon to noon, one after another; only full darkness, between the two
// astronomical bands, has none.
void ExpectNightFilled(const TNightSky& sky, const TNight& night) {
    ASSERT_FALSE(sky.Twilight.empty());
    EXPECT_EQ(sky.Twilight.front().Start, night.GetStart());
    EXPECT_EQ(sky.Twilight.back().End, night.GetEnd());
    for (std::size_t i = 1; i < sky.Twilight.size(); ++i) {
        const TTwilightBand& before = sky.Twilight[i - 1];
        if (before.Kind == TTwilightKind::Astronomical && sky.Twilight[i].Kind == before.Kind)
            EXPECT_LT(before.End, sky.Twilight[i].Start) << i;
        else
            EXPECT_EQ(before.End, sky.Twilight[i].Start) << i;
    }
}

TEST(SkyOfNightTest, AMidLatitudeNightHasEveryBandTwice) {
    TScopedEnv tz("TZ", "UTC0");
    const TNightSky sky = GetNightSky(Leiden, Equinox);
    using K = TTwilightKind;
    EXPECT_EQ(Kinds(sky), (std::vector<K>{K::Day, K::Civil, K::Nautical, K::Astronomical,
                                          K::Astronomical, K::Nautical, K::Civil, K::Day}));
    ExpectNightFilled(sky, Equinox);
    // Sunset near 17:55 UTC at the equinox, sunrise near 05:40.
    const auto sunset = sky.Twilight[0].End - Equinox.GetStart();
    EXPECT_NEAR(duration_cast<minutes>(sunset).count(), 5 * 60 + 55, 15);
    const auto sunrise = sky.Twilight[7].Start - Equinox.GetStart();
    EXPECT_NEAR(duration_cast<minutes>(sunrise).count(), 17 * 60 + 40, 15);
}

TEST(SkyOfNightTest, TimesAreLocalClockTimes) {
    const auto sunsetIn = [](const char* zone) {
        TScopedEnv tz("TZ", zone);
        return GetNightSky(Leiden, Equinox).Twilight[0].End;
    };
    const TLocalTime utc = sunsetIn("UTC0");
    const TLocalTime east = sunsetIn("XYZ-1");
    EXPECT_NEAR(duration_cast<seconds>(east - utc).count(), 3600, 5);
}

TEST(SkyOfNightTest, PolarDayAndPolarNight) {
    TScopedEnv tz("TZ", "UTC0");
    using K = TTwilightKind;
    const TNight midsummer = TNight::Parse("2017-06-21");
    const TNightSky day = GetNightSky(Svalbard, midsummer);
    EXPECT_EQ(Kinds(day), std::vector<K>{K::Day});
    ExpectNightFilled(day, midsummer);

    // At noon the Sun is some 13 degrees below the horizon: astronomical twilight at the
    // night's edges and darkness between.
    const TNight midwinter = TNight::Parse("2017-12-21");
    const TNightSky dark = GetNightSky(FarNorth, midwinter);
    EXPECT_EQ(Kinds(dark), (std::vector<K>{K::Astronomical, K::Astronomical}));
    ExpectNightFilled(dark, midwinter);
}

TEST(SkyOfNightTest, TheMoonIsSampledAcrossTheNight) {
    TScopedEnv tz("TZ", "UTC0");
    const TNightSky sky = GetNightSky(Leiden, Equinox);
    ASSERT_EQ(sky.Moon.size(), 24u * 6u + 1u);
    EXPECT_EQ(sky.Moon.front().Time, Equinox.GetStart());
    EXPECT_EQ(sky.Moon.back().Time, Equinox.GetEnd());
    EXPECT_EQ(sky.Moon[1].Time - sky.Moon[0].Time, minutes(10));
    double lowest = 90.0, highest = -90.0;
    for (const TMoonAltitude& sample : sky.Moon) {
        lowest = std::min(lowest, sample.Altitude);
        highest = std::max(highest, sample.Altitude);
    }
    // A Moon just past last quarter: down in the evening, up in the morning.
    EXPECT_LT(lowest, -10.0);
    EXPECT_GT(highest, 5.0);
    EXPECT_LE(highest, 90.0 - 52.16 + 29.0);
}

TEST(SkyOfNightTest, ImpossibleSiteIsRefused) {
    EXPECT_THROW(GetNightSky(TPosition{91.0, 0.0, 0.0}, Equinox), ESiteError);
}

TEST(SkyOfNightTest, TheSiteComesFromTheSettingsOrANoteSaysWhyNot) {
    TTempFolder folder;
    const std::string file = folder.File("nightlux.ini");
    struct TCase {
        const char* Content;
        bool HasSite;
        std::string NoteStart;
    };
    const TCase cases[] = {
        {"", false, "No site is set"},
        {"[SQM]\nStore=1\n", false, "No site is set"},
        {"[Site]\nName=Leiden\nLatitude=52.16\nLongitude=-4.49\n", true,
         "Twilight and Moon for Leiden, 52.16\u00B0 N, 4.49\u00B0 W."},
        {"[Site]\nLatitude=-33.9\nLongitude=18.4\nElevation=40\n", true,
         "Twilight and Moon for 33.9\u00B0 S, 18.4\u00B0 E."},
        {"[Site]\nLatitude=95\nLongitude=4\n", false, "In the settings file " + file},
        {"[Site]\nLatitude=52\n", false, "In the settings file " + file},
    };
    for (const TCase& c : cases) {
        std::ofstream(file) << c.Content;
        const TSkySite sky = SavedSkySite(file);
        EXPECT_EQ(sky.Site.has_value(), c.HasSite) << c.Content;
        EXPECT_EQ(sky.Note.substr(0, c.NoteStart.size()), c.NoteStart) << c.Content;
    }
    const TSkySite missing = SavedSkySite(folder.File("none.ini"));
    EXPECT_FALSE(missing.Site);
    EXPECT_EQ(missing.Note.substr(0, 14), "No site is set");

    std::ofstream(file) << "[Site]\nLatitude=-33.9\nLongitude=18.4\nElevation=40\n";
    const TSkySite cape = SavedSkySite(file);
    ASSERT_TRUE(cape.Site);
    EXPECT_DOUBLE_EQ(cape.Site->Latitude, -33.9);
    EXPECT_DOUBLE_EQ(cape.Site->Longitude, 18.4);
    EXPECT_EQ(cape.Site->Elevation, 40.0);
}

} // namespace
