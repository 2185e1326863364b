#pragma once

#include "astro/Sky.h"

#include <array>
#include <cstdint>

// The Sun's and the Moon's altitude and the Moon's illuminated fraction at any instant, from
// exact positions on a fixed time grid and cubic interpolation between them: far cheaper than
// the full series at every instant, within 0.001 degrees for the Sun and 0.01 for the Moon
// (tests/history check it against the direct computation). Fastest when asked in time order.
class TSkyTrack {
public:
    struct TSky {
        double SunAltitude = 0;
        double MoonAltitude = 0;
        double MoonFraction = 0;
    };

    // Raises astro::ESiteError for an impossible site.
    explicit TSkyTrack(const astro::TSite& site, int stepMinutes = 20);

    TSky At(std::int64_t utcMs);

    // The same by the full series.
    static TSky Direct(const astro::TSite& site, std::int64_t utcMs);

private:
    const TSky& Node(std::int64_t index);

    astro::TSite Site;
    std::int64_t StepMs;
    static constexpr std::size_t Slots = 8;
    std::array<std::int64_t, Slots> Index;
    std::array<TSky, Slots> Value;
};
