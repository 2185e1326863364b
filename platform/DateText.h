#pragma once

#include "platform/DateTime.h"

#include <string>

// The date of a value as the user's locale writes a short date: strftime with the locale's
// D_FMT under the LC_TIME that the environment names at the call (LC_ALL, LC_TIME, LANG).
// A locale that is not installed falls back to the C locale ("%m/%d/%y"). Raises
// EConvertError for a date outside years 1..9999.
std::string DateToStr(TDateTime value);
