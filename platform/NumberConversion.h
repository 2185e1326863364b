#pragma once

#include "platform/Export.h"

#include <string>

// Converts a decimal number: blanks, optional sign, digits with an optional "." and more
// digits (at least one digit in all: "5", "5." and ".5"), optional exponent, blanks. "." is the
// separator in every locale. Any other text, the empty text, or a value too large for a double
// raises EConvertError naming the text.
double StrToFloat(const std::string& text);

// As StrToFloat without the exponent: the plain signed decimal that a meter writes.
double PlainDecimalToFloat(const std::string& text);
