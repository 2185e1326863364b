#pragma once

#include <string>

// The value with the given number of decimals and "." as the separator in every locale, as
// printf's "%0<width>.<decimals>f" writes it in the C locale: zeros fill up to width after
// the sign; at most 60 decimals. Not-a-number and infinities are written "nan", "inf", "-inf",
// blank-filled.
std::string FormatFixed(double value, int decimals, int width = 0);
