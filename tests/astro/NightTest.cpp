#include "astro/Night.h"

#include "tests/support/ScopedEnv.h"

#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <string>

namespace {

using namespace astro;

constexpr const char* CentralEurope = "CET-1CEST,M3.5.0,M10.5.0/3";
const TPosition Berlin{52.52, 13.405, 34.0};

double JdOf(int year, int month, int day, int hour, int minute) {
    TJde jde;
    jde.Set(month, day, year, hour, minute, 0);
    return jde.FJd;
}

// Local clock minutes of a universal instant.
int LocalMinutes(const TJde& ut) {
    int month, day, year, hour, minute, second;
    UtToLocal(ut).Get(month, day, year, hour, minute, second);
    return hour * 60 + minute + (second >= 30 ? 1 : 0);
}

int Minutes(const char* hhmm) {
    int h = 0, m = 0;
    std::sscanf(hhmm, "%d:%d", &h, &m);
    return h * 60 + m;
}

TEST(LocalNight, RunsFromLocalNoonToNoonAcrossAChangeOfClocks) {
    TScopedEnv tz("TZ", CentralEurope);
    const TNightEvents summer = GetLocalNight(Berlin, 2024, 6, 21);
    EXPECT_NEAR(summer.Start.FJd, JdOf(2024, 6, 21, 10, 0), 1e-9);
    EXPECT_NEAR(summer.Midnight.FJd, JdOf(2024, 6, 21, 22, 0), 1e-9);
    EXPECT_NEAR(summer.End.FJd, JdOf(2024, 6, 22, 10, 0), 1e-9);
    // The clocks go back at 03:00 on 27 October 2024: that night lasts 25 hours.
    const TNightEvents autumn = GetLocalNight(Berlin, 2024, 10, 26);
    EXPECT_NEAR(autumn.Midnight.FJd, JdOf(2024, 10, 26, 22, 0), 1e-9);
    EXPECT_NEAR(autumn.End.FJd - autumn.Start.FJd, 25.0 / 24.0, 1e-9);
    const TNightEvents spring = GetLocalNight(Berlin, 2024, 3, 30);
    EXPECT_NEAR(spring.End.FJd - spring.Start.FJd, 23.0 / 24.0, 1e-9);
}

TEST(LocalNight, EventsInLocalClockTime) {
    TScopedEnv tz("TZ", CentralEurope);
    // Expected local times from PyEphem (pressure 0, the same event altitudes), to the minute.
    const struct {
        int Month, Day;
        const char *Sunset, *NauticalDusk, *NauticalDawn, *Sunrise, *Moonrise, *Moonset;
    } cases[] = {
        {6, 21, "21:33", "23:47", "02:30", "04:43", "21:56", "04:11"},
        {10, 26, "17:47", "19:03", "05:39", "06:54", "02:04", "16:14"},
        {12, 21, "15:54", "17:20", "06:50", "08:16", "22:59", "11:57"},
    };
    for (const auto& c : cases) {
        const TNightEvents night = GetLocalNight(Berlin, 2024, c.Month, c.Day);
        const std::string date = std::to_string(c.Month) + "/" + std::to_string(c.Day);
        EXPECT_NEAR(LocalMinutes(night.Sunset), Minutes(c.Sunset), 1) << date;
        EXPECT_NEAR(LocalMinutes(night.NauticalDusk), Minutes(c.NauticalDusk), 1) << date;
        EXPECT_NEAR(LocalMinutes(night.NauticalDawn), Minutes(c.NauticalDawn), 1) << date;
        EXPECT_NEAR(LocalMinutes(night.Sunrise), Minutes(c.Sunrise), 1) << date;
        ASSERT_TRUE(night.Moonrise && night.Moonset) << date;
        EXPECT_NEAR(LocalMinutes(*night.Moonrise), Minutes(c.Moonrise), 1) << date;
        EXPECT_NEAR(LocalMinutes(*night.Moonset), Minutes(c.Moonset), 1) << date;
    }
    // Midsummer in Berlin: the Sun stays above -18 degrees all night.
    const TNightEvents midsummer = GetLocalNight(Berlin, 2024, 6, 21);
    EXPECT_TRUE(midsummer.AstronomicalDusk.IsNoDark());
    EXPECT_TRUE(midsummer.AstronomicalDawn.IsNoDark());
}

TEST(LocalNight, PolarDayAndNightAreMarkers) {
    TScopedEnv tz("TZ", CentralEurope);
    const TPosition longyearbyen{78.2232, 15.6267, 0.0};
    const TNightEvents day = GetLocalNight(longyearbyen, 2024, 6, 21);
    for (const TJde& t : {day.Sunset, day.CivilDusk, day.AstronomicalDawn, day.Sunrise})
        EXPECT_TRUE(t.IsNoDark()) << t.FJd;
    const TNightEvents night = GetLocalNight(longyearbyen, 2024, 12, 21);
    for (const TJde& t : {night.Sunset, night.CivilDusk, night.CivilDawn, night.Sunrise})
        EXPECT_TRUE(t.IsAllDark()) << t.FJd;
    EXPECT_TRUE(night.AstronomicalDusk.IsValid()); // the noon Sun is above -18 degrees
    // The last sunset before the polar night: no sunrise before the next noon.
    const TNightEvents last = GetLocalNight(longyearbyen, 2024, 10, 25);
    EXPECT_TRUE(last.Sunset.IsValid());
    EXPECT_TRUE(last.Sunrise.IsAllDark());
}

TEST(LocalNight, ImpossibleDatesAndSitesAreRefused) {
    TScopedEnv tz("TZ", CentralEurope);
    EXPECT_THROW(GetLocalNight(Berlin, 2024, 2, 30), Exception);
    EXPECT_THROW(GetLocalNight(Berlin, 2024, 13, 1), Exception);
    EXPECT_THROW(GetLocalNight(TPosition{91.0, 0.0, 0.0}, 2024, 6, 1), ESiteError);
}

TEST(LocalNight, UniversalAndLocalClockRoundTrip) {
    TScopedEnv tz("TZ", CentralEurope);
    const double winter = JdOf(2024, 1, 15, 11, 0);
    EXPECT_NEAR(UtToLocal(TJde(winter)).FJd, JdOf(2024, 1, 15, 12, 0), 1e-9);
    EXPECT_NEAR(LocalToUt(TJde(JdOf(2024, 7, 15, 12, 0))).FJd, JdOf(2024, 7, 15, 10, 0), 1e-9);
    EXPECT_NEAR(LocalToUt(UtToLocal(TJde(winter))).FJd, winter, 1e-9);
    for (const double marker : {TJde::MinValue, TJde::MaxValue}) {
        EXPECT_EQ(UtToLocal(TJde(marker)).FJd, marker);
        EXPECT_EQ(LocalToUt(TJde(marker)).FJd, marker);
    }
    EXPECT_NEAR(UtToLocal(TJde(1e15)).FJd, 1e15, 1.0); // far out of range: no overflow
    EXPECT_TRUE(std::isnan(UtToLocal(TJde(std::nan(""))).FJd));
}

} // namespace
