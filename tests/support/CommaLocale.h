#pragma once

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

// Sets LC_NUMERIC to a locale that writes decimals with a comma for its lifetime, and back
// to "C" afterwards. When the machine has none installed, one is compiled once with
// localedef into a temporary folder and loaded from there (LOCPATH). IsActive() is false when
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

    // A folder of compiled locales that is removed when the test program ends.
    struct TCompiled {
        std::filesystem::path Folder;
        TCompiled() {
            char name[] = "/tmp/nightlux-locale-XXXXXX";
            if (::mkdtemp(name) == nullptr)
                return;
            Folder = name;
            const std::string command =
                "localedef -i de_DE -f UTF-8 '" + Folder.string() + "/de_DE.UTF-8' >/dev/null 2>&1";
            (void)std::system(command.c_str()); // warnings give a non-zero status
        }
        ~TCompiled() {
            std::error_code ignored;
            if (!Folder.empty())
                std::filesystem::remove_all(Folder, ignored);
        }
    };

    static bool Select() {
        for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8", "nl_NL.UTF-8"})
            if (Try(name))
                return true;
        // LOCPATH is set only while the locale loads: glibc leaks its copy of the path in
        // other locale calls made while it is set.
        static const TCompiled compiled;
        ::setenv("LOCPATH", compiled.Folder.c_str(), 1);
        const bool loaded = Try("de_DE.UTF-8");
        ::unsetenv("LOCPATH");
        return loaded;
    }

    bool Active;
};
