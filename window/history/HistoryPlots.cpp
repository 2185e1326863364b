#include "window/history/HistoryPlots.h"

#include "platform/Exception.h"
#include "window/chart/ChartPalette.h"

#include <QImageWriter>
#include <QSaveFile>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <qcustomplot.h>

namespace {

using namespace std::chrono;

constexpr double DayHours = 24.0;
// Bins of the colour maps: five minutes of the night, a twentieth of a magnitude.
constexpr double TimeBinHours = 5.0 / 60.0;
constexpr double MpsasBin = 0.05;
// The MPSAS shown at most and at least: brighter or darker readings are clipped.
constexpr double BrightestShown = 12.0;
constexpr double DarkestShown = 24.0;

// Hours since the local noon that starts the reading's night.
double NightHours(const THistoryReading& reading, year_month_day night) {
    const local_seconds noon = local_days{night} + hours{12};
    return duration<double>(reading.Local - noon).count() / 3600.0;
}

// The key of a night on a date axis: its date at 00:00 UTC in seconds.
double NightKey(year_month_day night) {
    return static_cast<double>(sys_days{night}.time_since_epoch().count()) * 86400.0;
}

QString DateText(year_month_day day) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(day.year()),
                  static_cast<unsigned>(day.month()), static_cast<unsigned>(day.day()));
    return QString::fromLatin1(text);
}

QString Coordinate(double value, char positive, char negative) {
    return QStringLiteral("%1°%2")
        .arg(std::abs(value), 0, 'f', 3)
        .arg(QLatin1Char(value < 0 ? negative : positive));
}

QString SiteText(const TStationHistory& history) {
    QString text = QString::fromStdString(history.SiteName);
    const QString position =
        Coordinate(history.Site.Latitude, 'N', 'S') + QLatin1Char(' ') +
        Coordinate(history.Site.Longitude, 'E', 'W') +
        QStringLiteral(" %1 m").arg(history.Site.Elevation.value_or(0.0), 0, 'f', 0);
    return text.isEmpty() ? position : text + QStringLiteral(" (") + position + QLatin1Char(')');
}

// Clock labels every two hours for an axis in hours since noon.
QSharedPointer<QCPAxisTickerText> ClockTicker(double from, double to) {
    auto ticker = QSharedPointer<QCPAxisTickerText>::create();
    const double step = to - from > 12 ? 2.0 : 1.0;
    for (auto i = static_cast<int>(std::ceil(from / step)); i * step <= to + 1e-9; ++i) {
        const double hour = i * step;
        const int clock = static_cast<int>(std::lround(hour + 12.0)) % 24;
        ticker->addTick(hour,
                        QStringLiteral("%1:00").arg((clock + 24) % 24, 2, 10, QLatin1Char('0')));
    }
    return ticker;
}

void StyleAxis(QCPAxis* axis, const TChartPalette& colours) {
    axis->setBasePen(QPen(colours.Text));
    axis->setTickPen(QPen(colours.Text));
    axis->setSubTickPen(QPen(colours.Text));
    axis->setTickLabelColor(colours.Text);
    axis->setLabelColor(colours.Text);
    axis->grid()->setPen(QPen(colours.Grid, 0, Qt::DotLine));
    axis->grid()->setSubGridVisible(false);
}

void Reset(QCustomPlot& plot, const TChartPalette& colours, const QString& title) {
    plot.clearPlottables();
    plot.clearItems();
    plot.clearGraphs();
    // Keeps the axis rectangle; drops the title and any colour scale of an earlier view.
    QCPAxisRect* rect = plot.axisRect();
    rect->setMarginGroup(QCP::msAll, nullptr);
    plot.plotLayout()->take(rect);
    plot.plotLayout()->clear();
    plot.plotLayout()->simplify();
    plot.plotLayout()->addElement(0, 0, rect);
    plot.setBackground(QBrush(colours.Background));
    plot.axisRect()->setBackground(QBrush(colours.PlotBackground));
    for (QCPAxis* axis : plot.axisRect()->axes()) {
        StyleAxis(axis, colours);
        axis->setTicker(QSharedPointer<QCPAxisTicker>::create());
        axis->setRangeReversed(false);
        axis->setLabel({});
        axis->setScaleType(QCPAxis::stLinear);
    }
    plot.xAxis2->setVisible(false);
    plot.yAxis2->setVisible(false);
    plot.legend->setVisible(false);
    plot.legend->setBrush(QBrush(colours.PlotBackground));
    plot.legend->setTextColor(colours.Text);
    plot.legend->setBorderPen(QPen(colours.Grid));
    plot.plotLayout()->insertRow(0);
    QFont font = plot.font();
    font.setBold(true);
    auto* heading = new QCPTextElement(&plot, title, font);
    heading->setTextColor(colours.Text);
    plot.plotLayout()->addElement(0, 0, heading);
}

