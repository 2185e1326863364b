#include "history/SkyTrack.h"

#include "astro/Night.h"
#include "astro/Site.h"
#include "astro/SkyMath.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

double Radians(double degrees) {
    return degrees * (M_PI / 180.0);
}

double Degrees(double radians) {
    return radians * (180.0 / M_PI);
}

astro::TJde JdeOf(std::int64_t utcMs) {
    return astro::TJde(astro::UnixEpochJd + double(utcMs) / 86400000.0);
}

} // namespace

TSkyTrack::TSkyTrack(const TPosition& site, int stepMinutes)
    : Site(site), StepMs(std::int64_t(stepMinutes) * 60000) {
    CheckPosition(site);
    Index.fill(std::numeric_limits<std::int64_t>::min());
}

TSkyTrack::TSky TSkyTrack::Direct(const TPosition& site, std::int64_t utcMs) {
    const astro::TJde ut = JdeOf(utcMs);
    return {astro::GetSunHorizontal(ut, site).Altitude, astro::GetMoonHorizontal(ut, site).Altitude,
            astro::GetMoonIlluminatedFraction(ut)};
}

static void Direction(const astro::THorizontal& h, double (&v)[3]) {
    const double alt = Radians(h.Altitude), az = Radians(h.Azimuth);
    v[0] = std::cos(alt) * std::cos(az);
    v[1] = std::cos(alt) * std::sin(az);
    v[2] = std::sin(alt);
}

void TSkyTrack::Keep(std::int64_t fromUtcMs, std::int64_t toUtcMs) {
    KeptFrom = fromUtcMs / StepMs - 2;
    const std::int64_t count = std::max<std::int64_t>(0, toUtcMs / StepMs + 3 - KeptFrom);
    Kept.assign(std::size_t(count), TNode{});
    Known.assign(std::size_t(count), false);
}

const TSkyTrack::TNode& TSkyTrack::Node(std::int64_t index) {
    const std::int64_t kept = index - KeptFrom;
    if (kept >= 0 && kept < std::int64_t(Kept.size())) {
        if (!Known[std::size_t(kept)]) {
            Compute(index, Kept[std::size_t(kept)]);
            Known[std::size_t(kept)] = true;
        }
        return Kept[std::size_t(kept)];
    }
    const std::size_t slot = std::size_t(((index % std::int64_t(Slots)) + Slots) % Slots);
    if (Index[slot] != index) {
        Compute(index, Value[slot]);
        Index[slot] = index;
    }
    return Value[slot];
}

void TSkyTrack::Compute(std::int64_t index, TNode& node) const {
    // One Earth state and one position of each body serve all three.
    const astro::TEarthState state = astro::GetEarthState(JdeOf(index * StepMs).FJd);
    const astro::TEquatorial sun = astro::GetSunEquatorial(state);
    const astro::TEquatorial moon = astro::GetMoonEquatorial(state);
    Direction(astro::ToTopocentric(sun, state, Site).Horizontal, node.Sun);
    Direction(astro::ToTopocentric(moon, state, Site).Horizontal, node.Moon);
    node.Fraction = astro::IlluminatedFraction(sun, moon);
}

TSkyTrack::TSky TSkyTrack::At(std::int64_t utcMs) {
    const std::int64_t k = utcMs / StepMs - (utcMs % StepMs < 0 ? 1 : 0);
    const double u = double(utcMs - k * StepMs) / double(StepMs);
    // Lagrange weights for the nodes k-1, k, k+1, k+2 at k + u.
    const double w[4] = {-u * (u - 1) * (u - 2) / 6, (u + 1) * (u - 1) * (u - 2) / 2,
                         -(u + 1) * u * (u - 2) / 2, (u + 1) * u * (u - 1) / 6};
    const TNode* nodes[4] = {&Node(k - 1), &Node(k), &Node(k + 1), &Node(k + 2)};
    double sun[3] = {}, moon[3] = {}, fraction = 0;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 3; ++j) {
            sun[j] += w[i] * nodes[i]->Sun[j];
            moon[j] += w[i] * nodes[i]->Moon[j];
        }
        fraction += w[i] * nodes[i]->Fraction;
    }
    return {Degrees(std::atan2(sun[2], std::hypot(sun[0], sun[1]))),
            Degrees(std::atan2(moon[2], std::hypot(moon[0], moon[1]))),
            std::clamp(fraction, 0.0, 1.0)};
}
