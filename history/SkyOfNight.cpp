#include "history/SkyOfNight.h"

#include "astro/Night.h"
#include "astro/Site.h"
#include "history/Night.h"
#include "platform/IniFile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr double MoonStepMinutes = 10.0;

TLocalTime LocalTimeOfUt(const astro::TJde& ut) {
    const double days = astro::UtToLocal(ut).FJd - astro::UnixEpochJd;
    return TLocalTime(std::chrono::seconds(std::llround(days * 86400.0)));
}

// The stretch with the Sun below one level; the markers stand for the night's edges.
std::optional<TSunBelow> Below(const TNight& night, const astro::TJde& evening,
                               const astro::TJde& morning) {
    if (evening.IsNoDark() || morning.IsNoDark())
        return std::nullopt;
    return TSunBelow{evening.IsAllDark() ? night.GetStart() : LocalTimeOfUt(evening),
                     morning.IsAllDark() ? night.GetEnd() : LocalTimeOfUt(morning)};
}

std::string Degrees(double value, const char* positive, const char* negative) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4g\u00B0 %s", std::fabs(value),
                  value < 0 ? negative : positive);
    return text;
}

} // namespace

TNightSky GetNightSky(const TPosition& site, const TNight& night) {
    const std::chrono::year_month_day evening = night.GetEvening();
    const astro::TNightEvents sun = astro::GetLocalNight(
        site, int(evening.year()), int(unsigned(evening.month())), int(unsigned(evening.day())));
    TNightSky sky;
    sky.Twilight = TwilightBands(night, {Below(night, sun.Sunset, sun.Sunrise),
                                         Below(night, sun.CivilDusk, sun.CivilDawn),
                                         Below(night, sun.NauticalDusk, sun.NauticalDawn),
                                         Below(night, sun.AstronomicalDusk, sun.AstronomicalDawn)});
    std::sort(sky.Twilight.begin(), sky.Twilight.end(),
              [](const TTwilightBand& a, const TTwilightBand& b) { return a.Start < b.Start; });
    for (const astro::TAltitudeSample& sample :
         astro::SampleAltitudes(site, sun.Start, sun.End, MoonStepMinutes))
        sky.Moon.push_back({LocalTimeOfUt(sample.Time), sample.Moon});
    return sky;
}

TSkySite SkySiteOf(const TSite& site) {
    TSkySite sky;
    sky.Name = site.Name;
    if (!site.Position) {
        sky.Note = "No site is set, so twilight and the Moon are not shown: give the site's "
                   "latitude and longitude.";
        return sky;
    }
    const TPosition& p = *site.Position;
    sky.Site = p;
    sky.Note = "Twilight and Moon for " + (site.Name.empty() ? std::string() : site.Name + ", ") +
               Degrees(p.Latitude, "N", "S") + ", " + Degrees(p.Longitude, "E", "W") + ".";
    return sky;
}

TSkySite SavedSkySite(const std::string& settingsFileName) {
    try {
        return SkySiteOf(ReadSite(TIniFile(settingsFileName)));
    } catch (const ESiteError& e) {
        TSkySite sky;
        sky.Note = std::string(e.what()) + "; twilight and the Moon are not shown.";
        return sky;
    }
}
