#pragma once

#include <clocale>
#include <cstdlib>
#include <string>

// Sets LC_NUMERIC to a locale that writes decimals with a comma for its lifetime, and back
// to "C" afterwards. An installed one is preferred; otherwise the one that the build compiled
// into its own folder (NIGHTLUX_TEST_LOCALES) is loaded from there. IsActive() is false when
// neither works, so that a test can say it was skipped rather than pass unproven.
class TCommaLocale {
public:
    TCommaLocale() : Active(Select()) {}
    ~TCommaLocale() { std::setlocale(LC_NUMERIC, "C"); }
    TCommaLocale(const TCommaLocale&) = delete;
    TCommaLocale& operator=(const TCommaLocale&) = delete;

    bool IsActive() const { return Active; }

private:
    static bool UsesComma() { return std::localeconv()->decimal_point == std::string(","); }

    static bool Try(const char* name) {
        return std::setlocale(LC_NUMERIC, name) != nullptr && UsesComma();
    }

    static bool Select() {
        for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8", "nl_NL.UTF-8"})
            if (Try(name))
                return true;
#ifdef NIGHTLUX_TEST_LOCALES
        // LOCPATH is set only while the locale loads: glibc leaks its copy of the path in
        // other locale calls made while it is set.
        ::setenv("LOCPATH", NIGHTLUX_TEST_LOCALES, 1);
        const bool loaded = Try("de_DE.UTF-8");
        ::unsetenv("LOCPATH");
        return loaded;
#else
        return false;
#endif
    }

    bool Active;
};
