#include "history/Night.h"

#include "history/NightSky.h"
#include "platform/Exception.h"
#include "tests/support/RowName.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono;

TLocalTime At(int y, unsigned m, unsigned d, int hh, int mm = 0, int ss = 0) {
    return local_days{year{y} / m / d} + hours{hh} + minutes{mm} + seconds{ss};
}

TNightReading Reading(TLocalTime time, double magnitude) {
    TNightReading r;
    r.Time = time;
    r.Magnitude = magnitude;
    return r;
}

struct TNightOfRow {
    std::string Name;
    TLocalTime Time;
    std::string Night;
};

class NightOfTest : public testing::TestWithParam<TNightOfRow> {};

TEST_P(NightOfTest, NamesTheNightByItsEvening) {
    EXPECT_EQ(TNight::Of(GetParam().Time).AsText(), GetParam().Night);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, NightOfTest,
    testing::Values(TNightOfRow{"NoonStartsANight", At(2017, 3, 21, 12), "2017-03-21"},
                    TNightOfRow{"LastSecondBeforeNoon", At(2017, 3, 21, 11, 59, 59), "2017-03-20"},
                    TNightOfRow{"Midnight", At(2017, 3, 22, 0), "2017-03-21"},
                    TNightOfRow{"NewYearsMorning", At(2017, 1, 1, 3), "2016-12-31"},
                    TNightOfRow{"AfterLeapDay", At(2016, 3, 1, 6), "2016-02-29"}),
    RowName());

TEST(NightTest, SpansNoonToNoon) {
    const TNight night = TNight::Parse("2017-03-21");
    EXPECT_EQ(night.GetStart(), At(2017, 3, 21, 12));
    EXPECT_EQ(night.GetEnd(), At(2017, 3, 22, 12));
    EXPECT_TRUE(night.Contains(At(2017, 3, 21, 12)));
    EXPECT_FALSE(night.Contains(At(2017, 3, 22, 12)));
    EXPECT_DOUBLE_EQ(night.HoursOf(At(2017, 3, 22, 1, 30)), 13.5);
}

TEST(NightTest, ParseRejectsAnythingButAnExistingIsoDate) {
    for (const char* text : {"", "2017-3-21", "2017/03/21", "2017-02-29", "2017-03-21x",
                             "0000-01-01", "20170321", "2017-13-01", "-017-03-21"}) {
        try {
            TNight::Parse(text);
            ADD_FAILURE() << text << " was accepted";
        } catch (const Exception& e) {
            EXPECT_EQ(std::string(e.what()),
                      "'" + std::string(text) + "' is not a date of the form YYYY-MM-DD.");
        }
    }
    EXPECT_EQ(TNight::Parse("2016-02-29").AsText(), "2016-02-29");
}

TEST(NightTest, SelectsOneNightInTimeOrder) {
    const std::vector<TNightReading> file = {
        Reading(At(2017, 3, 22, 2), 21.0),  Reading(At(2017, 3, 21, 11, 59, 59), 15.0),
        Reading(At(2017, 3, 21, 12), 16.0), Reading(At(2017, 3, 21, 22), 20.0),
        Reading(At(2017, 3, 22, 12), 15.5), Reading(At(2017, 3, 21, 22), 20.5)};
    const std::vector<TNightReading> night = SelectNight(file, TNight::Parse("2017-03-21"));
    std::vector<double> magnitudes;
    for (const TNightReading& r : night)
        magnitudes.push_back(r.Magnitude);
    EXPECT_EQ(magnitudes, (std::vector<double>{16.0, 20.0, 20.5, 21.0}));
    EXPECT_EQ(LatestNight(file)->AsText(), "2017-03-22");
    EXPECT_FALSE(LatestNight({}));
}

TEST(NightTest, SummaryTakesDarkestBrightestAndMean) {
    const std::vector<TNightReading> night = {
        Reading(At(2017, 3, 21, 20), 18.0), Reading(At(2017, 3, 21, 23), 21.5),
        Reading(At(2017, 3, 22, 1), 21.5), Reading(At(2017, 3, 22, 5), 18.0),
        Reading(At(2017, 3, 22, 3), 20.0)};
    const std::optional<TNightSummary> s = SummarizeNight(night);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->Count, 5u);
    EXPECT_EQ(s->Darkest.Time, At(2017, 3, 21, 23));
    EXPECT_EQ(s->Brightest.Time, At(2017, 3, 21, 20));
    EXPECT_DOUBLE_EQ(s->MeanMagnitude, 19.8);
    EXPECT_FALSE(SummarizeNight({}));
}

