#include "astro/SkyMath.h"

#include <cmath>
#include <string>

namespace astro {

namespace {

constexpr double Flattening = 1.0 / 298.257;

double Normalized(double angle) {
    const double a = std::fmod(angle, 2.0 * Pi);
    return a < 0.0 ? a + 2.0 * Pi : a;
}

TEquatorial FromEcliptic(double longitude, double latitude, double distance, double obliquity) {
    const double ra = std::atan2(std::sin(longitude) * std::cos(obliquity) -
                                     std::tan(latitude) * std::sin(obliquity),
                                 std::cos(longitude));
    const double dec = std::asin(std::sin(latitude) * std::cos(obliquity) +
                                 std::cos(latitude) * std::sin(obliquity) * std::sin(longitude));
    return TEquatorial{Normalized(ra), dec, distance};
}

} // namespace

TEarthState GetEarthState(double jd) {
    return GetEarthState(jd, jd + TJde(jd).GetDeltaT() / 86400.0);
}

TEarthState GetEarthState(double jd, double jde) {
    TEarthState s{};
    s.Jd = jd;
    s.Jde = jde;
    const double t = (s.Jde - 2451545.0) / 36525.0;
    // Nutation to 0.5" in longitude and 0.1" in obliquity.
    const double node = (125.04452 - 1934.136261 * t) * Radians;
    const double sunMean = (280.4665 + 36000.7698 * t) * Radians;
    const double moonMean = (218.3165 + 481267.8813 * t) * Radians;
    s.NutationLongitude = (-17.20 * std::sin(node) - 1.32 * std::sin(2 * sunMean) -
                           0.23 * std::sin(2 * moonMean) + 0.21 * std::sin(2 * node)) *
                          ArcSecond;
    const double nutationObliquity = (9.20 * std::cos(node) + 0.57 * std::cos(2 * sunMean) +
                                      0.10 * std::cos(2 * moonMean) - 0.09 * std::cos(2 * node)) *
                                     ArcSecond;
    const double meanObliquity =
        23.0 * Radians + 26.0 * Radians / 60.0 +
        (21.448 + t * (-46.8150 + t * (-0.00059 + t * 0.001813))) * ArcSecond;
    s.TrueObliquity = meanObliquity + nutationObliquity;
    // Mean sidereal time at Greenwich from universal time, plus the equation of the equinoxes.
    const double tu = (jd - 2451545.0) / 36525.0;
    const double mean = 280.46061837 + 360.98564736629 * (jd - 2451545.0) +
                        tu * tu * (0.000387933 - tu / 38710000.0);
    s.SiderealTime = Normalized(mean * Radians + s.NutationLongitude * std::cos(s.TrueObliquity));
    return s;
}

TEquatorial GetSunEquatorial(const TEarthState& state) {
    const THeliocentric earth = GetEarthHeliocentric(state.Jde);
    const double t = (state.Jde - 2451545.0) / 36525.0;
    double longitude = earth.Longitude + Pi;
    double latitude = -earth.Latitude;
    // From the VSOP87 frame to FK5.
    const double shifted = longitude - (1.397 * t + 0.00031 * t * t) * Radians;
    longitude -= 0.09033 * ArcSecond;
    latitude += 0.03916 * ArcSecond * (std::cos(shifted) - std::sin(shifted));
    // Nutation and annual aberration.
    longitude += state.NutationLongitude - 20.4898 * ArcSecond / earth.Radius;
    return FromEcliptic(longitude, latitude, earth.Radius * AstronomicalUnit, state.TrueObliquity);
}

TEquatorial GetMoonEquatorial(const TEarthState& state) {
    const TLunarEcliptic moon = GetMoonEcliptic(state.Jde);
    return FromEcliptic(moon.Longitude + state.NutationLongitude, moon.Latitude, moon.Distance,
                        state.TrueObliquity);
}

TTopocentric ToTopocentric(const TEquatorial& body, const TEarthState& state,
                           const TPosition& site) {
    // The observer's geocentric place, in equatorial radii.
    const double phi = site.Latitude * Radians;
    const double u = std::atan((1.0 - Flattening) * std::tan(phi));
    const double h = site.Elevation.value_or(0.0) / (EarthRadius * 1000.0);
    const double rhoSin = (1.0 - Flattening) * std::sin(u) + h * std::sin(phi);
    const double rhoCos = std::cos(u) + h * std::cos(phi);
    const double local = state.SiderealTime + site.Longitude * Radians;

    const double r = body.Distance / EarthRadius;
    const double x =
        r * std::cos(body.Declination) * std::cos(body.RightAscension) - rhoCos * std::cos(local);
    const double y =
        r * std::cos(body.Declination) * std::sin(body.RightAscension) - rhoCos * std::sin(local);
    const double z = r * std::sin(body.Declination) - rhoSin;
    const double distance = std::sqrt(x * x + y * y + z * z);
    const double dec = std::asin(z / distance);
    const double hourAngle = local - std::atan2(y, x);

    const double altitude = std::asin(std::sin(phi) * std::sin(dec) +
                                      std::cos(phi) * std::cos(dec) * std::cos(hourAngle));
    const double azimuth = std::atan2(-std::cos(dec) * std::sin(hourAngle),
                                      std::sin(dec) * std::cos(phi) -
                                          std::cos(dec) * std::sin(phi) * std::cos(hourAngle));
    return TTopocentric{{altitude / Radians, Normalized(azimuth) / Radians},
                        distance * EarthRadius};
}

THorizontal GetSunHorizontal(const TJde& ut, const TPosition& site) {
    CheckPosition(site);
    const TEarthState state = GetEarthState(ut.FJd);
    return ToTopocentric(GetSunEquatorial(state), state, site).Horizontal;
}

THorizontal GetMoonHorizontal(const TJde& ut, const TPosition& site) {
    CheckPosition(site);
    const TEarthState state = GetEarthState(ut.FJd);
    return ToTopocentric(GetMoonEquatorial(state), state, site).Horizontal;
}

double GetMoonIlluminatedFraction(const TJde& ut) {
    const TEarthState state = GetEarthState(ut.FJd);
    return IlluminatedFraction(GetSunEquatorial(state), GetMoonEquatorial(state));
}

} // namespace astro
