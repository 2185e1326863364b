#pragma once

// The Sun and the Moon as seen from a site on the Earth.
//
// Conventions
// - Instants are TJde values in universal time; dynamical time is derived with GetDeltaT.
// - Altitudes are topocentric and geometric (airless, no refraction), of the body's centre,
//   in degrees; azimuths in degrees from north through east, [0, 360).
// - Series: the Earth from VSOP87D, the Moon from the ELP-2000/82 based series of Meeus
//   (Astronomical Algorithms, chapter 47), nutation to 0.5", aberration, the FK5 frame
//   correction, apparent sidereal time; the Moon's parallax (and the Sun's) from the
//   observer's place on the reference ellipsoid, elevation included.
// - The Moon's illuminated fraction is geocentric, 0 (new) to 1 (full).

#include "astro/Jde.h"
#include "platform/Exception.h"

namespace astro {

// An observing site: geodetic latitude in degrees north (-90..90), longitude in degrees east
// (-180..180), elevation above sea level in metres (-500..10000).
struct TSite {
    double Latitude = 0.0;
    double Longitude = 0.0;
    double Elevation = 0.0;
};

// A site outside the ranges above, or with a value that is not a number.
class ESiteError : public Exception {
public:
    using Exception::Exception;
};

// Raises ESiteError naming the first value out of range.
void CheckSite(const TSite& site);

struct THorizontal {
    double Altitude = 0.0; // degrees
    double Azimuth = 0.0;  // degrees from north through east
};

// Each raises ESiteError for an impossible site.
THorizontal GetSunHorizontal(const TJde& ut, const TSite& site);
THorizontal GetMoonHorizontal(const TJde& ut, const TSite& site);
double GetMoonIlluminatedFraction(const TJde& ut);

} // namespace astro
