#include "headless/Ephemeris.h"

#include "astro/Site.h"

#include <cstdio>
#include <ctime>

namespace {

struct TEventLine {
    const char* Name;
    astro::TJde astro::TNightEvents::*Time;
    double Altitude; // degrees, the Sun's centre; 0 for sunset and sunrise
};

const TEventLine SunLines[] = {
    {"Sunset", &astro::TNightEvents::Sunset, 0},
    {"Civil dusk", &astro::TNightEvents::CivilDusk, -6},
    {"Nautical dusk", &astro::TNightEvents::NauticalDusk, -12},
    {"Astronomical dusk", &astro::TNightEvents::AstronomicalDusk, -18},
    {"Astronomical dawn", &astro::TNightEvents::AstronomicalDawn, -18},
    {"Nautical dawn", &astro::TNightEvents::NauticalDawn, -12},
    {"Civil dawn", &astro::TNightEvents::CivilDawn, -6},
    {"Sunrise", &astro::TNightEvents::Sunrise, 0},
};

std::string LocalHourMinute(const astro::TJde& ut) {
    int hour = 0;
    int minute = 0;
    astro::UtToLocal(ut).GetHM(hour, minute, 0, nullptr);
    char text[8];
    std::snprintf(text, sizeof text, "%02d:%02d", hour % 24, minute % 60);
    return text;
}

// The words for a Sun event that does not happen in the night.
std::string SunMarkerText(const astro::TJde& time, double altitude) {
    if (altitude == 0)
        return time.IsNoDark() ? "none (polar day: the Sun stays up all night)"
                               : "none (polar night: the Sun stays down from noon to noon)";
    const std::string degrees = std::to_string(static_cast<int>(-altitude));
    return time.IsNoDark()
               ? "none (the Sun stays less than " + degrees + " degrees below the horizon)"
               : "none (the Sun stays more than " + degrees +
                     " degrees below the horizon from noon to noon)";
}

std::string MoonText(const std::optional<astro::TJde>& time) {
    return time ? LocalHourMinute(*time) : "none this night";
}

std::string DateText(std::chrono::year_month_day date) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
    return text;
}

} // namespace

std::string EphemerisLines(const astro::TNightEvents& night) {
    std::string lines;
    for (const TEventLine& line : SunLines) {
        const astro::TJde& time = night.*line.Time;
        lines += std::string(line.Name) + ": " +
                 (time.IsValid() ? LocalHourMinute(time) : SunMarkerText(time, line.Altitude)) +
                 "\n";
    }
    lines += "Moonrise: " + MoonText(night.Moonrise) + "\n";
    lines += "Moonset: " + MoonText(night.Moonset) + "\n";
    char fraction[32];
    std::snprintf(fraction, sizeof fraction, "%.2f", night.MoonFraction);
    lines += "Moon illuminated at midnight: " + std::string(fraction) + "\n";
    return lines;
}

std::string EphemerisReport(const TPosition& site, const std::string& siteName,
                            std::chrono::year_month_day date) {
    const astro::TNightEvents night = astro::GetLocalNight(
        site, static_cast<int>(date.year()), static_cast<int>(static_cast<unsigned>(date.month())),
        static_cast<int>(static_cast<unsigned>(date.day())));
    std::string lines = "Night: " + DateText(date) + " to " +
                        DateText(std::chrono::sys_days(date) + std::chrono::days(1)) + "\n";
    if (!siteName.empty())
        lines += "Site: " + siteName + "\n";
    lines += "Position: " + ShortestNumber(site.Latitude) + "," + ShortestNumber(site.Longitude) +
             "," + ShortestNumber(site.Elevation.value_or(0.0)) + "\n";
    return lines + EphemerisLines(night);
}

std::chrono::year_month_day CurrentNight() {
    const std::time_t noonAgo = std::time(nullptr) - std::time_t{12} * 60 * 60;
    std::tm local{};
    localtime_r(&noonAgo, &local);
    return std::chrono::year_month_day{std::chrono::year(local.tm_year + 1900),
                                       std::chrono::month(unsigned(local.tm_mon + 1)),
                                       std::chrono::day(unsigned(local.tm_mday))};
}
