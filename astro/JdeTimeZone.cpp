#include "astro/Jde.h"
#include "platform/DateText.h"

#include <cstdlib>
#include <exception>

namespace {

const char* const Ordinals[6] = {"x", "1st", "2d", "3d", "4th", "5th"};
const char* const DayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const MonthNames[13] = {"x",   "Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                    "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Entry index of a table of n names; beyond the table "x".
const char* NameOf(const char* const* table, unsigned n, unsigned index) {
    return index < n ? table[index] : "x";
}

int YearOf(const astro::TJde& jde) {
    int month, day, year;
    jde.GetMDY(month, day, year);
    return year;
}

} // namespace

double TTimeZoneInfo::GetDstBiasDays() const {
    return std::abs(DaylightBias) / 1440.0;
}

astro::TJde SystemTimeToJde(const SYSTEMTIME& st, int year) {
    if (st.wMonth == 0 || st.wDayOfWeek > 6)
        throw astro::EDstError();
    if (st.wYear != 0)
        return astro::TJde(SystemTimeToDateTime(st));
    if (st.wDay > 5)
        throw astro::EDstError();

    astro::TJde t;
    t.Set(st.wMonth, 1, year, st.wHour, st.wMinute, st.wSecond);
    for (int d = t.GetDowk(); d != st.wDayOfWeek; d = (d + 1) % 7)
        ++t;
    t += 7 * (st.wDay - 1); // wDay 0 steps back a week
    int month, day, y;
    t.GetMDY(month, day, y);
    if (month != st.wMonth) // past the month: wDay 5 is the last such weekday
        t -= 7;
    return t;
}

std::string SystemTimeAsString(const SYSTEMTIME& st) {
    if (st.wYear != 0) {
        try {
            return DateToStr(SystemTimeToDateTime(st));
        } catch (const std::exception&) {
            return "unknown";
        }
    }
    if (st.wDay == 0 && st.wDayOfWeek == 0 && st.wMonth == 0)
        return "None";
    return std::string(NameOf(Ordinals, 6, st.wDay)) + " " + NameOf(DayNames, 7, st.wDayOfWeek) +
           " in " + NameOf(MonthNames, 13, st.wMonth);
}

namespace astro {

TJde TJde::DstStart(const TTimeZoneInfo& zone) const {
    return SystemTimeToJde(zone.DaylightDate, YearOf(*this));
}

TJde TJde::DstEnd(const TTimeZoneInfo& zone) const {
    return SystemTimeToJde(zone.StandardDate, YearOf(*this));
}

bool TJde::IsDst(const TTimeZoneInfo& zone) const {
    if (!zone.HasDst())
        return false;
    const TJde start = DstStart(zone);
    const TJde end = DstEnd(zone);
    if (start < end)
        return start < *this && *this < end;
    return *this < end || start <= *this;
}

TJde& TJde::CorrectToLocal(const TTimeZoneInfo& zone) {
    if (!IsValid())
        return *this;
    TJde local = *this - zone.GetBiasDays(); // local standard time
    if (local.IsDst(zone))
        local += zone.GetDstBiasDays();
    return *this = local;
}

TJde& TJde::CorrectFromLocal(const TTimeZoneInfo& zone) {
    if (!IsValid())
        return *this;
    TJde universal = *this;
    if (IsDst(zone))
        universal -= zone.GetDstBiasDays();
    universal += zone.GetBiasDays();
    return *this = universal;
}

} // namespace astro
