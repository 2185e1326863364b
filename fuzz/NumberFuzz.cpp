// The number conversion: a number it accepts prints back to text that converts to the
// same value; the plain form accepts a subset of the texts, with the same values.

#include "fuzz/FuzzCheck.h"
#include "platform/Exception.h"
#include "platform/NumberConversion.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace {

template <class Convert>
std::optional<double> Try(Convert convert, const std::string& text) {
    try {
        return convert(text);
    } catch (const EConvertError&) {
        return std::nullopt;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto full = Try(StrToFloat, text);
    const auto plain = Try(PlainDecimalToFloat, text);
    if (plain) {
        FUZZ_CHECK(full && *full == *plain);
        FUZZ_CHECK(text.find_first_of("eE") == std::string::npos);
    }
    if (full && text.find_first_of("eE") == std::string::npos)
        FUZZ_CHECK(plain);
    if (full) {
        FUZZ_CHECK(std::isfinite(*full));
        char printed[64];
        std::snprintf(printed, sizeof printed, "%.17g", *full);
        const auto again = Try(StrToFloat, printed);
        FUZZ_CHECK(again && *again == *full);
    }
    return 0;
}
