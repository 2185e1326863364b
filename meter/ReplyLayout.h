#pragma once

#include <cstddef>
#include <string_view>

// The fixed-column layouts of the meter's replies. A link takes a reply only when it fits
// its layout whole: type letter, digits, signs, commas and unit letters at their columns,
// and the length. Noise on a line that shifts, drops or replaces bytes makes a reply that
// does not fit, and such a reply is a failed reading rather than a source of fields.
//
// The decimal point of the magnitude and of the temperature of the reading reply is the
// one column left to the field's conversion, which takes only a '.': there any byte but a
// digit or a line end fits, so that a reading whose number is not valid is reported as such.

// The length of the reply of the given type ('r', 'i' or 'c') without its line end; zero for
// another type.
std::size_t ReplyLayoutLength(char type);

// Whether line, without its line end, fits the layout of the reply whose type letter it
// starts with. A line that starts with any other letter fits no layout.
bool FitsReplyLayout(std::string_view line);
