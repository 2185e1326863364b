#include "window/history/HistoryPlots.h"

#include "platform/Exception.h"
#include "tests/support/TempFolder.h"
#include "tests/window/history/HistoryFixture.h"

#include <QImage>
#include <QPalette>
#include <filesystem>
#include <gtest/gtest.h>
#include <qcustomplot.h>

namespace {

using namespace std::chrono;

THistoryPlotOptions ViewOf(THistoryView view) {
    THistoryPlotOptions options;
    options.View = view;
    return options;
}

QCPColorMap* ColourMapOf(QCustomPlot& plot) {
    for (int i = 0; i < plot.plottableCount(); ++i)
        if (auto* map = qobject_cast<QCPColorMap*>(plot.plottable(i)))
            return map;
    return nullptr;
}

QString TitleOf(QCustomPlot& plot) {
    auto* title = qobject_cast<QCPTextElement*>(plot.plotLayout()->element(0, 0));
    return title ? title->text() : QString();
}

} // namespace

TEST(HistoryPlots, ViewNamesGoBothWays) {
    for (THistoryView view : {THistoryView::Night, THistoryView::Sun, THistoryView::Hourglass,
                              THistoryView::Jellyfish, THistoryView::Histogram})
        EXPECT_EQ(HistoryViewNamed(HistoryViewName(view)), view);
    EXPECT_FALSE(HistoryViewNamed("Hourglass"));
    EXPECT_FALSE(HistoryViewNamed(""));
}

// Every view draws into a PNG of the asked size, and a plot reused for another view keeps
// no part of the one before (one colour scale at most, one title).
TEST(HistoryPlots, EveryViewSavesAPictureOfTheAskedSize) {
    const TStationHistory history = MakeHistory(20);
    TTempFolder folder;
    QCustomPlot plot;
    for (THistoryView view :
         {THistoryView::Hourglass, THistoryView::Jellyfish, THistoryView::Night, THistoryView::Sun,
          THistoryView::Histogram, THistoryView::Jellyfish}) {
        SCOPED_TRACE(HistoryViewName(view));
        DrawHistoryView(plot, history, ViewOf(view), QPalette());
        const bool colourMap = view == THistoryView::Hourglass || view == THistoryView::Jellyfish;
        EXPECT_EQ(ColourMapOf(plot) != nullptr, colourMap);
        EXPECT_EQ(plot.plotLayout()->elementCount(), colourMap ? 4 : 2); // 2x2 with the scale
        EXPECT_TRUE(TitleOf(plot).contains(QStringLiteral("Test Hill")));
        const QString file = QString::fromStdString(folder.File(HistoryViewName(view) + ".png"));
        SaveHistoryPlot(plot, file, QSize(640, 400));
        const QImage picture(file);
        ASSERT_FALSE(picture.isNull());
        EXPECT_EQ(picture.size(), QSize(640, 400));
    }
}

// A cell of the hourglass holds the mean MPSAS of its readings; cells without readings are
// empty (not a number, drawn transparent); the Sun's curves are drawn over it.
TEST(HistoryPlots, HourglassCellsHoldTheMeanOfTheirReadings) {
    const TStationHistory history = MakeHistory(10);
    QCustomPlot plot;
    DrawHistoryView(plot, history, ViewOf(THistoryView::Hourglass), QPalette());
    QCPColorMap* map = ColourMapOf(plot);
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map->data()->keySize(), 10);
    ASSERT_NE(map->colorScale(), nullptr);
    // The map's gradient is the scale's, and a cell without readings is transparent.
    EXPECT_EQ(map->gradient(), map->colorScale()->gradient());
    EXPECT_EQ(map->gradient().nanHandling(), QCPColorGradient::nhTransparent);
    // A dark sky is drawn dark.
    QCPColorGradient gradient = map->gradient();
    const QCPRange range = map->dataRange();
    EXPECT_LT(QColor(gradient.color(range.upper, range)).lightness(),
              QColor(gradient.color(range.lower, range)).lightness());
    // Night 3 at 23:00 (11 hours after noon): 21 + 0.3.
    EXPECT_NEAR(
        map->data()->data(sys_seconds{sys_days{year{2026} / March / 4}}.time_since_epoch().count(),
                          11.01),
        21.3, 1e-5);
    // Noon holds no reading.
    EXPECT_TRUE(std::isnan(map->data()->data(
        sys_seconds{sys_days{year{2026} / March / 4}}.time_since_epoch().count(), 0.5)));
    // The time axis runs from an hour before sunset to an hour after sunrise.
    EXPECT_DOUBLE_EQ(plot.yAxis->range().lower, 5.0);
    EXPECT_DOUBLE_EQ(plot.yAxis->range().upper, 19.0);
    int curves = 0;
    for (int i = 0; i < plot.graphCount(); ++i)
        curves += plot.graph(i)->dataCount() == 10;
    EXPECT_EQ(curves, 6); // sunset, sunrise, dusk, dawn, moonrise, moonset
}

// The jellyfish counts the readings of each five-minute, 0.05-magnitude cell over all nights.
TEST(HistoryPlots, JellyfishCountsReadingsPerCell) {
    const TStationHistory history = MakeHistory(1);
    QCustomPlot plot;
    DrawHistoryView(plot, history, ViewOf(THistoryView::Jellyfish), QPalette());
    QCPColorMap* map = ColourMapOf(plot);
    ASSERT_NE(map, nullptr);
    double total = 0;
    for (int key = 0; key < map->data()->keySize(); ++key)
        for (int value = 0; value < map->data()->valueSize(); ++value)
            if (const double n = map->data()->cell(key, value); !std::isnan(n))
                total += n;
    EXPECT_EQ(total, 73);
    EXPECT_EQ(map->data()->data(10.01, 21.02), 1); // 22:00 at 21.00
    EXPECT_EQ(map->colorScale()->dataScaleType(), QCPAxis::stLogarithmic);
}

