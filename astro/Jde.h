#pragma once

// The date library: one instant as a Julian day number with a fraction of a day.
//
// Conventions
// - The day starts at noon: whole numbers fall at noon, numbers ending in .5 at midnight.
//   0.0 is noon of 1 January -4712 (Julian calendar); 2451545.0 is 2000-01-01 12:00 (J2000.0);
//   2415018.5 is 1899-12-30 00:00, the epoch of TDateTime.
// - Astronomical year numbering: year 0 exists and is 1 BC.
// - Calendar: Julian before 15 October 1582, Gregorian from that day on. Three departures from
//   the true calendar are part of the contract:
//   * Set and SetMDY apply the Gregorian correction to all of October 1582, so 1 to 14 October
//     are accepted and read back ten days early in the Julian calendar (4 October 1582 is
//     built as 2299149.5, which reads back as 24 September 1582).
//   * Month lengths (GetMonDays, and so the day test of Set) give February 29 days in every
//     year divisible by 4: 29 February 1900 is accepted and equals 1 March 1900.
//   * IsLeap, GetDoy and GetYear use the Gregorian leap rule in every year: GetDoy counts one
//     day less after February in Julian century years such as 1500, and counts 15 October to
//     31 December 1582 as if the calendar had always been Gregorian.
// - Supported range: values from 0.0 upward. Set and GetMDY also work below 0 (the Julian
//   calendar continues backwards); the clock-time accessors take the fraction relative to the
//   whole part truncated toward zero and are not meaningful for negative values. The
//   accessors read values beyond +-1e11 days (and NaN) as that bound.
// - Resolution: clock times read back to the second (GetHMS), minute (GetHM) or millisecond
//   (GetHMSMs), each rounded to the nearest unit; the last half unit before midnight reads as
//   00:00 of the same calendar date (there is no carry into the date).
// - Markers: MaxValue (all dark: the time does not occur because it stays dark all day) and
//   MinValue (no dark: it never gets dark) are not dates. Only IsValid, IsNoDark, IsAllDark
//   and the local-time corrections look at them; callers test IsValid before taking a value
//   apart.
// - No time scale is attached: the value is in whatever clock the caller uses.
// - Failures: invalid calendar or clock fields raise EJdeError (astro/JdeError.h) with the
//   message "The specified date/time is not valid: " and a reason; the value is unchanged.

#include "platform/DateTime.h"
#include "platform/Exception.h"
#include "platform/Export.h"
#include "platform/SystemTime.h"

#include <cstdint>
#include <limits>
#include <string>
#include <type_traits>

struct TTimeZoneInfo;

namespace astro {

// Date layouts of AsString and SetAsText; the examples are for 14 March 2015 21:05:09.
enum TDateFormat {
    dfBlank,     // no date, but the blank before a time part is written
    dfNone,      // no date and no blank
    dfMDY,       // 03/14/2015
    dfDMY,       // 14/03/2015
    dfYMD,       // 2015/03/14
    dfMD,        // 03/14
    dfDM,        // 14/03
    dfMonDY,     // Mar 14 2015
    dfDMonY,     // 14 Mar 2015
    dfYMonD,     // 2015 Mar 14
    dfMonD,      // Mar 14
    dfDMon,      // 14 Mar
    dfDowk,      // Sat
    dfYMDDecimal // 2015/03/14.8786
};

// Time layouts of AsString and SetAsText.
enum TTimeFormat {
    tfNone,
    tfHMS,     // 21:05:09
    tfHM,      // 21:05
    tfH,       // 21 hrs
    tfHMSAmPm, // 09:05:09p
    tfHMAmPm,  // 09:05p
    tfHAmPm    // 09p
};

class NIGHTLUX_EXPORT TJde {
public:
    static constexpr double MaxValue = std::numeric_limits<double>::max();
    static constexpr double MinValue = std::numeric_limits<double>::min();

    TJde() = default;
    TJde(double jd) : FJd(jd) {}
    // Calendar date and clock time of the platform value, milliseconds dropped.
    TJde(const TDateTime& dateTime);
    TJde(const TJde&) = default;
    TJde& operator=(const TJde&) = default;

    // Setting from calendar fields; each raises EJdeError and leaves the value unchanged.
    void Set(int month, int day, int year, double hours);
    void Set(int month, int day, int year, int hour, int minute, int second);
    void SetMDY(int month, int day, int year);
    void SetHM(int hour, int minute, int twelveHour, int pm);
    void SetBeginYr();
    void SetEndYr();
    void MergeDate(const TJde& other);
    void MergeTime(const TJde& other);
    void RoundToSec();
    void SetNow();
    void SetNowMs();
    void SetToday();
    void FromT(double t);

    // Reading.
    void GetMDY(int& month, int& day, int& year) const;
    void GetHMS(int& hour, int& minute, int& second) const;
    void GetHM(int& hour, int& minute, int twelveHour, int* pm) const;
    void GetHMSMs(int& hour, int& minute, int& second, int& millisecond) const;
    void Get(int& month, int& day, int& year, int& hour, int& minute, int& second) const;
    int GetMinuteOfDay() const;
    int GetDowk() const; // 0 = Sunday ... 6 = Saturday
    const char* GetDowkName() const;
    int GetDoy() const;
    double GetYear() const;
    static int GetMonDays(int month, int year);
    bool IsLeap() const;
    double GetT() const;
    double GetDeltaT() const; // seconds
    bool IsValid() const { return FJd != MinValue && FJd != MaxValue; }
    bool IsNoDark() const { return FJd == MinValue; }
    bool IsAllDark() const { return FJd == MaxValue; }
    TJde CalcNextMidnite() const;

