#include "platform/NumberConversion.h"

#include "platform/Exception.h"

#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdlib>

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Returns the end of a run of digits starting at pos.
std::size_t SkipDigits(const std::string& s, std::size_t pos) {
    while (pos < s.size() && IsDigit(s[pos]))
        ++pos;
    return pos;
}

std::size_t SkipBlanks(const std::string& s, std::size_t pos) {
    while (pos < s.size() && s[pos] == ' ')
        ++pos;
    return pos;
}

[[noreturn]] void Invalid(const std::string& text) {
    throw EConvertError("'" + text + "' is not a valid floating point value");
}

double Convert(const std::string& text, bool allowExponent) {
    std::size_t pos = SkipBlanks(text, 0);
    const std::size_t begin = pos;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        ++pos;
    // Digits with an optional "." and more digits: at least one digit on either side.
    const std::size_t mantissa = pos;
    pos = SkipDigits(text, pos);
    std::size_t digits = pos - mantissa;
    if (pos < text.size() && text[pos] == '.') {
        const std::size_t fraction = pos + 1;
        pos = SkipDigits(text, fraction);
        digits += pos - fraction;
    }
    if (digits == 0)
        Invalid(text);
    if (allowExponent && pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        std::size_t exp = pos + 1;
        if (exp < text.size() && (text[exp] == '+' || text[exp] == '-'))
            ++exp;
        const std::size_t expEnd = SkipDigits(text, exp);
        if (expEnd == exp)
            Invalid(text);
        pos = expEnd;
    }
    const std::size_t end = pos;
    if (SkipBlanks(text, pos) != text.size())
        Invalid(text);

    // The grammar is checked above; strtod_l in the "C" locale reads it whatever the
    // process locale, and reports overflow as HUGE_VAL with ERANGE.
    static const locale_t CLocale = newlocale(LC_ALL_MASK, "C", nullptr);
    const std::string number = text.substr(begin, end - begin);
    errno = 0;
    const double value = strtod_l(number.c_str(), nullptr, CLocale);
    if (errno == ERANGE && std::isinf(value))
        Invalid(text);
    return value;
}

} // namespace

double StrToFloat(const std::string& text) {
    return Convert(text, true);
}

double PlainDecimalToFloat(const std::string& text) {
    return Convert(text, false);
}