QCPColorScale* AddColourScale(QCustomPlot& plot, QCPColorMap* map, const TChartPalette& colours,
                              const QString& label) {
    auto* scale = new QCPColorScale(&plot);
    plot.plotLayout()->addElement(1, 1, scale);
    scale->setType(QCPAxis::atRight);
    scale->setLabel(label);
    StyleAxis(scale->axis(), colours);
    map->setColorScale(scale);
    map->removeFromLegend();
    auto* margins = new QCPMarginGroup(&plot);
    plot.axisRect()->setMarginGroup(QCP::msBottom | QCP::msTop, margins);
    scale->setMarginGroup(QCP::msBottom | QCP::msTop, margins);
    return scale;
}

QCPGraph* AddGraph(QCustomPlot& plot, const QString& name, const QColor& colour,
                   QCPScatterStyle::ScatterShape shape, double size) {
    QCPGraph* graph = plot.addGraph();
    graph->setName(name);
    graph->setPen(QPen(colour));
    graph->setLineStyle(QCPGraph::lsNone);
    graph->setScatterStyle(QCPScatterStyle(shape, colour, colour, size));
    return graph;
}

void RequireReadings(const TStationHistory& history) {
    if (history.Readings.empty())
        throw Exception("There are no readings to draw.");
}

void DrawHourglass(QCustomPlot& plot, const TStationHistory& history,
                   const TChartPalette& colours) {
    RequireReadings(history);
    const year_month_day first = NightOf(history.Readings.front().Local);
    const year_month_day last = NightOf(history.Readings.back().Local);
    const int nights = static_cast<int>((sys_days{last} - sys_days{first}).count()) + 1;
    const int timeBins = static_cast<int>(std::lround(DayHours / TimeBinHours));
    // The mean MPSAS of each cell.
    std::vector<double> sum(static_cast<std::size_t>(nights) * timeBins, 0.0);
    std::vector<int> count(sum.size(), 0);
    for (const THistoryReading& reading : history.Readings) {
        const year_month_day night = NightOf(reading.Local);
        const auto column = static_cast<int>((sys_days{night} - sys_days{first}).count());
        const int row = std::clamp(static_cast<int>(NightHours(reading, night) / TimeBinHours), 0,
                                   timeBins - 1);
        const std::size_t cell = static_cast<std::size_t>(column) * timeBins + row;
        sum[cell] += reading.Mpsas;
        ++count[cell];
    }
    auto* map = new QCPColorMap(plot.xAxis, plot.yAxis);
    map->setName(QStringLiteral("MPSAS"));
    const double day = 86400.0;
    map->data()->setSize(nights, timeBins);
    map->data()->setRange(QCPRange(NightKey(first), NightKey(first) + (nights - 1) * day),
                          QCPRange(TimeBinHours / 2, DayHours - TimeBinHours / 2));
    double brightest = DarkestShown, darkest = BrightestShown;
    for (int column = 0; column < nights; ++column) {
        for (int row = 0; row < timeBins; ++row) {
            const std::size_t cell = static_cast<std::size_t>(column) * timeBins + row;
            double value = std::nan("");
            if (count[cell] > 0) {
                value = std::clamp(sum[cell] / count[cell], BrightestShown, DarkestShown);
                brightest = std::min(brightest, value);
                darkest = std::max(darkest, value);
            }
            map->data()->setCell(column, row, value);
        }
    }
    QCPColorGradient gradient(QCPColorGradient::gpThermal);
    gradient = gradient.inverted(); // dark sky dark, bright sky bright
    gradient.setNanHandling(QCPColorGradient::nhTransparent);
    map->setInterpolate(false);
    // The scale hands its gradient to the map.
    AddColourScale(plot, map, colours, QStringLiteral("Sky brightness (MPSAS)"))
        ->setGradient(gradient);
    // Daylight readings would spread the scale over what the view is not about.
    map->setDataRange(QCPRange(std::max(brightest, 16.0), std::max(darkest, 17.0)));

    // Sun and Moon over the map.
    std::vector<double> keys;
    std::vector<double> sunset, sunrise, dusk, dawn, moonrise, moonset;
    for (const TNightEvents& events : history.Events) {
        keys.push_back(NightKey(events.Night));
        sunset.push_back(events.Sunset);
        sunrise.push_back(events.Sunrise);
        dusk.push_back(events.DuskAstronomical);
        dawn.push_back(events.DawnAstronomical);
        moonrise.push_back(events.Moonrise);
        moonset.push_back(events.Moonset);
    }
    const QVector<double> k(keys.begin(), keys.end());
    const auto curve = [&](const QString& name, const std::vector<double>& values, QColor colour,
                           Qt::PenStyle style) {
        QCPGraph* graph = plot.addGraph();
        graph->setName(name);
        graph->setPen(QPen(colour, 1.5, style));
        graph->setData(k, QVector<double>(values.begin(), values.end()), true);
    };
    const QColor sun(0xff, 0xb0, 0x30), twilight(0x3f, 0x88, 0xdf);
    const QColor moon = colours.Dark ? QColor(0xe8, 0xe8, 0xe8) : QColor(0x6a, 0x6a, 0x8a);
    curve(QStringLiteral("Sunset, sunrise"), sunset, sun, Qt::SolidLine);
    plot.graph()->setVisible(true);
    curve(QString(), sunrise, sun, Qt::SolidLine);
    plot.graph()->removeFromLegend();
    curve(QStringLiteral("Astronomical twilight"), dusk, twilight, Qt::DashLine);
    curve(QString(), dawn, twilight, Qt::DashLine);
    plot.graph()->removeFromLegend();
    // Rise and set wrap around the day: dots, not lines.
    QCPGraph* rise = AddGraph(plot, QStringLiteral("Moonrise"), moon, QCPScatterStyle::ssDisc, 3);
    rise->setData(k, QVector<double>(moonrise.begin(), moonrise.end()), true);
    QCPGraph* set = AddGraph(plot, QStringLiteral("Moonset"), moon, QCPScatterStyle::ssCircle, 4);
    set->setData(k, QVector<double>(moonset.begin(), moonset.end()), true);

    auto dates = QSharedPointer<QCPAxisTickerDateTime>::create();
    dates->setDateTimeSpec(Qt::UTC);
    dates->setDateTimeFormat(nights > 120 ? QStringLiteral("MMM yyyy")
                                          : QStringLiteral("yyyy-MM-dd"));
    plot.xAxis->setTicker(dates);
    plot.xAxis->setLabel(QStringLiteral("Night"));
    plot.xAxis->setRange(NightKey(first) - day / 2, NightKey(first) + (nights - 0.5) * day);
    // Up from an hour before the earliest sunset to an hour after the latest sunrise.
    double from = DayHours, to = 0;
    for (std::size_t i = 0; i < sunset.size(); ++i) {
        if (std::isfinite(sunset[i]))
            from = std::min(from, sunset[i] - 1);
        if (std::isfinite(sunrise[i]))
            to = std::max(to, sunrise[i] + 1);
    }
    if (from >= to)
        from = 0, to = DayHours;
    from = std::max(0.0, std::floor(from)), to = std::min(DayHours, std::ceil(to));
    plot.yAxis->setTicker(ClockTicker(from, to));
    plot.yAxis->setRange(from, to);
    plot.yAxis->setLabel(QStringLiteral("Local time"));
    plot.legend->setVisible(true);
    plot.axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignRight);
}

