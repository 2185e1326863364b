#include "platform/Text.h"

#include "platform/Exception.h"

#include <limits>

namespace {

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    return true;
}

bool TryStrToInt(std::string_view text, std::int32_t& value) {
    std::size_t p = 0;
    while (p < text.size() && text[p] == ' ')
        ++p;
    const bool negative = p < text.size() && text[p] == '-';
    if (p < text.size() && (text[p] == '-' || text[p] == '+'))
        ++p;
    if (p == text.size())
        return false;
    constexpr long long limit = std::numeric_limits<std::int32_t>::max() + 1LL;
    long long magnitude = 0; // [0, limit]
    for (; p < text.size(); ++p) {
        if (text[p] < '0' || text[p] > '9')
            return false;
        magnitude = magnitude * 10 + (text[p] - '0');
        if (magnitude > limit)
            return false;
    }
    if (!negative && magnitude == limit)
        return false;
    value = static_cast<std::int32_t>(negative ? -magnitude : magnitude);
    return true;
}

std::int32_t StrToInt(std::string_view text) {
    std::int32_t value = 0;
    if (!TryStrToInt(text, value))
        throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
    return value;
}

char32_t DecodeUtf8(std::string_view text, std::size_t pos, std::size_t& length) {
    length = 1;
    const auto byte = [text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    if (lead < 0x80)
        return lead;
    const std::size_t size = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (size == 0 || lead > 0xF4 || pos + size > text.size())
        return InvalidCodePoint;
    char32_t cp = lead & (0x7F >> size);
    for (std::size_t i = 1; i < size; ++i) {
        if (!IsUtf8Continuation(text[pos + i]))
            return InvalidCodePoint;
        cp = (cp << 6) | (byte(pos + i) & 0x3F);
    }
    constexpr char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < smallest[size] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return InvalidCodePoint;
    length = size;
    return cp;
}

bool IsUtf8Continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

std::size_t Utf8Offset(std::string_view text, std::size_t n) {
    std::size_t pos = 0;
    for (std::size_t i = 0; i < n && pos < text.size(); ++i) {
        ++pos;
        while (pos < text.size() && IsUtf8Continuation(text[pos]))
            ++pos;
    }
    return pos;
}
