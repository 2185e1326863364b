#include "window/chart/NightChartView.h"

#include "astro/Site.h"
#include "history/StationHistory.h"
#include "platform/Exception.h"
#include "window/chart/ChartPalette.h"

#include <QAreaSeries>
#include <QCategoryAxis>
#include <QEvent>
#include <QLegendMarker>
#include <QLineSeries>
#include <QScatterSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace {

constexpr double NightHours = 24.0;
// The brightness shown when there are no readings, and the least span shown.
constexpr double EmptyBrightest = 16.0;
constexpr double EmptyDarkest = 22.0;
constexpr double LeastSpan = 2.0;

const std::pair<TTwilightKind, const char*> BandNames[] = {
    {TTwilightKind::Day, "Daylight"},
    {TTwilightKind::Civil, "Civil twilight"},
    {TTwilightKind::Nautical, "Nautical twilight"},
    {TTwilightKind::Astronomical, "Astronomical twilight"},
};

QString Mpsas(double magnitude) {
    return QString::number(magnitude, 'f', 2);
}

QString Clock(TLocalTime time) {
    return QString::fromStdString(ClockText(time));
}

QString Coordinate(double value, char positive, char negative) {
    return QStringLiteral("%1°%2")
        .arg(std::abs(value), 0, 'f', 3)
        .arg(QLatin1Char(value < 0 ? negative : positive));
}

} // namespace

TNightChartView::TNightChartView(const TNight& night, QWidget* parent)
    : QChartView(parent), Night(night), MoonFraction(MoonFractionOfNight(night.GetEvening())) {
    setRenderHint(QPainter::Antialiasing);
    setFrameShape(QFrame::NoFrame);
    setMinimumSize(480, 320);
    chart()->legend()->setAlignment(Qt::AlignBottom);
    chart()->setBackgroundRoundness(0);
    chart()->setPlotAreaBackgroundVisible(true);
    BuildAxes();
    BuildSeries();
    ApplyPalette();
    Refresh();
}

void TNightChartView::BuildAxes() {
    TimeAxis = new QCategoryAxis(this);
    TimeAxis->setTitleText(tr("Local time"));
    TimeAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    chart()->addAxis(TimeAxis, Qt::AlignBottom);

    BrightnessAxis = new QValueAxis(this);
    BrightnessAxis->setTitleText(tr("Sky brightness (MPSAS)"));
    BrightnessAxis->setReverse(true);
    BrightnessAxis->setLabelFormat(QStringLiteral("%.0f"));
    chart()->addAxis(BrightnessAxis, Qt::AlignLeft);

    NelmAxis = new QCategoryAxis(this);
    NelmAxis->setTitleText(tr("NELM"));
    NelmAxis->setReverse(true);
    NelmAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    NelmAxis->setGridLineVisible(false);
    chart()->addAxis(NelmAxis, Qt::AlignRight);

    MoonAxis = new QValueAxis(this);
    MoonAxis->setTitleText(tr("Moon altitude (°)"));
    MoonAxis->setRange(0.0, 90.0);
    MoonAxis->setTickCount(4);
    MoonAxis->setLabelFormat(QStringLiteral("%d"));
    MoonAxis->setGridLineVisible(false);
    chart()->addAxis(MoonAxis, Qt::AlignRight);

    // Twilight bands fill the plot's height whatever the brightness range.
    BandAxis = new QValueAxis(this);
    BandAxis->setRange(0.0, 1.0);
    BandAxis->setVisible(false);
    chart()->addAxis(BandAxis, Qt::AlignLeft);
}

