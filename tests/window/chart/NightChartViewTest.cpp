#include "window/chart/NightChartView.h"

#include "history/SkyOfNight.h"
#include "tests/support/ScopedEnv.h"
#include "tests/window/chart/ChartFixture.h"
#include "window/chart/ChartPalette.h"

#include <QApplication>
#include <QCategoryAxis>
#include <QValueAxis>
#include <gtest/gtest.h>

namespace {

std::pair<double, double> Range(const QValueAxis* axis) {
    return {axis->min(), axis->max()};
}

TEST(NightChartViewTest, DarkerSkyLowerWithTheNelmScaleBesideIt) {
    TNightChartView view(TestNight);
    view.SetReadings({Reading(At(2017, 3, 21, 20), 18.3), Reading(At(2017, 3, 22, 1), 21.4)});
    EXPECT_TRUE(view.GetBrightnessAxis()->isReverse());
    EXPECT_TRUE(view.GetNelmAxis()->isReverse());
    EXPECT_EQ(Range(view.GetBrightnessAxis()), std::make_pair(18.0, 22.0));
    EXPECT_EQ(Range(view.GetNelmAxis()), Range(view.GetBrightnessAxis()));
    // Each NELM label stands at the sky brightness that gives it.
    const QStringList labels = view.GetNelmAxis()->categoriesLabels();
    EXPECT_EQ(labels, (QStringList{"4.0", "4.5", "5.0", "5.5", "6.0", "6.5"}));
    for (const QString& label : labels)
        EXPECT_NEAR(view.GetNelmAxis()->endValue(label), *MagnitudeForNelm(label.toDouble()), 1e-9);
}

TEST(NightChartViewTest, BrightnessRangeFitsTheReadings) {
    struct TRow {
        std::vector<double> Magnitudes;
        std::pair<double, double> Range;
    };
    const TRow rows[] = {{{}, {16.0, 22.0}},
                         {{20.0}, {19.0, 21.0}},
                         {{21.95}, {21.0, 23.0}},
                         {{19.5, 19.6}, {19.0, 21.0}},
                         {{5.0, 21.3}, {4.0, 22.0}}};
    TNightChartView view(TestNight);
    for (const TRow& row : rows) {
        std::vector<TNightReading> readings;
        for (const double m : row.Magnitudes)
            readings.push_back(Reading(At(2017, 3, 21, 22), m));
        view.SetReadings(readings);
        EXPECT_EQ(Range(view.GetBrightnessAxis()), row.Range) << row.Magnitudes.size();
    }
}

TEST(NightChartViewTest, ReadingsAddedInTheNightUpdateTheSummary) {
    TNightChartView view(TestNight);
    EXPECT_EQ(view.SummaryText(), "No readings yet");
    EXPECT_FALSE(view.AddReading(Reading(At(2017, 3, 22, 12), 21.0)));
    EXPECT_FALSE(view.AddReading(Reading(At(2017, 3, 21, 11, 59), 21.0)));
    EXPECT_TRUE(view.GetReadings().empty());

    EXPECT_TRUE(view.AddReading(Reading(At(2017, 3, 22, 2), 21.5)));
    EXPECT_EQ(view.SummaryText(), "Darkest 21.50 at 02:00 · brightest 21.50 at 02:00 · no site for "
                                  "the dark median · 1 reading");
    EXPECT_TRUE(view.AddReading(Reading(At(2017, 3, 21, 19, 30), 17.5)));
    EXPECT_EQ(view.GetReadings().front().Time, At(2017, 3, 21, 19, 30));
    EXPECT_EQ(view.SummaryText(), "Darkest 21.50 at 02:00 · brightest 17.50 at 19:30 · no site "
                                  "for the dark median · 2 readings");
    EXPECT_TRUE(view.chart()->title().contains("Night of 2017-03-21"));
    EXPECT_TRUE(view.chart()->title().contains("brightest 17.50 at 19:30"));
    EXPECT_EQ(Range(view.GetBrightnessAxis()), std::make_pair(17.0, 22.0));

    view.SetReadings({Reading(At(2017, 3, 20, 23), 20.0), Reading(At(2017, 3, 21, 23), 20.2)});
    EXPECT_EQ(view.GetReadings().size(), 1u);

    view.SetNight(TNight::Parse("2017-03-22"));
    EXPECT_TRUE(view.GetReadings().empty());
    EXPECT_EQ(view.SummaryText(), "No readings yet");
}

// With the site known, the line is the median of the dark readings (Sun below -18 degrees, Moon
// down), not a mean over twilight and moonlight; the title names the site and the Moon's phase.
TEST(NightChartViewTest, TheSiteGivesTheMedianOfTheDarkReadingsAndNamesTheChart) {
    TScopedEnv tz("TZ", "Europe/Amsterdam");
    TNightChartView view(TestNight);
    // Astronomical dusk near 20:40; the Moon (past last quarter) rises near 02:50.
    view.SetReadings({Reading(At(2017, 3, 21, 20), 18.0), Reading(At(2017, 3, 21, 22), 21.0),
                      Reading(At(2017, 3, 21, 23), 21.4), Reading(At(2017, 3, 22, 0), 21.2),
                      Reading(At(2017, 3, 22, 5), 19.0)});
    EXPECT_FALSE(view.GetDarkMedian());
    view.SetSite(TPosition{52.16, 4.49, 0.0}, QStringLiteral("Leiden"));
    ASSERT_TRUE(view.GetDarkMedian());
    EXPECT_DOUBLE_EQ(*view.GetDarkMedian(), 21.2);
    EXPECT_TRUE(view.SummaryText().contains("dark median 21.20 MPSAS"))
        << view.SummaryText().toStdString();
    // A reading added later joins the dark ones when it is dark.
    EXPECT_TRUE(view.AddReading(Reading(At(2017, 3, 22, 1), 21.6)));
    EXPECT_DOUBLE_EQ(*view.GetDarkMedian(), 21.3);
    EXPECT_TRUE(view.AddReading(Reading(At(2017, 3, 22, 4), 10.0))); // moonlit: left out
    EXPECT_DOUBLE_EQ(*view.GetDarkMedian(), 21.3);
    const QString title = view.chart()->title();
    EXPECT_TRUE(
        title.contains("Night of 2017-03-21 at Leiden (52.160°N 4.490°E 0 m) · Moon 38% lit"))
        << title.toStdString();
    EXPECT_NEAR(view.GetMoonFraction(), 0.38, 0.01);

    view.SetReadings({Reading(At(2017, 3, 21, 19), 17.0)});
    EXPECT_FALSE(view.GetDarkMedian());
    EXPECT_TRUE(view.SummaryText().contains("no dark readings"));

    // An impossible site is taken as none.
    view.SetSite(TPosition{95.0, 4.49, {}}, QStringLiteral("Nowhere"));
    EXPECT_FALSE(view.GetDarkMedian());
    EXPECT_TRUE(view.SummaryText().contains("no site for the dark median"));
    EXPECT_FALSE(view.chart()->title().contains("Nowhere"));
}

// The hours shown: an hour before sunset to an hour after sunrise, noon to noon when asked, or
// when the twilight is not known, or where the Sun does not set.
TEST(NightChartViewTest, TheTimeAxisSpansSunsetToSunriseWithAnHourEitherSide) {
    TScopedEnv tz("TZ", "Europe/Amsterdam");
    TNightChartView view(TestNight);
    EXPECT_EQ(view.GetTimeSpan(), std::make_pair(0.0, 24.0));
    const TPosition leiden{52.16, 4.49, 0.0};
    const std::vector<TTwilightBand> bands = GetNightSky(leiden, TestNight).Twilight;
    view.SetTwilight(bands);
    const double sunset = TestNight.HoursOf(bands.front().End);
    const double sunrise = TestNight.HoursOf(bands.back().Start);
    EXPECT_NEAR(sunset, 6.95, 0.1);   // 18:57
    EXPECT_NEAR(sunrise, 18.75, 0.1); // 06:45, a label every second hour
    EXPECT_EQ(view.GetTimeSpan(), std::make_pair(sunset - 1, sunrise + 1));
    EXPECT_EQ(view.GetTimeAxis()->min(), sunset - 1);
    EXPECT_EQ(view.GetTimeAxis()->categoriesLabels().front(), "18:00");
    EXPECT_EQ(view.GetTimeAxis()->categoriesLabels().back(), "06:00");

    view.SetNoonToNoon(true);
    EXPECT_EQ(view.GetTimeSpan(), std::make_pair(0.0, 24.0));
    EXPECT_EQ(view.GetTimeAxis()->categoriesLabels().front(), "12:00");
    view.SetNoonToNoon(false);
    EXPECT_EQ(view.GetTimeSpan(), std::make_pair(sunset - 1, sunrise + 1));

    // Midsummer far north: daylight all night.
    const TNight summer = TNight::Parse("2017-06-21");
    view.SetNight(summer);
    view.SetTwilight(GetNightSky(TPosition{78.2, 15.6, 0.0}, summer).Twilight);
    EXPECT_EQ(view.GetTimeSpan(), std::make_pair(0.0, 24.0));
}

TEST(NightChartViewTest, MoonScaleOnlyWhileTheMoonIsUp) {
    TNightChartView view(TestNight);
    EXPECT_FALSE(view.GetMoonAxis()->isVisible());
    view.SetMoonAltitude({{At(2017, 3, 21, 20), -30.0}, {At(2017, 3, 22, 4), -2.0}});
    EXPECT_FALSE(view.GetMoonAxis()->isVisible());
    view.SetMoonAltitude({{At(2017, 3, 21, 20), -3.0}, {At(2017, 3, 22, 4), 40.0}});
    EXPECT_TRUE(view.GetMoonAxis()->isVisible());
    view.SetNight(TNight::Parse("2017-03-22"));
    EXPECT_FALSE(view.GetMoonAxis()->isVisible());
}

TEST(NightChartViewTest, ColoursFollowTheApplicationsPalette) {
    const QPalette original = QApplication::palette();
    TNightChartView view(TestNight);
    const QColor light = view.chart()->backgroundBrush().color();

    QApplication::setPalette(DarkWindowPalette());
    QApplication::processEvents();
    const QColor dark = view.chart()->backgroundBrush().color();
    EXPECT_EQ(dark, DarkWindowPalette().color(QPalette::Window));
    EXPECT_EQ(view.chart()->plotAreaBackgroundBrush().color(),
              DarkWindowPalette().color(QPalette::Base));
    EXPECT_EQ(view.GetBrightnessAxis()->labelsColor(),
              DarkWindowPalette().color(QPalette::WindowText));

    QApplication::setPalette(original);
    QApplication::processEvents();
    EXPECT_EQ(view.chart()->backgroundBrush().color(), light);
    EXPECT_NE(light, dark);
}

TEST(ChartPaletteTest, ReadingsStandOutOnLightAndDarkBackgrounds) {
    QPalette light;
    light.setColor(QPalette::Window, Qt::white);
    light.setColor(QPalette::Base, Qt::white);
    light.setColor(QPalette::WindowText, Qt::black);
    for (const QPalette& palette : {light, DarkWindowPalette()}) {
        const TChartPalette p = ChartPaletteFor(palette);
        EXPECT_EQ(p.Dark, palette == DarkWindowPalette());
        EXPECT_GT(std::abs(p.Readings.lightness() - p.PlotBackground.lightness()), 90);
        // Twilight fades from daylight to the end of astronomical twilight.
        EXPECT_GT(p.Twilight(TTwilightKind::Day).alpha(), p.Twilight(TTwilightKind::Civil).alpha());
        EXPECT_GT(p.Twilight(TTwilightKind::Civil).alpha(),
                  p.Twilight(TTwilightKind::Nautical).alpha());
        EXPECT_GT(p.Twilight(TTwilightKind::Nautical).alpha(),
                  p.Twilight(TTwilightKind::Astronomical).alpha());
    }
}

} // namespace
