#include "platform/RegionalFormats.h"

#include <cerrno>
#include <ctime>
#include <iconv.h>
#include <langinfo.h>
#include <vector>

namespace {

locale_t LoadTimeFormats(const char* name) {
    locale_t locale = ::newlocale(LC_TIME_MASK, name, nullptr);
    return locale != nullptr ? locale : ::newlocale(LC_TIME_MASK, "C", nullptr);
}

// The format without its time-zone conversions and the blanks before them.
std::string WithoutZone(std::string format) {
    for (const char* zone : {"%Z", "%z"})
        for (std::size_t at = format.find(zone); at != std::string::npos; at = format.find(zone)) {
            std::size_t begin = at;
            while (begin > 0 && format[begin - 1] == ' ')
                --begin;
            format.erase(begin, at + 2 - begin);
        }
    return format;
}

std::tm AsTm(const TDateTimeFields& f) {
    std::tm tm{};
    tm.tm_year = f.Year - 1900;
    tm.tm_mon = f.Month - 1;
    tm.tm_mday = f.Day;
    tm.tm_hour = f.Hour;
    tm.tm_min = f.Minute;
    tm.tm_sec = f.Second;
    tm.tm_wday = f.DayOfWeek;
    tm.tm_isdst = -1;
    return tm;
}

// Text in the locale's character set as UTF-8; bytes that do not convert become "?".
std::string ToUtf8(const std::string& text, const char* codeset) {
    const std::string_view set = codeset;
    if (set == "UTF-8" || set == "ANSI_X3.4-1968")
        return text;
    const iconv_t convert = ::iconv_open("UTF-8", codeset);
    // NOLINTNEXTLINE(performance-no-int-to-ptr): iconv_open's documented failure value
    if (convert == reinterpret_cast<iconv_t>(-1))
        return text;
    std::string result;
    std::vector<char> in(text.begin(), text.end());
    char* inPtr = in.data();
    std::size_t inLeft = in.size();
    char buffer[256];
    while (inLeft > 0) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t done = ::iconv(convert, &inPtr, &inLeft, &outPtr, &outLeft);
        result.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        if (done == static_cast<std::size_t>(-1) && errno != E2BIG) {
            result += '?';
            ++inPtr;
            --inLeft;
        }
    }
    ::iconv_close(convert);
    return result;
}

} // namespace

TRegionalFormats::TRegionalFormats() : Locale(LoadTimeFormats("")) {}

TRegionalFormats::TRegionalFormats(const std::string& localeName)
    : Locale(LoadTimeFormats(localeName.c_str())) {}

TRegionalFormats::~TRegionalFormats() {
    if (Locale != nullptr)
        ::freelocale(Locale);
}

std::string TRegionalFormats::ShortDate(const TDateTimeFields& fields) const {
    return Format(::nl_langinfo_l(D_FMT, Locale), fields);
}

std::string TRegionalFormats::LongTime(const TDateTimeFields& fields) const {
    return Format(WithoutZone(::nl_langinfo_l(T_FMT, Locale)), fields);
}

std::string TRegionalFormats::Format(const std::string& format,
                                     const TDateTimeFields& fields) const {
    if (format.empty())
        return {};
    const std::tm tm = AsTm(fields);
    // strftime reports 0 both for a full buffer and for an empty result: grow up to a limit.
    for (std::size_t size = 64; size <= 4096; size *= 4) {
        std::vector<char> text(size);
        const std::size_t length =
            ::strftime_l(text.data(), text.size(), format.c_str(), &tm, Locale);
        if (length > 0)
            return ToUtf8(std::string(text.data(), length), ::nl_langinfo_l(CODESET, Locale));
    }
    return {};
}