void TNightChartView::BuildSeries() {
    for (const auto& [kind, name] : BandNames) {
        auto* upper = new QLineSeries(this);
        auto* band = new QAreaSeries(upper);
        band->setName(tr(name));
        chart()->addSeries(band);
        band->attachAxis(TimeAxis);
        band->attachAxis(BandAxis);
        Bands[kind] = band;
    }

    MoonSeries = new QLineSeries(this);
    MoonSeries->setName(tr("Moon altitude"));
    chart()->addSeries(MoonSeries);
    MoonSeries->attachAxis(TimeAxis);
    MoonSeries->attachAxis(MoonAxis);

    MedianSeries = new QLineSeries(this);
    chart()->addSeries(MedianSeries);
    MedianSeries->attachAxis(TimeAxis);
    MedianSeries->attachAxis(BrightnessAxis);

    ReadingSeries = new QScatterSeries(this);
    ReadingSeries->setName(tr("Sky brightness"));
    ReadingSeries->setMarkerSize(5.0);
    chart()->addSeries(ReadingSeries);
    ReadingSeries->attachAxis(TimeAxis);
    ReadingSeries->attachAxis(BrightnessAxis);
    ReadingSeries->attachAxis(NelmAxis);

    SetTwilight({});
    SetMoonAltitude({});
}

void TNightChartView::SetNight(const TNight& night) {
    if (!(night == Night))
        MoonFraction = MoonFractionOfNight(night.GetEvening());
    Night = night;
    Readings.clear();
    Dark.clear();
    SetTwilight({});
    SetMoonAltitude({});
    Refresh();
}

void TNightChartView::SetReadings(const std::vector<TNightReading>& readings) {
    Readings = SelectNight(readings, Night);
    UpdateDark();
    Refresh();
}

bool TNightChartView::AddReading(const TNightReading& reading) {
    if (!Night.Contains(reading.Time))
        return false;
    const auto at = std::upper_bound(
        Readings.begin(), Readings.end(), reading,
        [](const TNightReading& a, const TNightReading& b) { return a.Time < b.Time; });
    if (Site)
        Dark.insert(Dark.begin() + (at - Readings.begin()),
                    DarkReadingsAt(*Site, {reading}).front());
    Readings.insert(at, reading);
    Refresh();
    return true;
}

void TNightChartView::SetSite(const std::optional<TPosition>& site, const QString& name) {
    Site = site;
    // An impossible site is no site: the note beside the chart says why.
    try {
        if (Site)
            CheckPosition(*Site);
    } catch (const Exception&) {
        Site.reset();
    }
    SiteName = site ? name : QString();
    UpdateDark();
    Refresh();
}

void TNightChartView::SetNoonToNoon(bool noonToNoon) {
    NoonToNoon = noonToNoon;
    Refresh();
}

void TNightChartView::UpdateDark() {
    Dark = Site ? DarkReadingsAt(*Site, Readings) : std::vector<bool>{};
}

void TNightChartView::UpdateTimeSpan() {
    SpanFrom = 0.0, SpanTo = NightHours;
    if (!NoonToNoon && Sunset && Sunrise)
        SpanFrom = std::max(0.0, *Sunset - 1.0), SpanTo = std::min(NightHours, *Sunrise + 1.0);
    for (const QString& label : TimeAxis->categoriesLabels())
        TimeAxis->remove(label);
    TimeAxis->setStartValue(SpanFrom);
    // A label every hour, every second one over a long span.
    const int step = SpanTo - SpanFrom > 12.0 ? 2 : 1;
    for (auto hour = int(std::ceil(SpanFrom)); hour <= int(std::floor(SpanTo)); ++hour)
        if (hour % step == 0)
            TimeAxis->append(QStringLiteral("%1:00").arg((12 + hour) % 24, 2, 10, QLatin1Char('0')),
                             hour);
    TimeAxis->setRange(SpanFrom, SpanTo);
}

