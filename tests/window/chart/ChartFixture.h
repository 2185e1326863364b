#pragma once

#include "history/Night.h"

#include <chrono>

inline TLocalTime At(int y, unsigned m, unsigned d, int hh, int mm = 0) {
    using namespace std::chrono;
    return local_days{year{y} / m / d} + hours{hh} + minutes{mm};
}

inline TNightReading Reading(TLocalTime time, double magnitude) {
    TNightReading r;
    r.Time = time;
    r.Magnitude = magnitude;
    return r;
}

inline const TNight TestNight = TNight::Parse("2017-03-21");
