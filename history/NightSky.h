#pragma once

#include "history/NightReading.h"

#include <array>
#include <optional>
#include <vector>

// What the Sun and the Moon do over a night, as the chart draws it.
enum class TTwilightKind {
    Day,          // the Sun above the horizon
    Civil,        // the Sun 0 to 6 degrees below it
    Nautical,     // 6 to 12 degrees below
    Astronomical, // 12 to 18 degrees below
};

struct TTwilightBand {
    TLocalTime Start;
    TLocalTime End;
    TTwilightKind Kind;
};

struct TMoonAltitude {
    TLocalTime Time;
    double Altitude; // degrees, negative below the horizon
};

// The twilight and the Moon of one night; empty where the site is not known.
struct TNightSky {
    std::vector<TTwilightBand> Twilight;
    std::vector<TMoonAltitude> Moon;
};

class TNight;

// When the Sun is below one altitude in a night: one stretch, cut to the night.
struct TSunBelow {
    TLocalTime From;
    TLocalTime To;
};

// The twilight bands of a night from the stretches with the Sun below the horizon and below
// 6, 12 and 18 degrees, in that order; none for a level it never gets below. Each stretch lies
// within the one before it. Daylight is the rest of the night.
std::vector<TTwilightBand> TwilightBands(const TNight& night,
                                         const std::array<std::optional<TSunBelow>, 4>& below);
