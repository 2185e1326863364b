#pragma once

#include <utility>

// Replaces a process-wide value for the lifetime of the object and puts the previous one back
// when it goes. The value is reached through its exchange function, which installs a value
// and returns the one it replaced (SetUiSeams, SetLocalTimeSource, SetLinkFactory). Programs
// install their defaults in main; tests replace them only for a scope, with this.
template <typename T>
class TScopedOverride {
public:
    using TExchange = T (*)(T);

    TScopedOverride(TExchange exchange, T value)
        : Exchange(exchange), Saved(exchange(std::move(value))) {}
    ~TScopedOverride() { Exchange(std::move(Saved)); }
    TScopedOverride(const TScopedOverride&) = delete;
    TScopedOverride& operator=(const TScopedOverride&) = delete;

private:
    TExchange Exchange;
    T Saved;
};
