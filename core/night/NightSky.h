#pragma once

#include "core/night/NightReading.h"

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