void DrawJellyfish(QCustomPlot& plot, const TStationHistory& history,
                   const TChartPalette& colours) {
    RequireReadings(history);
    double brightest = DarkestShown, darkest = BrightestShown;
    for (const THistoryReading& reading : history.Readings) {
        brightest = std::min<double>(brightest, reading.Mpsas);
        darkest = std::max<double>(darkest, reading.Mpsas);
    }
    brightest = std::clamp(std::floor(brightest), BrightestShown, DarkestShown - 1);
    // A reading on a whole magnitude belongs to the bin above it: the range ends past it.
    darkest = std::clamp(std::floor(darkest) + 1, brightest + 1, DarkestShown);
    const int timeBins = static_cast<int>(std::lround(DayHours / TimeBinHours));
    const int mpsasBins = static_cast<int>(std::lround((darkest - brightest) / MpsasBin));
    std::vector<int> count(static_cast<std::size_t>(timeBins) * mpsasBins, 0);
    for (const THistoryReading& reading : history.Readings) {
        const double hours = NightHours(reading, NightOf(reading.Local));
        const int column = std::clamp(static_cast<int>(hours / TimeBinHours), 0, timeBins - 1);
        int row = static_cast<int>(std::floor((reading.Mpsas - brightest) / MpsasBin));
        if (reading.Mpsas == darkest)
            row = mpsasBins - 1; // the darkest shown, clipped
        if (row >= 0 && row < mpsasBins)
            ++count[static_cast<std::size_t>(column) * mpsasBins + row];
    }
    auto* map = new QCPColorMap(plot.xAxis, plot.yAxis);
    map->setName(QStringLiteral("Readings"));
    map->data()->setSize(timeBins, mpsasBins);
    map->data()->setRange(QCPRange(TimeBinHours / 2, DayHours - TimeBinHours / 2),
                          QCPRange(brightest + MpsasBin / 2, darkest - MpsasBin / 2));
    int most = 1;
    for (int column = 0; column < timeBins; ++column) {
        for (int row = 0; row < mpsasBins; ++row) {
            const int n = count[static_cast<std::size_t>(column) * mpsasBins + row];
            most = std::max(most, n);
            map->data()->setCell(column, row, n > 0 ? n : std::nan(""));
        }
    }
    QCPColorGradient gradient(QCPColorGradient::gpHot);
    gradient.setNanHandling(QCPColorGradient::nhTransparent);
    map->setInterpolate(false);
    QCPColorScale* scale = AddColourScale(plot, map, colours, QStringLiteral("Readings per cell"));
    scale->setGradient(gradient);
    // Counts span orders of magnitude: the faint tentacles matter as much as the body.
    scale->setDataScaleType(QCPAxis::stLogarithmic);
    scale->axis()->setTicker(QSharedPointer<QCPAxisTickerLog>::create());
    map->setDataRange(QCPRange(1, std::max(most, 10)));

    // Night hours that hold readings, an hour either side.
    double from = DayHours, to = 0;
    for (int column = 0; column < timeBins; ++column) {
        for (int row = 0; row < mpsasBins; ++row) {
            if (count[static_cast<std::size_t>(column) * mpsasBins + row] > 0) {
                from = std::min(from, column * TimeBinHours);
                to = std::max(to, (column + 1) * TimeBinHours);
            }
        }
    }
    from = std::max(0.0, std::floor(from)), to = std::min(DayHours, std::ceil(to));
    if (to - from < 2)
        from = std::max(0.0, from - 1), to = std::min(DayHours, to + 1);
    plot.xAxis->setTicker(ClockTicker(from, to));
    plot.xAxis->setRange(from, to);
    plot.xAxis->setLabel(QStringLiteral("Local time"));
    plot.yAxis->setRange(brightest, darkest);
    plot.yAxis->setLabel(QStringLiteral("Sky brightness (MPSAS)"));
}