void TNightChartView::SetTwilight(const std::vector<TTwilightBand>& bands) {
    // Sunset ends the daylight from noon, sunrise starts the daylight until noon; where the
    // Sun does not set (or rise) there are neither.
    Sunset.reset();
    Sunrise.reset();
    for (const TTwilightBand& band : bands) {
        if (band.Kind != TTwilightKind::Day || !(band.Start < band.End))
            continue;
        if (band.Start <= Night.GetStart() && band.End < Night.GetEnd())
            Sunset = X(band.End);
        else if (band.Start > Night.GetStart() && band.End >= Night.GetEnd())
            Sunrise = X(band.Start);
    }
    for (const auto& [kind, series] : Bands) {
        // One series per kind: each band rises from the floor and falls back to it.
        QList<QPointF> outline;
        for (const TTwilightBand& band : bands) {
            if (band.Kind != kind || !(band.Start < band.End))
                continue;
            const double start = std::clamp(X(band.Start), 0.0, NightHours);
            const double end = std::clamp(X(band.End), 0.0, NightHours);
            if (start < end)
                outline << QPointF(start, 0) << QPointF(start, 1) << QPointF(end, 1)
                        << QPointF(end, 0);
        }
        series->upperSeries()->replace(outline);
        ShowInLegend(series, !outline.isEmpty());
    }
    Refresh();
}

void TNightChartView::SetMoonAltitude(const std::vector<TMoonAltitude>& samples) {
    QList<QPointF> points;
    for (const TMoonAltitude& sample : samples)
        points << QPointF(X(sample.Time), sample.Altitude);
    MoonSeries->replace(points);
    const bool shown = std::any_of(samples.begin(), samples.end(),
                                   [](const TMoonAltitude& s) { return s.Altitude > 0.0; });
    MoonAxis->setVisible(shown);
    ShowInLegend(MoonSeries, shown);
}

QString TNightChartView::SummaryText() const {
    if (!Summary)
        return tr("No readings yet");
    const QString count =
        Summary->Count == 1 ? tr("1 reading") : tr("%1 readings").arg(Summary->Count);
    QString median;
    if (DarkMedian)
        median = tr("dark median %1 MPSAS").arg(Mpsas(*DarkMedian));
    else if (Site)
        median = tr("no dark readings");
    else
        median = tr("no site for the dark median");
    return tr("Darkest %1 at %2 · brightest %3 at %4 · %5 · %6")
        .arg(Mpsas(Summary->Darkest.Magnitude), Clock(Summary->Darkest.Time),
             Mpsas(Summary->Brightest.Magnitude), Clock(Summary->Brightest.Time), median, count);
}

void TNightChartView::changeEvent(QEvent* event) {
    QChartView::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        ApplyPalette();
}

void TNightChartView::Refresh() {
    Summary = SummarizeNight(Readings);
    QList<QPointF> points;
    points.reserve(qsizetype(Readings.size()));
    for (const TNightReading& r : Readings)
        points << QPointF(X(r.Time), r.Magnitude);
    ReadingSeries->replace(points);

    std::vector<double> dark;
    for (std::size_t i = 0; i < Dark.size() && i < Readings.size(); ++i)
        if (Dark[i])
            dark.push_back(Readings[i].Magnitude);
    DarkMedian = MedianOf(std::move(dark));

    UpdateTimeSpan();
    QList<QPointF> median;
    if (DarkMedian)
        median << QPointF(SpanFrom, *DarkMedian) << QPointF(SpanTo, *DarkMedian);
    MedianSeries->replace(median);
    MedianSeries->setName(DarkMedian ? tr("Dark median %1").arg(Mpsas(*DarkMedian))
                                     : tr("Dark median"));
    ShowInLegend(MedianSeries, DarkMedian.has_value());

    UpdateBrightnessRange();
    UpdateTitle();
}

void TNightChartView::UpdateBrightnessRange() {
    double brightest = EmptyBrightest;
    double darkest = EmptyDarkest;
    if (Summary) {
        // Whole magnitudes with a margin, so that the ticks fall on round values.
        brightest = std::floor(Summary->Brightest.Magnitude - 0.2);
        darkest = std::ceil(Summary->Darkest.Magnitude + 0.2);
        const double missing = LeastSpan - (darkest - brightest);
        if (missing > 0) {
            brightest -= std::floor(missing / 2.0);
            darkest += std::ceil(missing / 2.0);
        }
    }
    // A tick for every magnitude, every second one on a wide range.
    const int step = darkest - brightest > 12.0 ? 2 : 1;
    if (std::lround(darkest - brightest) % step != 0)
        darkest += 1.0;
    BrightnessAxis->setRange(brightest, darkest);
    BrightnessAxis->setTickCount(int(std::lround(darkest - brightest)) / step + 1);
    UpdateNelmScale(brightest, darkest);
}

