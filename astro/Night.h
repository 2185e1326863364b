#pragma once

// One night at a site: the Sun's evening and morning events, the Moon's rising and setting,
// and the altitudes of both across the night (conventions of Sky.h).
//
// Event altitudes, geometric, of the Sun's centre: sunset and sunrise -0.833 deg (0.567 deg of
// refraction at the horizon plus the Sun's semidiameter), civil twilight -6, nautical -12,
// astronomical -18. Moonrise and moonset: the upper limb 0.567 deg below the geometric
// horizon. No dip of the horizon for the site's elevation.
//
// An evening event is the start of the dark spell (the Sun below that altitude) that holds the
// Sun's lowest point of the night, the morning event its end. Where there is no such instant
// the event holds a marker: TJde::MinValue (IsNoDark) when the Sun stays above that altitude
// all night, TJde::MaxValue (IsAllDark) when the dark spell reaches that edge of the night
// (polar night, or no sunrise before the next noon).

#include "astro/Jde.h"
#include "astro/Sky.h"

#include <optional>
#include <vector>

namespace astro {

// The Julian date of the Unix epoch, 1970-01-01 00:00 UT.
inline constexpr double UnixEpochJd = 2440587.5;

// The Sun and Moon events of one night (history/Night.h's TNight is the span of local time a
// reading belongs to).
struct TNightEvents {
    // Universal time.
    TJde Start;
    TJde Midnight;
    TJde End;
    TJde Sunset;
    TJde CivilDusk;
    TJde NauticalDusk;
    TJde AstronomicalDusk;
    TJde AstronomicalDawn;
    TJde NauticalDawn;
    TJde CivilDawn;
    TJde Sunrise;
    std::optional<TJde> Moonrise; // the first within the night
    std::optional<TJde> Moonset;  // the first within the night
    double MoonFraction = 0.0;    // illuminated at Midnight
};

// The night from start to end (universal time, end after start, at most two days). Raises
// ESiteError for an impossible site and Exception for a bad span.
TNightEvents GetNight(const TPosition& site, const TJde& start, const TJde& midnight,
                      const TJde& end);

// The night that begins at local noon of a local calendar date and ends at the next local
// noon, with its local midnight; local time as the platform gives it (TZ applies). Raises
// EJdeError for an impossible date, ESiteError for an impossible site.
TNightEvents GetLocalNight(const TPosition& site, int year, int month, int day);

struct TAltitudeSample {
    TJde Time;         // universal time
    double Sun = 0.0;  // degrees
    double Moon = 0.0; // degrees
};

// Altitudes from start to end every stepMinutes, the last sample at end. Raises Exception for a
// step that is not positive or a span of more than 100000 samples.
std::vector<TAltitudeSample> SampleAltitudes(const TPosition& site, const TJde& start,
                                             const TJde& end, double stepMinutes);

// Local clock time of a universal instant and back, by the platform's local time rules.
// Markers stay as they are; an instant the platform cannot convert raises EConvertError.
TJde UtToLocal(const TJde& ut);
TJde LocalToUt(const TJde& local);

} // namespace astro
