#include "history/SkyTrack.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double UnixEpochJd = 2440587.5;

astro::TJde JdeOf(std::int64_t utcMs) {
    return astro::TJde(UnixEpochJd + double(utcMs) / 86400000.0);
}

} // namespace

TSkyTrack::TSkyTrack(const astro::TSite& site, int stepMinutes)
    : Site(site), StepMs(std::int64_t(stepMinutes) * 60000) {
    astro::CheckSite(site);
    Index.fill(std::numeric_limits<std::int64_t>::min());
}

TSkyTrack::TSky TSkyTrack::Direct(const astro::TSite& site, std::int64_t utcMs) {
    const astro::TJde ut = JdeOf(utcMs);
    return {astro::GetSunHorizontal(ut, site).Altitude, astro::GetMoonHorizontal(ut, site).Altitude,
            astro::GetMoonIlluminatedFraction(ut)};
}

const TSkyTrack::TSky& TSkyTrack::Node(std::int64_t index) {
    const std::size_t slot = std::size_t(((index % std::int64_t(Slots)) + Slots) % Slots);
    if (Index[slot] != index) {
        Value[slot] = Direct(Site, index * StepMs);
        Index[slot] = index;
    }
    return Value[slot];
}

TSkyTrack::TSky TSkyTrack::At(std::int64_t utcMs) {
    const std::int64_t k = utcMs / StepMs - (utcMs % StepMs < 0 ? 1 : 0);
    const double u = double(utcMs - k * StepMs) / double(StepMs);
    // Lagrange weights for the nodes k-1, k, k+1, k+2 at k + u.
    const double w0 = -u * (u - 1) * (u - 2) / 6;
    const double w1 = (u + 1) * (u - 1) * (u - 2) / 2;
    const double w2 = -(u + 1) * u * (u - 2) / 2;
    const double w3 = (u + 1) * u * (u - 1) / 6;
    const TSky a = Node(k - 1), b = Node(k), c = Node(k + 1), d = Node(k + 2);
    TSky sky;
    sky.SunAltitude =
        w0 * a.SunAltitude + w1 * b.SunAltitude + w2 * c.SunAltitude + w3 * d.SunAltitude;
    sky.MoonAltitude =
        w0 * a.MoonAltitude + w1 * b.MoonAltitude + w2 * c.MoonAltitude + w3 * d.MoonAltitude;
    sky.MoonFraction = std::clamp(w0 * a.MoonFraction + w1 * b.MoonFraction + w2 * c.MoonFraction +
                                      w3 * d.MoonFraction,
                                  0.0, 1.0);
    return sky;
}
