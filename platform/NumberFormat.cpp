#include "platform/NumberFormat.h"

#include <algorithm>
#include <charconv>
#include <cmath>

std::string FormatFixed(double value, int decimals, int width) {
    constexpr int MaxDecimals = 60;
    decimals = std::clamp(decimals, 0, MaxDecimals);
    // Sign, 309 whole digits, point and decimals of the largest double fit.
    char buffer[16 + 309 + MaxDecimals];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    std::string text(buffer, result.ptr);
    if (static_cast<int>(text.size()) >= width)
        return text;
    const std::size_t fill = static_cast<std::size_t>(width) - text.size();
    if (!std::isfinite(value))
        return std::string(fill, ' ') + text;
    const std::size_t digits = text[0] == '-' ? 1 : 0;
    return text.insert(digits, fill, '0');
}