TEST(HistoryPlots, DarkMedianIsTheMiddleOrTheMeanOfTheMiddleTwo) {
    TStationHistory history = MakeHistory(1);
    const year_month_day night = year{2026} / March / 1;
    EXPECT_DOUBLE_EQ(*DarkMedianOf(history, night), 21.0);
    for (THistoryReading& reading : history.Readings)
        reading.Dark = false;
    history.Readings[0].Dark = history.Readings[1].Dark = true; // 17.0 and 17.333
    EXPECT_NEAR(*DarkMedianOf(history, night), 17.1667, 1e-3);
    history.Readings[2].Dark = true; // 17.667
    EXPECT_NEAR(*DarkMedianOf(history, night), 17.3333, 1e-3);
    EXPECT_FALSE(DarkMedianOf(history, year{2026} / March / 2));
}

// The night view: an hour before sunset to an hour after sunrise, or noon to noon; the site,
// its position and the Moon in the title; the median of the dark readings drawn.
TEST(HistoryPlots, NightViewShowsTheNightAroundSunsetAndSunrise) {
    const TStationHistory history = MakeHistory(3);
    QCustomPlot plot;
    THistoryPlotOptions options = ViewOf(THistoryView::Night);
    options.Night = year{2026} / March / 2;
    DrawHistoryView(plot, history, options, QPalette());
    EXPECT_DOUBLE_EQ(plot.xAxis->range().lower, 5.5);
    EXPECT_DOUBLE_EQ(plot.xAxis->range().upper, 18.5);
    const QString title = TitleOf(plot);
    EXPECT_TRUE(title.contains(QStringLiteral("2026-03-02"))) << title.toStdString();
    EXPECT_TRUE(title.contains(QStringLiteral("48.500°N 3.250°W"))) << title.toStdString();
    EXPECT_TRUE(title.contains(QStringLiteral("Moon 25% lit"))) << title.toStdString();
    ASSERT_EQ(plot.graphCount(), 2);
    EXPECT_TRUE(plot.graph(1)->name().contains(QStringLiteral("21.10")));
    EXPECT_EQ(plot.graph(0)->dataCount(), 73);

    options.NoonToNoon = true;
    DrawHistoryView(plot, history, options, QPalette());
    EXPECT_DOUBLE_EQ(plot.xAxis->range().lower, 0.0);
    EXPECT_DOUBLE_EQ(plot.xAxis->range().upper, 24.0);
    // Without a night asked, the latest.
    DrawHistoryView(plot, history, ViewOf(THistoryView::Night), QPalette());
    EXPECT_TRUE(TitleOf(plot).contains(QStringLiteral("2026-03-03")));
}

TEST(HistoryPlots, HistogramCountsDarkAndClearReadings) {
    const TStationHistory history = MakeHistory(2); // night 0 clear, night 1 not
    QCustomPlot plot;
    DrawHistoryView(plot, history, ViewOf(THistoryView::Histogram), QPalette());
    ASSERT_EQ(plot.plottableCount(), 2);
    const auto total = [&](int i) {
        auto* bars = qobject_cast<QCPBars*>(plot.plottable(i));
        double sum = 0;
        for (auto it = bars->data()->constBegin(); it != bars->data()->constEnd(); ++it)
            sum += it->value;
        return sum;
    };
    EXPECT_EQ(total(0), 2 * 49);
    EXPECT_EQ(total(1), 49);
}

TEST(HistoryPlots, SunViewSplitsEveningAndMorning) {
    const TStationHistory history = MakeHistory(1);
    QCustomPlot plot;
    DrawHistoryView(plot, history, ViewOf(THistoryView::Sun), QPalette());
    ASSERT_EQ(plot.graphCount(), 2);
    EXPECT_EQ(plot.graph(0)->dataCount(), 36); // 18:00 to 23:50
    EXPECT_EQ(plot.graph(1)->dataCount(), 37); // 00:00 to 06:00
}

// What cannot be drawn is said, and a failed save leaves the older picture.
TEST(HistoryPlots, NothingToDrawAndFailedSavesAreReported) {
    QCustomPlot plot;
    EXPECT_THROW(
        DrawHistoryView(plot, TStationHistory{}, ViewOf(THistoryView::Hourglass), QPalette()),
        Exception);
    TStationHistory twilightOnly = MakeHistory(1);
    for (THistoryReading& reading : twilightOnly.Readings)
        reading.Dark = false;
    EXPECT_THROW(DrawHistoryView(plot, twilightOnly, ViewOf(THistoryView::Histogram), QPalette()),
                 Exception);
    THistoryPlotOptions otherNight = ViewOf(THistoryView::Night);
    otherNight.Night = year{2025} / January / 1;
    EXPECT_THROW(DrawHistoryView(plot, twilightOnly, otherNight, QPalette()), Exception);

    TTempFolder folder;
    EXPECT_THROW(SaveHistoryPlot(plot, QString::fromStdString(folder.File("no/such/a.png")),
                                 QSize(400, 300)),
                 Exception);
}
