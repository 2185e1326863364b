#pragma once

// The theoretical naked-eye limiting magnitude for a sky brightness in magnitudes per square
// arc-second: 7.93 - 5 * log10(10^(4.316 - m / 5) + 1).
double ComputeNelm(double magnitude);