void TNightChartView::UpdateNelmScale(double brightest, double darkest) {
    for (const QString& label : NelmAxis->categoriesLabels())
        NelmAxis->remove(label);
    NelmAxis->setStartValue(brightest);
    // Half magnitudes, whole ones where a wide range would crowd them.
    const int step = darkest - brightest > 8.0 ? 10 : 5;
    for (int tenths = 0; tenths < 80; tenths += step) {
        const std::optional<double> magnitude = MagnitudeForNelm(tenths / 10.0);
        if (magnitude && *magnitude > brightest && *magnitude <= darkest)
            NelmAxis->append(QString::number(tenths / 10.0, 'f', 1), *magnitude);
    }
    NelmAxis->setRange(brightest, darkest);
}

void TNightChartView::UpdateTitle() {
    QString site;
    if (Site) {
        const QString position =
            Coordinate(Site->Latitude, 'N', 'S') + QLatin1Char(' ') +
            Coordinate(Site->Longitude, 'E', 'W') +
            (Site->Elevation ? QStringLiteral(" %1 m").arg(*Site->Elevation, 0, 'f', 0)
                             : QString());
        site = tr(" at %1").arg(SiteName.isEmpty() ? position
                                                   : SiteName + QStringLiteral(" (") + position +
                                                         QLatin1Char(')'));
    }
    const QString moon = tr("Moon %1% lit").arg(std::lround(MoonFraction * 100));
    chart()->setTitle(tr("<center>Night of %1%2 · %3<br>%4</center>")
                          .arg(QString::fromStdString(Night.AsText()), site.toHtmlEscaped(), moon,
                               SummaryText().toHtmlEscaped()));
}

void TNightChartView::ApplyPalette() {
    const TChartPalette colours = ChartPaletteFor(palette());
    QChart* c = chart();
    c->setBackgroundBrush(colours.Background);
    c->setBackgroundPen(Qt::NoPen);
    c->setPlotAreaBackgroundBrush(colours.PlotBackground);
    c->setPlotAreaBackgroundPen(QPen(colours.Grid));
    c->setTitleBrush(colours.Text);
    c->legend()->setLabelColor(colours.Text);
    for (QAbstractAxis* axis :
         {static_cast<QAbstractAxis*>(TimeAxis), static_cast<QAbstractAxis*>(BrightnessAxis),
          static_cast<QAbstractAxis*>(NelmAxis), static_cast<QAbstractAxis*>(MoonAxis)}) {
        axis->setLabelsColor(colours.Text);
        axis->setTitleBrush(colours.Text);
        axis->setLinePenColor(colours.Grid);
        axis->setGridLineColor(colours.Grid);
    }
    MoonAxis->setLabelsColor(colours.Moon);
    MoonAxis->setTitleBrush(colours.Moon);
    for (const auto& [kind, series] : Bands) {
        series->setBrush(colours.Twilight(kind));
        series->setPen(Qt::NoPen);
    }
    QPen moon(colours.Moon, 1.5, Qt::DashLine);
    MoonSeries->setPen(moon);
    MedianSeries->setPen(QPen(colours.Mean, 1.2, Qt::DashLine));
    ReadingSeries->setColor(colours.Readings);
    ReadingSeries->setBorderColor(colours.Readings);
}

void TNightChartView::ShowInLegend(QAbstractSeries* series, bool shown) {
    for (QLegendMarker* marker : chart()->legend()->markers(series))
        marker->setVisible(shown);
}