void DrawSun(QCustomPlot& plot, const TStationHistory& history, const TChartPalette& colours) {
    RequireReadings(history);
    QVector<double> eveningX, eveningY, morningX, morningY;
    double low = 0, high = -90;
    for (const THistoryReading& reading : history.Readings) {
        // Before local midnight is evening.
        const bool evening = NightHours(reading, NightOf(reading.Local)) < 12.0;
        (evening ? eveningX : morningX).push_back(reading.SunAltitude);
        (evening ? eveningY : morningY).push_back(reading.Mpsas);
        low = std::min<double>(low, reading.SunAltitude);
        high = std::max<double>(high, reading.SunAltitude);
    }
    const QColor evening = colours.Dark ? QColor(0xf2, 0xa3, 0x5b) : QColor(0xc0, 0x5a, 0x10);
    const QColor morning = colours.Dark ? QColor(0x7f, 0xc8, 0xf8) : QColor(0x1d, 0x4f, 0x91);
    QCPGraph* e = AddGraph(plot, QStringLiteral("Evening"), evening, QCPScatterStyle::ssDisc, 2);
    e->setData(eveningX, eveningY);
    QCPGraph* m = AddGraph(plot, QStringLiteral("Morning"), morning, QCPScatterStyle::ssDisc, 2);
    m->setData(morningX, morningY);
    plot.xAxis->setLabel(QStringLiteral("Sun altitude (°)"));
    plot.xAxis->setRange(std::floor(low / 5) * 5, std::min(high, 10.0) + 1);
    plot.xAxis->setRangeReversed(true); // the night goes on to the right
    plot.yAxis->setLabel(QStringLiteral("Sky brightness (MPSAS)"));
    plot.yAxis->rescale();
    plot.yAxis->setRange(std::max(plot.yAxis->range().lower, BrightestShown),
                         std::min(plot.yAxis->range().upper, DarkestShown));
    plot.yAxis->setRangeReversed(true); // darker sky lower, as in the night view
    plot.legend->setVisible(true);
    plot.axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignBottom | Qt::AlignLeft);
}

