#pragma once

#include <optional>

// The theoretical naked-eye limiting magnitude for a sky brightness in magnitudes per square
// arc-second: 7.93 - 5 * log10(10^(4.316 - m / 5) + 1).
double ComputeNelm(double magnitude);

// The sky brightness (MPSAS) whose naked-eye limiting magnitude is nelm, the inverse of
// ComputeNelm; none for nelm at or beyond 7.93, the limit of a perfectly dark sky.
std::optional<double> MagnitudeForNelm(double nelm);
