#pragma once

// The series behind Sky.h. Angles are in radians, distances in kilometres; jd is a Julian
// day in universal time, jde one in dynamical time.

#include "astro/Sky.h"

namespace astro {

constexpr double Pi = 3.14159265358979323846;
constexpr double Radians = Pi / 180.0;
constexpr double ArcSecond = Radians / 3600.0;
constexpr double AstronomicalUnit = 149597870.7; // km
constexpr double EarthRadius = 6378.14;          // km, equatorial

struct THeliocentric {
    double Longitude; // radians, ecliptic and equinox of date
    double Latitude;  // radians
    double Radius;    // AU
};

THeliocentric GetEarthHeliocentric(double jde);

struct TLunarEcliptic {
    double Longitude; // radians, mean equinox of date, without nutation
    double Latitude;  // radians
    double Distance;  // km, centre to centre
};

TLunarEcliptic GetMoonEcliptic(double jde);

struct TEquatorial {
    double RightAscension; // radians
    double Declination;    // radians
    double Distance;       // km
};

// The Earth's orientation at one instant: what the Sun, the Moon and the horizon share.
struct TEarthState {
    double Jd;
    double Jde;
    double NutationLongitude; // radians
    double TrueObliquity;     // radians
    double SiderealTime;      // apparent, at Greenwich, radians
};

// jde defaults to jd plus the library's delta T.
TEarthState GetEarthState(double jd);
TEarthState GetEarthState(double jd, double jde);
TEquatorial GetSunEquatorial(const TEarthState& state);
TEquatorial GetMoonEquatorial(const TEarthState& state);

// Topocentric position of a body for a site at the state's instant.
struct TTopocentric {
    THorizontal Horizontal;
    double Distance; // km, from the observer
};

TTopocentric ToTopocentric(const TEquatorial& body, const TEarthState& state,
                           const TPosition& site);

// Fraction of the Moon's disk lit, from geocentric positions.
double IlluminatedFraction(const TEquatorial& sun, const TEquatorial& moon);

} // namespace astro
