#pragma once

#include "astro/Jde.h"
#include "astro/JdeError.h"

#include <ostream>
#include <string>

// The six calendar and clock fields of a value, as Get reads them.
struct TFields {
    int Month = 0;
    int Day = 0;
    int Year = 0;
    int Hour = 0;
    int Minute = 0;
    int Second = 0;

    bool operator==(const TFields&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const TFields& f) {
    return os << f.Year << '-' << f.Month << '-' << f.Day << ' ' << f.Hour << ':' << f.Minute << ':'
              << f.Second;
}

inline TFields FieldsOf(const astro::TJde& jde) {
    TFields f;
    jde.Get(f.Month, f.Day, f.Year, f.Hour, f.Minute, f.Second);
    return f;
}

inline astro::TJde JdeAt(int month, int day, int year, int hour, int minute, int second) {
    astro::TJde jde;
    jde.Set(month, day, year, hour, minute, second);
    return jde;
}

// The message of the EJdeError that f raises, or "no error"; other exceptions pass through.
template <class F>
std::string JdeErrorOf(F f) {
    try {
        f();
    } catch (const astro::EJdeError& e) {
        return e.Message();
    }
    return "no error";
}

inline std::string Invalid(const std::string& reason) {
    return "The specified date/time is not valid: " + reason;
}
