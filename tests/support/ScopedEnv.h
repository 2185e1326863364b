#pragma once

#include <cstdlib>
#include <optional>
#include <string>

// Sets an environment variable for the lifetime of the object, then puts it back.
class TScopedEnv {
public:
    TScopedEnv(const char* name, const char* value) : Name(name) {
        if (const char* old = std::getenv(name))
            Saved = old;
        ::setenv(name, value, 1);
    }
    TScopedEnv(const TScopedEnv&) = delete;
    TScopedEnv& operator=(const TScopedEnv&) = delete;
    ~TScopedEnv() {
        if (Saved)
            ::setenv(Name.c_str(), Saved->c_str(), 1);
        else
            ::unsetenv(Name.c_str());
    }

private:
    std::string Name;
    std::optional<std::string> Saved;
};