TEST(NightTest, NelmScaleEndsAtThePerfectlyDarkSky) {
    EXPECT_FALSE(MagnitudeForNelm(7.93));
    EXPECT_FALSE(MagnitudeForNelm(8.5));
    EXPECT_LT(*MagnitudeForNelm(6.0), *MagnitudeForNelm(6.5));
}

TEST(NightTest, LocalTimeDropsMillisecondsAsTheFileDoes) {
    EXPECT_EQ(LocalTimeOf(EncodeDateTime(2017, 3, 21, 21, 30, 15, 999)),
              At(2017, 3, 21, 21, 30, 15));
    EXPECT_EQ(ClockText(At(2017, 3, 21, 7, 5, 59)), "07:05");
}

TEST(NightTest, MergedReadingsCountAStoredSessionReadingOnce) {
    const TNight night = TNight::Parse("2017-03-21");
    const std::vector<TNightReading> stored = {Reading(At(2017, 3, 21, 20), 19.0),
                                               Reading(At(2017, 3, 21, 22), 20.5),
                                               Reading(At(2017, 3, 20, 22), 20.0)};
    const std::vector<TNightReading> session = {
        Reading(At(2017, 3, 21, 22), 20.5000001), // stored already
        Reading(At(2017, 3, 21, 22), 20.7),       // same second, another value
        Reading(At(2017, 3, 21, 21), 20.1),       // not stored (storage off)
        Reading(At(2017, 3, 22, 13), 15.0)};      // the next night
    std::vector<double> magnitudes;
    for (const TNightReading& r : MergeReadings(stored, session, night))
        magnitudes.push_back(r.Magnitude);
    EXPECT_EQ(magnitudes, (std::vector<double>{19.0, 20.1, 20.5, 20.7}));
}

std::string Bands(const std::vector<TTwilightBand>& bands) {
    static const char* const names[] = {"day", "civil", "nautical", "astronomical"};
    std::string text;
    for (const TTwilightBand& b : bands)
        text += std::string(names[int(b.Kind)]) + " " + ClockText(b.Start) + "-" +
                ClockText(b.End) + "; ";
    return text;
}

TEST(NightSkyTest, TwilightBandsFromTheSunsStretchesBelowEachAltitude) {
    const TNight night = TNight::Parse("2026-03-20");
    const auto span = [](int h1, int m1, int h2, int m2) {
        return TSunBelow{At(2026, 3, 20, h1, m1), At(2026, 3, h2 < 12 ? 21 : 20, h2, m2)};
    };
    const TSunBelow whole{night.GetStart(), night.GetEnd()};
    struct TRow {
        const char* Name;
        std::array<std::optional<TSunBelow>, 4> Below;
        std::string Bands;
    };
    const TRow rows[] = {
        {"FullNight",
         {span(18, 10, 6, 0), span(18, 40, 5, 30), span(19, 15, 4, 55), span(19, 50, 4, 20)},
         "day 12:00-18:10; day 06:00-12:00; civil 18:10-18:40; civil 05:30-06:00; "
         "nautical 18:40-19:15; nautical 04:55-05:30; astronomical 19:15-19:50; "
         "astronomical 04:20-04:55; "},
        {"NeverAstronomicallyDark",
         {span(21, 30, 4, 0), span(22, 30, 3, 0), std::nullopt, std::nullopt},
         "day 12:00-21:30; day 04:00-12:00; civil 21:30-22:30; civil 03:00-04:00; "
         "nautical 22:30-03:00; "},
        {"PolarDay", {std::nullopt, std::nullopt, std::nullopt, std::nullopt}, "day 12:00-12:00; "},
        {"PolarNight",
         {whole, whole, whole, span(20, 0, 4, 0)},
         "astronomical 12:00-20:00; astronomical 04:00-12:00; "},
        {"StretchBeyondTheNight",
         {TSunBelow{At(2026, 3, 20, 6), At(2026, 3, 22, 0)}, std::nullopt, std::nullopt,
          std::nullopt},
         "civil 12:00-12:00; "},
    };
    for (const TRow& row : rows)
        EXPECT_EQ(Bands(TwilightBands(night, row.Below)), row.Bands) << row.Name;
}

} // namespace
