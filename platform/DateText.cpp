#include "platform/DateText.h"

#include "platform/Exception.h"

#include <clocale>
#include <ctime>
#include <langinfo.h>
#include <locale.h>
#include <memory>

namespace {

struct TLocaleFree {
    void operator()(locale_t locale) const { freelocale(locale); }
};
using TLocale = std::unique_ptr<std::remove_pointer_t<locale_t>, TLocaleFree>;

TLocale UserTimeLocale() {
    TLocale locale(newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr)));
    if (!locale)
        locale.reset(newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(nullptr)));
    return locale;
}

} // namespace

std::string DateToStr(TDateTime value) {
    const TDateTimeFields f = DecodeDateTime(value);
    const double date = EncodeDate(f.Year, f.Month, f.Day); // raises outside years 1..9999
    tm t{};
    t.tm_year = f.Year - 1900;
    t.tm_mon = f.Month - 1;
    t.tm_mday = f.Day;
    t.tm_wday = f.DayOfWeek;
    t.tm_yday = static_cast<int>(date - double(EncodeDate(f.Year, 1, 1)));
    const TLocale locale = UserTimeLocale();
    if (!locale)
        throw EConvertError("No locale for the short date");
    char text[128];
    const std::size_t n =
        strftime_l(text, sizeof text, nl_langinfo_l(D_FMT, locale.get()), &t, locale.get());
    return std::string(text, n);
}
