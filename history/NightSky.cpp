#include "history/NightSky.h"

#include "history/Night.h"

#include <algorithm>

namespace {

// The parts of outer that inner leaves: before it and after it, or all of outer.
void AddDifference(std::vector<TTwilightBand>& bands, TSunBelow outer,
                   const std::optional<TSunBelow>& inner, TTwilightKind kind) {
    const auto add = [&](TLocalTime from, TLocalTime to) {
        if (from < to)
            bands.push_back({from, to, kind});
    };
    if (!inner) {
        add(outer.From, outer.To);
        return;
    }
    add(outer.From, std::max(outer.From, inner->From));
    add(std::min(outer.To, inner->To), outer.To);
}

} // namespace

std::vector<TTwilightBand> TwilightBands(const TNight& night,
                                         const std::array<std::optional<TSunBelow>, 4>& below) {
    constexpr TTwilightKind kinds[] = {TTwilightKind::Day, TTwilightKind::Civil,
                                       TTwilightKind::Nautical, TTwilightKind::Astronomical};
    std::vector<TTwilightBand> bands;
    TSunBelow outer{night.GetStart(), night.GetEnd()};
    for (std::size_t level = 0; level < below.size(); ++level) {
        std::optional<TSunBelow> inner = below[level];
        if (inner) {
            inner->From = std::clamp(inner->From, outer.From, outer.To);
            inner->To = std::clamp(inner->To, inner->From, outer.To);
        }
        AddDifference(bands, outer, inner, kinds[level]);
        if (!inner)
            break;
        outer = *inner;
    }
    return bands;
}
