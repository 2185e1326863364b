#include "tools/sim/NightCurve.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double Pi = 3.14159265358979323846;

// Hours since noon, 0 to 24, so that the night is one stretch.
double SinceNoon(double hour) {
    return std::fmod(std::fmod(hour - 12.0, 24.0) + 24.0, 24.0);
}

double Logistic(double x) {
    return 1.0 / (1.0 + std::exp(-x));
}

double SmoothStep(double x) {
    x = std::clamp(x, 0.0, 1.0);
    return x * x * (3.0 - 2.0 * x);
}

} // namespace

double NightSkyMagnitude(double hour) {
    const double s = SinceNoon(hour);
    constexpr double DarkSky = 21.3, Daylight = 8.0;
    // Dusk centred on 18:54, dawn on 05:06.
    const double sun = Logistic((6.9 - s) / 0.3) + Logistic((s - 17.1) / 0.3);
    const double cloud = 0.7 * std::pow(std::sin(Pi * std::clamp((s - 10.6) / 0.8, 0.0, 1.0)), 2);
    const double moon = 1.6 * SmoothStep((s - 13.5) / 1.5);
    return std::max(Daylight, DarkSky - (DarkSky - Daylight) * std::min(sun, 1.0) - cloud - moon);
}

double NightTemperature(double hour) {
    const double s = SinceNoon(hour);
    return 14.0 - 10.0 * SmoothStep((s - 5.0) / 10.0) + 8.0 * SmoothStep((s - 18.0) / 5.0);
}
