#include "core/Nelm.h"

#include <cmath>

double ComputeNelm(double magnitude) {
    const double exponent = 4.316 - magnitude / 5.0;
    const double power = std::pow(10.0, exponent);
    // Past the largest double, 10^x + 1 is 10^x to every digit a double keeps.
    if (std::isinf(power) && std::isfinite(exponent))
        return 7.93 - 5.0 * exponent;
    return 7.93 - 5.0 * std::log10(power + 1.0);
}

std::optional<double> MagnitudeForNelm(double nelm) {
    const double excess = std::pow(10.0, (7.93 - nelm) / 5.0) - 1.0;
    if (!(excess > 0.0))
        return std::nullopt;
    return 5.0 * (4.316 - std::log10(excess));
}
