#pragma once

#include "platform/DateTime.h"

#include <locale.h>
#include <string>

// The date and time formats of a locale, as the C library keeps them (LC_TIME). The user's
// are those of the environment (LC_ALL, LC_TIME, LANG), whatever the process's own locale
// is; the C locale's stand in when the user's cannot be loaded. Texts are UTF-8.
class TRegionalFormats {
public:
    // The user's formats.
    TRegionalFormats();
    // The formats of the named locale, such as "de_DE.UTF-8"; the C locale's when it cannot
    // be loaded.
    explicit TRegionalFormats(const std::string& localeName);
    ~TRegionalFormats();
    TRegionalFormats(const TRegionalFormats&) = delete;
    TRegionalFormats& operator=(const TRegionalFormats&) = delete;

    // The short date form (the locale's date format).
    std::string ShortDate(const TDateTimeFields& fields) const;
    // The long time form (the locale's time format) without a time-zone part.
    std::string LongTime(const TDateTimeFields& fields) const;

private:
    std::string Format(const std::string& format, const TDateTimeFields& fields) const;

    locale_t Locale;
};
