#pragma once

#include "history/NightReading.h"

#include <cstdint>

// One reading of a station's history with the Sun and the Moon at its instant.
struct THistoryReading {
    std::int64_t UtcMs = 0; // Unix time, milliseconds
    TLocalTime Local{};     // local clock time, to the second
    float Mpsas = 0;
    float SunAltitude = 0;  // degrees, geometric, of the centre, topocentric
    float MoonAltitude = 0; // degrees, the same way
    float MoonFraction = 0; // illuminated fraction 0..1
    bool Dark = false;      // the Sun below the Sun limit and the Moon below the Moon limit
    bool Clear = false;     // a dark reading classified clear (see docs/history.md)
};