void DrawHistogram(QCustomPlot& plot, const TStationHistory& history,
                   const TChartPalette& colours) {
    std::vector<float> all, clear;
    for (const THistoryReading& reading : history.Readings) {
        if (!reading.Dark)
            continue;
        all.push_back(reading.Mpsas);
        if (reading.Clear)
            clear.push_back(reading.Mpsas);
    }
    if (all.empty())
        throw Exception("There are no dark readings to draw: the Sun or the Moon was up at "
                        "every reading.");
    const auto [lowest, highest] = std::minmax_element(all.begin(), all.end());
    const double from = std::floor(*lowest * 10) / 10, to = std::ceil(*highest * 10) / 10 + 0.1;
    const int bins = std::max(1, static_cast<int>(std::lround((to - from) / MpsasBin)));
    const auto histogram = [&](const std::vector<float>& values) {
        QVector<double> counts(bins, 0.0);
        for (float value : values)
            ++counts[std::clamp(static_cast<int>((value - from) / MpsasBin), 0, bins - 1)];
        return counts;
    };
    QVector<double> keys(bins);
    for (int i = 0; i < bins; ++i)
        keys[i] = from + (i + 0.5) * MpsasBin;
    const auto bars = [&](const QString& name, const QVector<double>& counts, QColor colour) {
        auto* b = new QCPBars(plot.xAxis, plot.yAxis);
        b->setName(name);
        b->setWidthType(QCPBars::wtPlotCoords);
        b->setWidth(MpsasBin);
        QColor fill = colour;
        fill.setAlpha(150);
        b->setBrush(fill);
        b->setPen(QPen(colour));
        b->setData(keys, counts, true);
    };
    const QColor allColour = colours.Dark ? QColor(0x9a, 0xa5, 0xb1) : QColor(0x8a, 0x94, 0xa0);
    bars(QStringLiteral("All dark readings (%1)").arg(all.size()), histogram(all), allColour);
    bars(QStringLiteral("Classified clear (%1)").arg(clear.size()), histogram(clear),
         colours.Readings);
    plot.xAxis->setLabel(QStringLiteral("Sky brightness (MPSAS)"));
    plot.xAxis->setRange(from, to);
    plot.yAxis->setLabel(QStringLiteral("Readings"));
    plot.yAxis->rescale();
    plot.yAxis->setRange(0, plot.yAxis->range().upper * 1.05 + 1);
    plot.legend->setVisible(true);
    plot.axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignLeft);
}

