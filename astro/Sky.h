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
#include "astro/Site.h"
#include "platform/Exception.h"

namespace astro {

struct THorizontal {
    double Altitude = 0.0; // degrees
    double Azimuth = 0.0;  // degrees from north through east
};

// Each raises ESiteError (astro/Site.h) for an impossible site.
THorizontal GetSunHorizontal(const TJde& ut, const TPosition& site);
THorizontal GetMoonHorizontal(const TJde& ut, const TPosition& site);
double GetMoonIlluminatedFraction(const TJde& ut);

} // namespace astro
