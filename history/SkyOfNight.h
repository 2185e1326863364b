#pragma once

#include "astro/Sky.h"
#include "history/NightSky.h"

#include <optional>
#include <string>

class TNight;

// The twilight bands of a night in time order and the Moon's altitude every 10 minutes across it,
// for a site, in local clock times by the platform's rules (TZ applies). Raises ESiteError
// for an impossible site.
TNightSky GetNightSky(const TPosition& site, const TNight& night);

// Where the chart's Sun and Moon are reckoned for, or why they cannot be.
struct TSkySite {
    std::optional<TPosition> Site;
    std::string Name; // empty when the site has none
    // A short line for beside the chart: the site in use, or why the Sun and the Moon are left
    // out.
    std::string Note;
};

TSkySite SkySiteOf(const TSite& site);
// The site saved in a settings file; a missing file, section or position gives no site.
TSkySite SavedSkySite(const std::string& settingsFileName);
