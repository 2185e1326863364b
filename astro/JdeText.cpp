#include "astro/Jde.h"
#include "astro/JdeError.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string_view>

namespace astro {

namespace {

const char* const MonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                    "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const ShortDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

constexpr int Invalid = -1;

const char* MonthName(int month) {
    return month >= 1 && month <= 12 ? MonthNames[month - 1] : "";
}

template <class... Args>
std::string Format(const char* layout, Args... args) {
    char buffer[64];
    const int n = std::snprintf(buffer, sizeof buffer, layout, args...);
    return n < 0 ? std::string() : std::string(buffer);
}

struct TFields {
    int Month, Day, Year, Hour, Minute, Second;
};

TFields FieldsOf(const TJde& jde) {
    TFields f{};
    jde.Get(f.Month, f.Day, f.Year, f.Hour, f.Minute, f.Second);
    return f;
}

// Part of the day since midnight of a value, [0, 1).
double DayFraction(double jd) {
    double f = jd - std::trunc(jd) - 0.5;
    if (f < 0)
        f += 1.0;
    return f;
}

std::string DatePart(TDateFormat format, const TJde& adjusted, const TFields& f, double jd) {
    switch (format) {
    case dfMDY:
        return Format("%.2d/%.2d/%d", f.Month, f.Day, f.Year);
    case dfDMY:
        return Format("%.2d/%.2d/%d", f.Day, f.Month, f.Year);
    case dfYMD:
        return Format("%d/%.2d/%.2d", f.Year, f.Month, f.Day);
    case dfMD:
        return Format("%.2d/%.2d", f.Month, f.Day);
    case dfDM:
        return Format("%.2d/%.2d", f.Day, f.Month);
    case dfMonDY:
        return Format("%s %.2d %d", MonthName(f.Month), f.Day, f.Year);
    case dfDMonY:
        return Format("%.2d %s %d", f.Day, MonthName(f.Month), f.Year);
    case dfYMonD:
        return Format("%d %s %.2d", f.Year, MonthName(f.Month), f.Day);
    case dfMonD:
        return Format("%s %.2d", MonthName(f.Month), f.Day);
    case dfDMon:
        return Format("%.2d %s", f.Day, MonthName(f.Month));
    case dfDowk:
        return ShortDayNames[adjusted.GetDowk()];
    case dfYMDDecimal:
        return Format("%d/%.2d/%.4f", f.Year, f.Month, f.Day + DayFraction(jd));
    case dfBlank:
    case dfNone:
        break;
    }
    return std::string();
}

// Hour on the 12-hour clock: 0 is 12 before noon, 12 is 12 after noon.
int Hour12(int hour) {
    if (hour == 0)
        return 12;
    return hour > 12 ? hour - 12 : hour;
}

char AmPmLetter(int hour) {
    return hour >= 12 ? 'p' : 'a';
}

std::string TimePart(TTimeFormat format, const TFields& f) {
    switch (format) {
    case tfHMS:
        return Format("%.2d:%.2d:%.2d", f.Hour, f.Minute, f.Second);
    case tfHM:
        return Format("%.2d:%.2d", f.Hour, f.Minute);
    case tfH:
        return Format("%.2d hrs", f.Hour);
    case tfHMSAmPm:
        return Format("%.2d:%.2d:%.2d%c", Hour12(f.Hour), f.Minute, f.Second, AmPmLetter(f.Hour));
    case tfHMAmPm:
        return Format("%.2d:%.2d%c", Hour12(f.Hour), f.Minute, AmPmLetter(f.Hour));
    case tfHAmPm:
        return Format("%.2d%c", Hour12(f.Hour), AmPmLetter(f.Hour));
    case tfNone:
        break;
    }
    return std::string();
}

// Splits text in the manner of strtok: leading separators are skipped, a token runs to the
// next separator, which is consumed. Each call may use its own separator set.
class TTokenizer {
public:
    explicit TTokenizer(std::string_view text) : Text(text) {}

