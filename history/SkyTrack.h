#pragma once

#include "astro/Sky.h"

#include <array>
#include <cstdint>
#include <vector>

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
    explicit TSkyTrack(const TPosition& site, int stepMinutes = 30);

    TSky At(std::int64_t utcMs);

    // Keeps every node from one instant to another once worked out, for a caller that passes
    // over the same time more than once.
    void Keep(std::int64_t fromUtcMs, std::int64_t toUtcMs);

    // The same by the full series.
    static TSky Direct(const TPosition& site, std::int64_t utcMs);

private:
    // A node: the unit vectors towards the Sun and the Moon in the horizon's frame (smooth
    // where altitudes are not, near the zenith) and the Moon's fraction.
    struct TNode {
        double Sun[3];
        double Moon[3];
        double Fraction;
    };
    const TNode& Node(std::int64_t index);
    void Compute(std::int64_t index, TNode& node) const;

    TPosition Site;
    std::int64_t StepMs;
    static constexpr std::size_t Slots = 8;
    std::array<std::int64_t, Slots> Index;
    std::array<TNode, Slots> Value;
    std::int64_t KeptFrom = 0;
    std::vector<TNode> Kept;
    std::vector<bool> Known;
};
