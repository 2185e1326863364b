#pragma once

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <locale.h>
#include <optional>
#include <string>

// Makes the locale "de_DE.UTF-8" loadable for its lifetime. When the machine has it
// installed nothing changes; otherwise it is compiled once with localedef into a temporary
// folder and LOCPATH points there while the object lives. IsActive() is false when neither
// works.
class TGermanLocale {
public:
    static constexpr const char* Name = "de_DE.UTF-8";

    TGermanLocale() {
        if (Loads())
            return;
        static const TCompiled compiled;
        if (const char* old = std::getenv("LOCPATH"))
            SavedPath = old;
        ::setenv("LOCPATH", compiled.Folder.c_str(), 1);
        Changed = true;
        Active = Loads();
    }
    ~TGermanLocale() {
        if (!Changed)
            return;
        if (SavedPath)
            ::setenv("LOCPATH", SavedPath->c_str(), 1);
        else
            ::unsetenv("LOCPATH");
    }
    TGermanLocale(const TGermanLocale&) = delete;
    TGermanLocale& operator=(const TGermanLocale&) = delete;

    bool IsActive() const { return Active; }

private:
    static bool Loads() {
        const locale_t locale = ::newlocale(LC_ALL_MASK, Name, nullptr);
        if (locale == nullptr)
            return false;
        ::freelocale(locale);
        return true;
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

    bool Active = true;
    bool Changed = false;
    std::optional<std::string> SavedPath;
};
