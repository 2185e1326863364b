#pragma once

#include "platform/Export.h"

#include <string>

// Converts a decimal number: blanks, optional sign, digits with an optional "." fraction,
// optional exponent, blanks. "." is the separator in every locale. Any other text, the
// empty text, or a value too large for a double raises EConvertError naming the text.
double StrToFloat(const std::string& text);
