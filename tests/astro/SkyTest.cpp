#include "astro/Sky.h"

#include "astro/Night.h"
#include "astro/SkyMath.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <string>

namespace {

using namespace astro;

constexpr double Degree = 1.0;
constexpr double ArcSec = 1.0 / 3600.0;

double Deg(double radians) {
    return radians / Radians;
}

double Hms(int h, int m, double s) {
    return 15.0 * (h + m / 60.0 + s / 3600.0);
}

double Dms(int d, int m, double s) {
    const double v = std::abs(d) + m / 60.0 + s / 3600.0;
    return d < 0 ? -v : v;
}

// Worked examples from Meeus, Astronomical Algorithms (2nd edition); dynamical time given.
TEST(SkyWorkedExamples, SunOf1992October13) { // examples 25.a and 25.b
    const TEarthState state = GetEarthState(2448908.5, 2448908.5);
    const TEquatorial sun = GetSunEquatorial(state);
    // Our nutation is the short series (0.5"), so allow a little more than the book's digits.
    EXPECT_NEAR(Deg(sun.RightAscension), Hms(13, 13, 30.749), 1.0 * ArcSec);
    EXPECT_NEAR(Deg(sun.Declination), Dms(-7, 47, 1.74), 1.0 * ArcSec);
    EXPECT_NEAR(sun.Distance / AstronomicalUnit, 0.9976085, 5e-7); // the full VSOP87D series
}

TEST(SkyWorkedExamples, MoonOf1992April12) { // examples 47.a and 48.a
    const TLunarEcliptic moon = GetMoonEcliptic(2448724.5);
    EXPECT_NEAR(Deg(moon.Longitude), 133.162655, 1e-6);
    EXPECT_NEAR(Deg(moon.Latitude), -3.229126, 1e-6);
    EXPECT_NEAR(moon.Distance, 368409.7, 0.1);

    const TEarthState state = GetEarthState(2448724.5, 2448724.5);
    const TEquatorial equatorial = GetMoonEquatorial(state);
    EXPECT_NEAR(Deg(equatorial.RightAscension), 134.688470, 1.0 * ArcSec);
    EXPECT_NEAR(Deg(equatorial.Declination), 13.768368, 1.0 * ArcSec);
    EXPECT_NEAR(IlluminatedFraction(GetSunEquatorial(state), equatorial), 0.6786, 0.0005);
}

TEST(SkyWorkedExamples, SiderealTimeOf1987April10) { // examples 12.a and 12.b
    const double midnight = 2446895.5;
    EXPECT_NEAR(Deg(GetEarthState(midnight).SiderealTime), Hms(13, 10, 46.1351), 0.5 * ArcSec);
    const double evening = midnight + (19 + 21 / 60.0) / 24.0;
    const TEarthState state = GetEarthState(evening);
    const double equinoxes = Deg(state.NutationLongitude * std::cos(state.TrueObliquity));
    EXPECT_NEAR(Deg(state.SiderealTime) - equinoxes, Hms(8, 34, 57.0896), 0.01 * ArcSec);
}

TEST(SkyHorizon, ZenithAndPoleStandInTheirPlaces) {
    // A body straight above a site on the equator at longitude 0: hour angle and declination 0.
    const TEarthState state = GetEarthState(2451545.0);
    const TPosition site{0.0, 0.0, 0.0};
    const TEquatorial overhead{state.SiderealTime, 0.0, 1e12};
    EXPECT_NEAR(ToTopocentric(overhead, state, site).Horizontal.Altitude, 90.0, 1e-9);
    // The celestial pole stands at the site's latitude, due north.
    const TEquatorial pole{1.0, Pi / 2, 1e12};
    const THorizontal north = ToTopocentric(pole, state, TPosition{52.0, 13.0, 0.0}).Horizontal;
    EXPECT_NEAR(north.Altitude, 52.0, 1e-6);
    EXPECT_NEAR(std::fmod(north.Azimuth + 180.0, 360.0), 180.0, 1e-6);
    // The Moon's parallax lowers it by up to about a degree at the horizon.
    const TEquatorial nearby{state.SiderealTime + Pi / 2, 0.0, 384400.0};
    EXPECT_NEAR(ToTopocentric(nearby, state, site).Horizontal.Altitude, -0.95, 0.01);
}

TEST(SkySite, ImpossibleSitesAreRefusedByName) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        TPosition Site;
        const char* Message;
    } cases[] = {
        {{90.5, 0, 0}, "The latitude 90.5 is outside -90 to 90 degrees"},
        {{nan, 0, 0}, "The latitude nan is outside -90 to 90 degrees"},
        {{0, -180.01, 0}, "The longitude -180.01 is outside -180 to 180 degrees"},
        {{0, 0, 10001}, "The elevation 10001 is outside -500 to 10000 metres"},
        {{0, 0, -nan}, "The elevation -nan is outside -500 to 10000 metres"},
    };
    for (const auto& c : cases) {
        try {
            GetSunHorizontal(TJde(2451545.0), c.Site);
            ADD_FAILURE() << c.Message;
        } catch (const ESiteError& e) {
            EXPECT_EQ(e.Message(), c.Message);
        }
    }
    for (const TPosition site : {TPosition{90, 180, 10000}, TPosition{-90, -180, -500}})
        EXPECT_NO_THROW(GetMoonHorizontal(TJde(2451545.0), site));
}

TEST(SkyNight, BadSpansAndStepsAreRefused) {
    const TPosition site{51.5, 0.0, 0.0};
    const TJde start(2460000.0);
    EXPECT_THROW(GetNight(site, start, start, start), Exception);
    EXPECT_THROW(GetNight(site, start, start + 1.5, start + 3.0), Exception);
    EXPECT_THROW(GetNight(TPosition{0, 200, 0}, start, start + 0.5, start + 1.0), ESiteError);
    for (const double step : {0.0, -5.0, std::numeric_limits<double>::quiet_NaN()})
        EXPECT_THROW(SampleAltitudes(site, start, start + 1.0, step), Exception) << step;
    EXPECT_THROW(SampleAltitudes(site, start, start + 1.0, 0.001), Exception);
    EXPECT_THROW(SampleAltitudes(site, start + 1.0, start, 10.0), Exception);
}

TEST(SkyNight, SamplesRunFromStartToEndAndFollowThePositions) {
    const TPosition site{-33.87, 151.21, 58.0};
    const TJde start(2460310.25);
    const auto samples = SampleAltitudes(site, start, start + 1.0, 25.0);
    ASSERT_EQ(samples.size(), 59u); // 57 whole steps and a short last one
    EXPECT_EQ(samples.front().Time.FJd, start.FJd);
    EXPECT_EQ(samples.back().Time.FJd, start.FJd + 1.0);
    EXPECT_NEAR(samples[1].Time.FJd - start.FJd, 25.0 / 1440.0, 1e-9);
    for (const TAltitudeSample& s : {samples[3], samples.back()}) {
        EXPECT_DOUBLE_EQ(s.Sun, GetSunHorizontal(s.Time, site).Altitude);
        EXPECT_DOUBLE_EQ(s.Moon, GetMoonHorizontal(s.Time, site).Altitude);
    }
    EXPECT_EQ(SampleAltitudes(site, start, start, 10.0).size(), 1u);
}

} // namespace
