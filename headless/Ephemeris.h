#pragma once

#include "astro/Night.h"

#include <chrono>
#include <string>

// The lines of --ephemeris for a night, one "name: value" line each: the Sun's evening
// events, its morning events, the Moon's rising and setting within the night and the Moon's
// illuminated fraction at local midnight. Times are local "HH:MM"; an event that does not
// happen in the night (polar day or night, a twilight that lasts all night, no moonrise) is
// said in words.
std::string EphemerisLines(const astro::TNightEvents& night);

// The night that begins at local noon of the date, at the site, as EphemerisLines prints it,
// after lines naming the night and the site. Raises ESiteError for an impossible site.
std::string EphemerisReport(const TPosition& site, const std::string& siteName,
                            std::chrono::year_month_day date);

// The local date of the evening of the night in progress: the date twelve hours ago, so that
// after midnight it is still the night that began the day before.
std::chrono::year_month_day CurrentNight();