    // Arithmetic in days and comparison.
    TJde& operator++() { return *this += 1.0; }
    TJde& operator--() { return *this -= 1.0; }
    TJde& operator+=(double days) {
        FJd += days;
        return *this;
    }
    TJde& operator-=(double days) {
        FJd -= days;
        return *this;
    }
    TJde operator+(double days) const { return TJde(FJd + days); }
    TJde operator-(double days) const { return TJde(FJd - days); }
    bool operator<(const TJde& other) const { return FJd < other.FJd; }
    bool operator<=(const TJde& other) const { return FJd <= other.FJd; }
    bool operator==(const TJde& other) const { return FJd == other.FJd; }

    // Same calendar date and clock time (rounded to the second) as a platform value. Raises
    // EConvertError "Year is out of range" outside years 0..65535, and the platform's own
    // conversion error for a date it cannot encode.
    TDateTime AsDateTime() const;

    // Text forms (UTF-8; names and separators are fixed, the same in every locale).
    // AsString never fails. SetAsText reads the date layouts dfMDY, dfDMY, dfYMD, dfMonDY,
    // dfDMonY and dfYMonD, and the time layouts tfHMS and tfHM (hour and minute; seconds are
    // not read) and tfHMSAmPm and tfHMAmPm (hour, minute and an am/pm word); it raises
    // EJdeError with the reason "Unsupported date/time format.", "Invalid month.",
    // "Invalid day of month.", "Invalid year." or "Invalid time.", in that order, and leaves
    // the value unchanged. Numeric fields take the digits '0'-'9' only; a field of such digits
    // too long for an int raises EConvertError.
    // AsXsdDateTime gives 2015-03-14T21:05:09 and raises EConvertError "Year is out of range"
    // outside years 0..65535.
    std::string AsString(TDateFormat dateFormat, TTimeFormat timeFormat) const;
    void SetAsText(const std::string& text, TDateFormat dateFormat, TTimeFormat timeFormat);
    std::string AsXsdDateTime() const;

    // Daylight saving in a zone, for the calendar year of this value. A zone whose standard
    // changeover is set but whose daylight changeover is missing raises EDstError.
    TJde DstStart(const TTimeZoneInfo& zone) const;
    TJde DstEnd(const TTimeZoneInfo& zone) const;
    // North (start before end): start < value < end. South: value < end or value >= start.
    bool IsDst(const TTimeZoneInfo& zone) const;
    // Universal time to local clock time and back; markers stay as they are, and a failed
    // rule leaves the value unchanged.
    TJde& CorrectToLocal(const TTimeZoneInfo& zone);
    TJde& CorrectFromLocal(const TTimeZoneInfo& zone);

    double FJd = 0.0; // Julian day number with fraction
};

// A changeover that is needed is missing or malformed.
class NIGHTLUX_EXPORT EDstError : public Exception {
public:
    EDstError() : Exception("DST rules are missing.") {}
};

} // namespace astro

// A time zone: exactly the fields of the platform's time-zone record, in its order, so that
// it can be filled from the platform's settings by one copy. A changeover (SYSTEMTIME) is
// either absolute (wYear != 0: that date and time) or a rule (wYear == 0: the wDay-th
// weekday wDayOfWeek of month wMonth at wHour:wMinute:wSecond, wDay 1..5, 5 = the last);
// wMonth 0 means none.
struct NIGHTLUX_EXPORT TTimeZoneInfo {
    std::int32_t Bias = 0; // minutes: universal = local standard + Bias
    char16_t StandardName[32] = {};
    SYSTEMTIME StandardDate{}; // to standard time; wMonth 0: no daylight saving
    std::int32_t StandardBias = 0;
    char16_t DaylightName[32] = {};
    SYSTEMTIME DaylightDate{};     // to daylight time
    std::int32_t DaylightBias = 0; // minutes of the shift; its sign is ignored

    // Every field, the names in full (also after their terminating zero).
    bool operator==(const TTimeZoneInfo&) const = default;

    int GetBiasMins() const { return Bias; }
    double GetBiasHrs() const { return Bias / 60.0; }
    double GetBiasDays() const { return Bias / 1440.0; }
    double GetDstBiasDays() const;
    bool HasDst() const { return StandardDate.wMonth != 0; }
};
static_assert(std::is_standard_layout_v<TTimeZoneInfo> &&
              std::is_trivially_copyable_v<TTimeZoneInfo> && sizeof(TTimeZoneInfo) == 172);

// The changeover instant in the given year (a rule) or its fixed date (absolute, milliseconds
// dropped; the year is not used), in whatever clock the caller's values use. Raises
// EDstError for month 0, a weekday above 6 or a rule's wDay above 5; EJdeError for a rule's
// month above 12 or a time of 24:00 or later; EConvertError for an absolute date the
// platform cannot encode.
NIGHTLUX_EXPORT astro::TJde SystemTimeToJde(const SYSTEMTIME& st, int year);

// "5th Sun in Oct" for a rule, "None" for an empty rule, the locale's short date for an
// absolute changeover ("unknown" when it cannot be converted). Never raises.
NIGHTLUX_EXPORT std::string SystemTimeAsString(const SYSTEMTIME& st);