void DrawNight(QCustomPlot& plot, const TStationHistory& history,
               const THistoryPlotOptions& options, const TChartPalette& colours,
               year_month_day night) {
    QVector<double> x, y;
    for (const THistoryReading& reading : history.Readings) {
        if (NightOf(reading.Local) == night) {
            x.push_back(NightHours(reading, night));
            y.push_back(reading.Mpsas);
        }
    }
    if (x.empty())
        throw Exception("There are no readings in the night of " + DateText(night).toStdString() +
                        ".");
    const TNightEvents* events = nullptr;
    for (const TNightEvents& e : history.Events)
        if (e.Night == night)
            events = &e;

    double from = 0, to = DayHours;
    if (!options.NoonToNoon && events && std::isfinite(events->Sunset) &&
        std::isfinite(events->Sunrise))
        from = std::max(0.0, events->Sunset - 1), to = std::min(DayHours, events->Sunrise + 1);
    // Daylight shaded, and twilight more faintly: sunset to astronomical dusk, dawn to sunrise.
    if (events) {
        const auto band = [&](double a, double b, TTwilightKind kind) {
            if (!std::isfinite(a) || !std::isfinite(b) || b <= a)
                return;
            auto* rect = new QCPItemRect(&plot);
            rect->topLeft->setTypeX(QCPItemPosition::ptPlotCoords);
            rect->topLeft->setTypeY(QCPItemPosition::ptAxisRectRatio);
            rect->bottomRight->setTypeX(QCPItemPosition::ptPlotCoords);
            rect->bottomRight->setTypeY(QCPItemPosition::ptAxisRectRatio);
            rect->topLeft->setCoords(a, 0);
            rect->bottomRight->setCoords(b, 1);
            rect->setPen(Qt::NoPen);
            rect->setBrush(colours.Twilight(kind));
            rect->setLayer(QStringLiteral("background"));
            rect->setClipToAxisRect(true);
        };
        band(from, events->Sunset, TTwilightKind::Day);
        band(events->Sunset, events->DuskAstronomical, TTwilightKind::Nautical);
        band(events->DawnAstronomical, events->Sunrise, TTwilightKind::Nautical);
        band(events->Sunrise, to, TTwilightKind::Day);
    }
    QCPGraph* readings =
        AddGraph(plot, QStringLiteral("Readings"), colours.Readings, QCPScatterStyle::ssDisc, 3);
    readings->setData(x, y);
    const std::optional<double> median = DarkMedianOf(history, night);
    if (median) {
        QCPGraph* line = plot.addGraph();
        line->setName(QStringLiteral("Median of the dark readings: %1").arg(*median, 0, 'f', 2));
        line->setPen(QPen(colours.Mean, 1.5, Qt::DashLine));
        line->setData({from, to}, {*median, *median});
    }
    plot.xAxis->setTicker(ClockTicker(from, to));
    plot.xAxis->setRange(from, to);
    plot.xAxis->setLabel(QStringLiteral("Local time"));
    plot.yAxis->setLabel(QStringLiteral("Sky brightness (MPSAS)"));
    plot.yAxis->rescale();
    const QCPRange r = plot.yAxis->range();
    plot.yAxis->setRange(std::max(BrightestShown, std::floor(r.lower)),
                         std::min(DarkestShown, std::max(std::ceil(r.upper), r.lower + 2)));
    plot.yAxis->setRangeReversed(true);
    plot.legend->setVisible(true);
    plot.axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignHCenter);
}

