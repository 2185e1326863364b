// Date and time text over every date and time layout: a rejected text changes nothing; a
// text that SetAsText accepts prints in its layout, and with the hour-and-minute layout
// (the one time layout that reads back) that print reads back to the same value.

#include "astro/Jde.h"
#include "astro/JdeError.h"
#include "fuzz/FuzzCheck.h"

#include <cstddef>
#include <cstdint>
#include <string>

using astro::TJde;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const auto dateFormat = static_cast<astro::TDateFormat>(data[0] % (astro::dfYMDDecimal + 1));
    const auto timeFormat = static_cast<astro::TTimeFormat>(data[1] % (astro::tfHAmPm + 1));
    const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);
    TJde value(12345.5);
    try {
        value.SetAsText(text, dateFormat, timeFormat);
    } catch (const Exception&) {
        FUZZ_CHECK(value.FJd == 12345.5); // a rejected text changes nothing
        return 0;
    }
    const std::string printed = value.AsString(dateFormat, timeFormat);
    if (timeFormat != astro::tfHM)
        return 0;
    TJde again;
    try {
        again.SetAsText(printed, dateFormat, timeFormat);
    } catch (const Exception& e) {
        std::fprintf(stderr, "'%s' printed as '%s' does not read back: %s\n", text.c_str(),
                     printed.c_str(), e.what());
        FUZZ_CHECK(false);
    }
    FUZZ_CHECK(again.FJd == value.FJd);
    return 0;
}