    std::optional<std::string_view> Next(std::string_view separators) {
        const std::size_t begin = Text.find_first_not_of(separators, Pos);
        if (begin == std::string_view::npos) {
            Pos = Text.size();
            return std::nullopt;
        }
        const std::size_t end = Text.find_first_of(separators, begin);
        Pos = end == std::string_view::npos ? Text.size() : end + 1;
        return Text.substr(begin, end == std::string_view::npos ? end : end - begin);
    }

private:
    std::string_view Text;
    std::size_t Pos = 0;
};

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithNoCase(std::string_view token, std::string_view prefix) {
    if (token.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (Lower(token[i]) != Lower(prefix[i]))
            return false;
    return true;
}

bool IsAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

// A token of decimal digits ('0'-'9' only) within low..high, else Invalid. A token of digits
// only that is too long for an int raises EConvertError; any other character makes the token
// Invalid whatever its length.
int ReadNumber(std::string_view token, int low, int high) {
    if (token.empty())
        return Invalid;
    for (const char c : token)
        if (!IsAsciiDigit(c))
            return Invalid;
    long long n = 0;
    for (const char c : token) {
        n = n * 10 + (c - '0');
        if (n > INT_MAX)
            throw EConvertError("'" + std::string(token) + "' is not a valid integer value");
    }
    return n >= low && n <= high ? static_cast<int>(n) : Invalid;
}

int ReadMonthName(std::string_view token) {
    for (int i = 0; i < 12; ++i)
        if (StartsWithNoCase(token, MonthNames[i]))
            return i + 1;
    return Invalid;
}

struct TDate {
    int Month = Invalid;
    int Day = Invalid;
    int Year = Invalid;
};

TDate ReadDate(TDateFormat format, std::string_view t1, std::string_view t2, std::string_view t3) {
    const auto month = [](std::string_view t) { return ReadNumber(t, 1, 12); };
    const auto day = [](std::string_view t) { return ReadNumber(t, 1, 31); };
    const auto year = [](std::string_view t) { return ReadNumber(t, 1, 9999); };
    TDate d;
    switch (format) {
    case dfMDY:
        d.Month = month(t1), d.Day = day(t2), d.Year = year(t3);
        break;
    case dfDMY:
        d.Day = day(t1), d.Month = month(t2), d.Year = year(t3);
        break;
    case dfYMD:
        d.Year = year(t1), d.Month = month(t2), d.Day = day(t3);
        break;
    case dfMonDY:
        d.Month = ReadMonthName(t1), d.Day = day(t2), d.Year = year(t3);
        break;
    case dfDMonY:
        d.Day = day(t1), d.Month = ReadMonthName(t2), d.Year = year(t3);
        break;
    case dfYMonD:
        d.Year = year(t1), d.Month = ReadMonthName(t2), d.Day = day(t3);
        break;
    default: // not readable: every field invalid
        break;
    }
    return d;
}

struct TTime {
    int Hour = Invalid;
    int Minute = Invalid;
};

TTime ReadTime(TTimeFormat format, std::string_view t4, std::string_view t5,
               std::optional<std::string_view> t6) {
    TTime t;
    if (format != tfHMS && format != tfHM && format != tfHMSAmPm && format != tfHMAmPm)
        return t;
    const int hour = ReadNumber(t4, 0, 23);
    const int minute = ReadNumber(t5, 0, 59);
    if (hour == Invalid || minute == Invalid)
        return t;
    t.Hour = hour;
    t.Minute = minute;
    if (format == tfHMS || format == tfHM)
        return t;
    const bool am = t6 && StartsWithNoCase(*t6, "am");
    const bool pm = t6 && StartsWithNoCase(*t6, "pm");
    if (!am && !pm)
        return TTime();
    if (pm && hour < 12)
        t.Hour = hour + 12;
    else if (am && hour == 12)
        t.Hour = 0;
    return t;
}

} // namespace

std::string TJde::AsString(TDateFormat dateFormat, TTimeFormat timeFormat) const {
    if (dateFormat == dfNone && timeFormat == tfNone)
        return std::string();
    TJde adjusted(*this);
    const TFields first = FieldsOf(adjusted);
    if ((timeFormat == tfH || timeFormat == tfHAmPm) && first.Minute >= 30)
        adjusted += 1.0 / 24.0;
    else if ((timeFormat == tfHM || timeFormat == tfHMAmPm) && first.Second >= 30)
        adjusted += 1.0 / 1440.0;
    const TFields f = FieldsOf(adjusted);

    std::string text = DatePart(dateFormat, adjusted, f, FJd);
    if (dateFormat != dfNone && timeFormat != tfNone)
        text += ' ';
    text += TimePart(timeFormat, f);
    return text;
}

void TJde::SetAsText(const std::string& text, TDateFormat dateFormat, TTimeFormat timeFormat) {
    TTokenizer tokens(text);
    std::optional<std::string_view> t[6];
    const std::string_view separators[6] = {"/ ", "/ ", "/ ", ":", " ", "/ "};
    for (int i = 0; i < 6 && (i == 0 || t[i - 1]); ++i)
        t[i] = tokens.Next(separators[i]);
    if (!t[4])
        throw EJdeError("Unsupported date/time format.");

    const TDate date = ReadDate(dateFormat, *t[0], *t[1], *t[2]);
    const TTime time = ReadTime(timeFormat, *t[3], *t[4], t[5]);
    if (date.Year == Invalid) {
        // Month and day are judged first; year 0 stands for any year (February has 29 days).
        TJde probe;
        probe.SetMDY(date.Month, date.Day, 0);
        throw EJdeError("Invalid year.");
    }
    Set(date.Month, date.Day, date.Year, time.Hour, time.Minute, 0);
}

std::string TJde::AsXsdDateTime() const {
    const TFields f = FieldsOf(*this);
    if (f.Year < 0 || f.Year > 65535)
        throw EConvertError("Year is out of range");
    return Format("%4.4d-%2.2d-%2.2dT%2.2d:%2.2d:%2.2d", f.Year, f.Month, f.Day, f.Hour, f.Minute,
                  f.Second);
}

} // namespace astro
