#include "core/Nelm.h"

#include <cmath>

double ComputeNelm(double magnitude) {
    return 7.93 - 5.0 * std::log10(std::pow(10.0, 4.316 - magnitude / 5.0) + 1.0);
}
