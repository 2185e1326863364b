#include "astro/Jde.h"
#include "astro/JdeError.h"
#include "tests/astro/JdeFields.h"
#include "tests/support/RowName.h"

#include <gtest/gtest.h>

using namespace astro;

namespace {

// Saturday 14 March 2015 21:05:09.
const TJde Sample = JdeAt(3, 14, 2015, 21, 5, 9);

struct AsStringCase {
    const char* Name;
    TDateFormat Date;
    TTimeFormat Time;
    const char* Want;
};

const AsStringCase AsStringCases[] = {
    {"NoneNone", dfNone, tfNone, ""},
    {"BlankNone", dfBlank, tfNone, ""},
    {"BlankKeepsItsBlank", dfBlank, tfHMS, " 21:05:09"},
    {"NoneHasNoBlank", dfNone, tfHMS, "21:05:09"},
    {"MDYWithHM", dfMDY, tfHM, "03/14/2015 21:05"},
    {"MDY", dfMDY, tfNone, "03/14/2015"},
    {"DMY", dfDMY, tfNone, "14/03/2015"},
    {"YMD", dfYMD, tfNone, "2015/03/14"},
    {"MD", dfMD, tfNone, "03/14"},
    {"DM", dfDM, tfNone, "14/03"},
    {"MonDY", dfMonDY, tfNone, "Mar 14 2015"},
    {"DMonY", dfDMonY, tfNone, "14 Mar 2015"},
    {"YMonD", dfYMonD, tfNone, "2015 Mar 14"},
    {"MonD", dfMonD, tfNone, "Mar 14"},
    {"DMon", dfDMon, tfNone, "14 Mar"},
    {"Dowk", dfDowk, tfNone, "Sat"},
    {"YMDDecimal", dfYMDDecimal, tfNone, "2015/03/14.8786"},
    {"HMS", dfNone, tfHMS, "21:05:09"},
    {"HM", dfNone, tfHM, "21:05"},
    {"H", dfNone, tfH, "21 hrs"},
    {"HMSAmPm", dfNone, tfHMSAmPm, "09:05:09p"},
    {"HMAmPm", dfNone, tfHMAmPm, "09:05p"},
    {"HAmPm", dfNone, tfHAmPm, "09p"},
    {"DateFormatOutOfRange", static_cast<TDateFormat>(14), tfHMS, " 21:05:09"},
    {"TimeFormatOutOfRange", dfMDY, static_cast<TTimeFormat>(7), "03/14/2015 "},
};

class JdeAsString : public testing::TestWithParam<AsStringCase> {};

TEST_P(JdeAsString, WritesLayout) {
    EXPECT_EQ(Sample.AsString(GetParam().Date, GetParam().Time), GetParam().Want);
}

INSTANTIATE_TEST_SUITE_P(Cases, JdeAsString, testing::ValuesIn(AsStringCases), RowName());

// Rounding for the time layout, carried into the date.
struct CarryCase {
    const char* Name;
    int Hour, Minute, Second;
    TDateFormat Date;
    TTimeFormat Time;
    const char* Want;
};

const CarryCase CarryCases[] = {
    {"MinuteCarriesIntoNextDay", 23, 59, 45, dfMDY, tfHM, "03/15/2015 00:00"},
    {"SecondsShownAsTheyAre", 23, 59, 45, dfMDY, tfHMS, "03/14/2015 23:59:45"},
    {"DecimalDayFromAdjustedFractionFromValue", 23, 59, 45, dfYMDDecimal, tfHM,
     "2015/03/15.9998 00:00"},
    {"HourCarriesIntoNextDay", 23, 40, 0, dfMDY, tfH, "03/15/2015 00 hrs"},
    {"HourAmPmCarriesIntoNextDay", 23, 40, 0, dfMDY, tfHAmPm, "03/15/2015 12a"},
    {"DowkOfAdjustedDay", 23, 40, 0, dfDowk, tfH, "Sun 00 hrs"},
    {"JustAfterMidnightAm", 0, 5, 0, dfNone, tfHMAmPm, "12:05a"},
    {"NoonIsPm", 12, 30, 0, dfNone, tfHMAmPm, "12:30p"},
    {"MorningSeconds", 9, 5, 9, dfNone, tfHMSAmPm, "09:05:09a"},
    {"HalfMinuteRoundsUp", 21, 5, 30, dfNone, tfHM, "21:06"},
    {"BeforeHalfMinuteStays", 21, 5, 29, dfNone, tfHM, "21:05"},
    {"HalfHourRoundsUp", 21, 30, 0, dfNone, tfH, "22 hrs"},
    {"BeforeHalfHourStays", 21, 29, 59, dfNone, tfH, "21 hrs"},
    {"RoundingReachesNoon", 11, 59, 40, dfNone, tfHMAmPm, "12:00p"},
};

class JdeAsStringCarry : public testing::TestWithParam<CarryCase> {};

TEST_P(JdeAsStringCarry, RoundsThenWrites) {
    const CarryCase& c = GetParam();
    const TJde jde = JdeAt(3, 14, 2015, c.Hour, c.Minute, c.Second);
    EXPECT_EQ(jde.AsString(c.Date, c.Time), c.Want);
    EXPECT_EQ(jde.FJd, JdeAt(3, 14, 2015, c.Hour, c.Minute, c.Second).FJd);
}

INSTANTIATE_TEST_SUITE_P(Cases, JdeAsStringCarry, testing::ValuesIn(CarryCases), RowName());

TEST(JdeAsString, ClockRoundedToTheSecondFirst) {
    TJde jde;
    jde.SetMDY(3, 14, 2015);
    jde += (23 * 3600 + 59 * 60 + 59.6) / 86400.0; // reads as 00:00:00 of the same date
    EXPECT_EQ(jde.AsString(dfMDY, tfHMS), "03/14/2015 00:00:00");
    EXPECT_EQ(JdeAt(1, 5, 999, 7, 8, 9).AsString(dfYMD, tfHMS), "999/01/05 07:08:09");
    EXPECT_EQ(JdeAt(1, 1, -4712, 12, 0, 0).AsString(dfDMonY, tfNone), "01 Jan -4712");
}

struct ReadCase {
    const char* Name;
    const char* Text;
    TDateFormat Date;
    TTimeFormat Time;
    TFields Want;
};

const ReadCase ReadCases[] = {
    {"MDY", "03/14/2015 21:05", dfMDY, tfHM, {3, 14, 2015, 21, 5, 0}},
    {"DMY", "14/03/2015 21:05", dfDMY, tfHM, {3, 14, 2015, 21, 5, 0}},
    {"YMDWithHMS", "2015/03/14 21:05", dfYMD, tfHMS, {3, 14, 2015, 21, 5, 0}},
    {"BlanksBetweenDateFields", "03 14 2015 21:05", dfMDY, tfHM, {3, 14, 2015, 21, 5, 0}},
    {"MonthNameAnyCasePm", "14 mar 2015 9:05 PM", dfDMonY, tfHMAmPm, {3, 14, 2015, 21, 5, 0}},
    {"HalfPastMidnightAm", "2015/Mar/14 12:30 am", dfYMonD, tfHMAmPm, {3, 14, 2015, 0, 30, 0}},
    {"NoonPm", "Mar 14 2015 12:30 pm", dfMonDY, tfHMSAmPm, {3, 14, 2015, 12, 30, 0}},
    {"Hour13PmStays", "Mar 14 2015 13:00 pm", dfMonDY, tfHMAmPm, {3, 14, 2015, 13, 0, 0}},
    {"LongMonthName", "September 5 2015 9:00 AM", dfMonDY, tfHMAmPm, {9, 5, 2015, 9, 0, 0}},
    {"UpperCaseMonthPrefix", "SEPT 5 2015 9:00 am", dfMonDY, tfHMAmPm, {9, 5, 2015, 9, 0, 0}},
    {"LeadingZerosAndBlanks", "  0003/014/02015 021:005", dfMDY, tfHM, {3, 14, 2015, 21, 5, 0}},
    {"RepeatedSeparators", "03//14 /2015 21:05", dfMDY, tfHM, {3, 14, 2015, 21, 5, 0}},
    {"TextAfterMinuteIgnored", "03/14/2015 21:05 local", dfMDY, tfHM, {3, 14, 2015, 21, 5, 0}},
    {"February29OfLeapYear", "02/29/2016 00:00", dfMDY, tfHM, {2, 29, 2016, 0, 0, 0}},
};

class JdeSetAsText : public testing::TestWithParam<ReadCase> {};

TEST_P(JdeSetAsText, Reads) {
    const ReadCase& c = GetParam();
    TJde jde;
    const std::string text = c.Text;
    jde.SetAsText(text, c.Date, c.Time);
    EXPECT_EQ(FieldsOf(jde), c.Want);
    EXPECT_EQ(text, c.Text); // the caller's text is not changed
}

INSTANTIATE_TEST_SUITE_P(Cases, JdeSetAsText, testing::ValuesIn(ReadCases), RowName());

struct RejectCase {
    const char* Name;
    const char* Text;
    TDateFormat Date;
    TTimeFormat Time;
    const char* Reason;
};

const RejectCase RejectCases[] = {
    {"NoTime", "03/14/2015", dfMDY, tfHM, "Unsupported date/time format."},
    {"DashesAreNotSeparators", "2015-03-14 21:05", dfMDY, tfHM, "Unsupported date/time format."},
    {"Empty", "", dfMDY, tfHM, "Unsupported date/time format."},
    {"NoMinute", "03/14/2015 21", dfMDY, tfHM, "Unsupported date/time format."},
    {"TimeAlwaysRequired", "03/14/2015", dfMDY, tfNone, "Unsupported date/time format."},
    {"Month13", "13/14/2015 21:05", dfMDY, tfHM, "Invalid month."},
    {"SignedMonth", "+3/14/2015 21:05", dfMDY, tfHM, "Invalid month."},
    {"ShortMonthName", "Se 14 2015 21:05", dfMonDY, tfHM, "Invalid month."},
    {"UnknownMonthName", "Sap 14 2015 21:05", dfMonDY, tfHM, "Invalid month."},
    {"NumericMonthForName", "03 14 2015 21:05", dfMonDY, tfHM, "Invalid month."},
    {"UnreadDateFormat", "03/14/2015 21:05", dfMD, tfHM, "Invalid month."},
    {"UnreadDecimalFormat", "2015/03/14.8786 21:05", dfYMDDecimal, tfHM, "Invalid month."},
    {"February29", "02/29/2015 10:00", dfMDY, tfHM, "Invalid day of month."},
    {"Day32", "03/32/2015 10:00", dfMDY, tfHM, "Invalid day of month."},
    {"Day0", "03/00/2015 10:00", dfMDY, tfHM, "Invalid day of month."},
    {"NegativeDay", "03/-14/2015 10:00", dfMDY, tfHM, "Invalid day of month."},
    {"YearNotDigits", "03/14/15x 21:05", dfMDY, tfHM, "Invalid year."},
    {"Year0", "03/14/0 21:05", dfMDY, tfHM, "Invalid year."},
    {"Year10000", "03/14/10000 21:05", dfMDY, tfHM, "Invalid year."},
    {"YearBeforeTime", "03/14/abcd 25:00", dfMDY, tfHM, "Invalid year."},
    {"February29WithBadYear", "02/29/abcd 10:00", dfMDY, tfHM, "Invalid year."},
    {"DayBeforeYear", "02/30/abcd 10:00", dfMDY, tfHM, "Invalid day of month."},
    {"MonthBeforeYear", "13/14/abcd 10:00", dfMDY, tfHM, "Invalid month."},
    {"Hour24", "03/14/2015 24:00", dfMDY, tfHM, "Invalid time."},
    {"Minute60", "03/14/2015 21:60", dfMDY, tfHM, "Invalid time."},
    {"SecondsNotRead", "03/14/2015 21:05:09", dfMDY, tfHMS, "Invalid time."},
    {"AmPmWordNeedsBlank", "03/14/2015 21:05pm", dfMDY, tfHMAmPm, "Invalid time."},
    {"AmPmWordMissing", "03/14/2015 9:05", dfMDY, tfHMAmPm, "Invalid time."},
    {"AmPmWordByFirstTwoLetters", "03/14/2015 9:05 a.m.", dfMDY, tfHMAmPm, "Invalid time."},
    {"AmPmWordUnknown", "03/14/2015 9:05 xm", dfMDY, tfHMAmPm, "Invalid time."},
    {"WrittenTwelveHourText", "03/14/2015 09:05p", dfMDY, tfHMAmPm, "Invalid time."},
    {"SecondBlankJoinsHour", "03/14/2015  21:05", dfMDY, tfHM, "Invalid time."},
    {"TimeFormatNone", "03/14/2015 21:05", dfMDY, tfNone, "Invalid time."},
    {"TimeFormatH", "03/14/2015 21:05", dfMDY, tfH, "Invalid time."},
    {"TimeFormatHAmPm", "03/14/2015 9:05 pm", dfMDY, tfHAmPm, "Invalid time."},
    {"NonAsciiDigits", "\u0663/14/2015 21:05", dfMDY, tfHM, "Invalid month."},
    // A non-digit anywhere in an over-long token is the field's rejection, not an overflow.
    {"OverlongMonthWithLetter", "99999999999x/14/2015 21:05", dfMDY, tfHM, "Invalid month."},
    {"OverlongDayWithLetter", "03/99999999999x/2015 21:05", dfMDY, tfHM, "Invalid day of month."},
    {"OverlongYearWithLetter", "03/14/99999999999x 21:05", dfMDY, tfHM, "Invalid year."},
    {"OverlongHourWithLetter", "03/14/2015 99999999999x:05", dfMDY, tfHM, "Invalid time."},
    {"OverlongMinuteWithLetter", "03/14/2015 21:99999999999x", dfMDY, tfHM, "Invalid time."},
    {"OverlongDayEndingInArabicIndicDigit", "03/99999999999\u0663/2015 21:05", dfMDY, tfHM,
     "Invalid day of month."},
    {"ArabicIndicYear", "03/14/\u0662\u0660\u0661\u0665 21:05", dfMDY, tfHM, "Invalid year."},
    {"ExtendedArabicIndicHour", "03/14/2015 \u06F2\u06F1:05", dfMDY, tfHM, "Invalid time."},
    {"FullwidthMinute", "03/14/2015 21:\uFF10\uFF15", dfMDY, tfHM, "Invalid time."},
    {"DevanagariDay", "03/\u0967\u096A/2015 21:05", dfMDY, tfHM, "Invalid day of month."},
};

class JdeSetAsTextReject : public testing::TestWithParam<RejectCase> {};

TEST_P(JdeSetAsTextReject, RaisesReasonAndKeepsValue) {
    const RejectCase& c = GetParam();
    TJde jde(2457000.25);
    EXPECT_EQ(JdeErrorOf([&] { jde.SetAsText(c.Text, c.Date, c.Time); }), Invalid(c.Reason));
    EXPECT_EQ(jde.FJd, 2457000.25);
}

INSTANTIATE_TEST_SUITE_P(Cases, JdeSetAsTextReject, testing::ValuesIn(RejectCases), RowName());

TEST(JdeSetAsTextReject, DigitsBeyondAnIntAreAConversionError) {
    TJde jde(2457000.25);
    try {
        jde.SetAsText("03/14/99999999999 21:05", dfMDY, tfHM);
        ADD_FAILURE() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'99999999999' is not a valid integer value");
    }
    EXPECT_EQ(jde.FJd, 2457000.25);
    jde.SetAsText("000000000000003/14/2015 21:05", dfMDY, tfHM); // leading zeros only
    EXPECT_EQ(FieldsOf(jde), (TFields{3, 14, 2015, 21, 5, 0}));
}

TEST(JdeSetAsText, WrittenTextReadsBackToTheMinute) {
    const TDateFormat readable[] = {dfMDY, dfDMY, dfYMD, dfMonDY, dfDMonY, dfYMonD};
    for (const TJde& value : {JdeAt(3, 14, 2015, 21, 5, 0), JdeAt(1, 5, 999, 7, 8, 0),
                              JdeAt(12, 31, 9999, 23, 59, 0)}) {
        for (const TDateFormat format : readable) {
            const std::string text = value.AsString(format, tfHM);
            TJde back;
            back.SetAsText(text, format, tfHM);
            EXPECT_EQ(FieldsOf(back), FieldsOf(value)) << text;
        }
    }
}

TEST(JdeXsdDateTime, WritesFourDigitYearAndRoundedSecond) {
    EXPECT_EQ(JdeAt(1, 5, 999, 7, 8, 9).AsXsdDateTime(), "0999-01-05T07:08:09");
    EXPECT_EQ(Sample.AsXsdDateTime(), "2015-03-14T21:05:09");
    TJde jde = Sample;
    jde += 0.6 / 86400.0;
    EXPECT_EQ(jde.AsXsdDateTime(), "2015-03-14T21:05:10");
    EXPECT_EQ(JdeAt(1, 1, 0, 0, 0, 0).AsXsdDateTime(), "0000-01-01T00:00:00");
    EXPECT_EQ(JdeAt(1, 1, 65535, 0, 0, 0).AsXsdDateTime(), "65535-01-01T00:00:00");
    for (const int year : {-1, 65536}) {
        try {
            JdeAt(1, 1, year, 0, 0, 0).AsXsdDateTime();
            ADD_FAILURE() << year;
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), "Year is out of range");
        }
    }
}

} // namespace