QString TitleOf(const TStationHistory& history, const THistoryPlotOptions& options,
                std::optional<year_month_day> night) {
    QString site = SiteText(history);
    QString period;
    if (!history.Readings.empty())
        period = DateText(NightOf(history.Readings.front().Local)) + QStringLiteral(" to ") +
                 DateText(NightOf(history.Readings.back().Local));
    switch (options.View) {
    case THistoryView::Night: {
        QString moon;
        for (const TNightStats& stats : history.Nights)
            if (night && stats.Night == *night)
                moon = QStringLiteral(", Moon %1% lit").arg(std::lround(stats.MoonFraction * 100));
        return QStringLiteral("Night of %1 at %2%3")
            .arg(night ? DateText(*night) : QString(), site, moon);
    }
    case THistoryView::Sun:
        return QStringLiteral("Sky brightness against the Sun's altitude, %1, %2")
            .arg(site, period);
    case THistoryView::Hourglass:
        return QStringLiteral("Sky brightness through the nights, %1, %2").arg(site, period);
    case THistoryView::Jellyfish:
        return QStringLiteral("How often each brightness was read, %1, %2").arg(site, period);
    case THistoryView::Histogram:
        return QStringLiteral("Dark-sky brightness, %1, %2").arg(site, period);
    }
    return site;
}

} // namespace

std::string HistoryViewName(THistoryView view) {
    switch (view) {
    case THistoryView::Night:
        return "night";
    case THistoryView::Sun:
        return "sun";
    case THistoryView::Hourglass:
        return "hourglass";
    case THistoryView::Jellyfish:
        return "jellyfish";
    case THistoryView::Histogram:
        return "histogram";
    }
    return {};
}

std::optional<THistoryView> HistoryViewNamed(const std::string& name) {
    for (THistoryView view : {THistoryView::Night, THistoryView::Sun, THistoryView::Hourglass,
                              THistoryView::Jellyfish, THistoryView::Histogram})
        if (HistoryViewName(view) == name)
            return view;
    return std::nullopt;
}

std::optional<year_month_day> NightToShow(const TStationHistory& history,
                                          const THistoryPlotOptions& options) {
    if (options.Night)
        return options.Night;
    if (history.Readings.empty())
        return std::nullopt;
    return NightOf(history.Readings.back().Local);
}

std::optional<double> DarkMedianOf(const TStationHistory& history, year_month_day night) {
    std::vector<double> dark;
    for (const THistoryReading& reading : history.Readings)
        if (reading.Dark && NightOf(reading.Local) == night)
            dark.push_back(reading.Mpsas);
    return MedianOf(std::move(dark));
}

void DrawHistoryView(QCustomPlot& plot, const TStationHistory& history,
                     const THistoryPlotOptions& options, const QPalette& palette) {
    const TChartPalette colours = ChartPaletteFor(palette);
    const std::optional<year_month_day> night = NightToShow(history, options);
    Reset(plot, colours, TitleOf(history, options, night));
    switch (options.View) {
    case THistoryView::Night:
        if (!night)
            throw Exception("There are no readings to draw.");
        DrawNight(plot, history, options, colours, *night);
        break;
    case THistoryView::Sun:
        DrawSun(plot, history, colours);
        break;
    case THistoryView::Hourglass:
        DrawHourglass(plot, history, colours);
        break;
    case THistoryView::Jellyfish:
        DrawJellyfish(plot, history, colours);
        break;
    case THistoryView::Histogram:
        DrawHistogram(plot, history, colours);
        break;
    }
    plot.replot();
}

void SaveHistoryPlot(QCustomPlot& plot, const QString& fileName, QSize size) {
    const auto failure = [&fileName](const QString& reason) {
        return Exception("Could not save the chart to " + fileName.toStdString() + ": " +
                         reason.toStdString());
    };
    const QPixmap picture = plot.toPixmap(size.width(), size.height());
    if (picture.isNull())
        throw failure(QStringLiteral("the picture could not be drawn"));
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw failure(file.errorString());
    QImageWriter writer(&file, "png");
    if (!writer.write(picture.toImage())) {
        file.cancelWriting();
        throw failure(writer.errorString());
    }
    if (!file.commit())
        throw failure(file.errorString());
}
