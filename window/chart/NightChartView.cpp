#include "window/chart/NightChartView.h"

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

} // namespace

TNightChartView::TNightChartView(const TNight& night, QWidget* parent)
    : QChartView(parent), Night(night) {
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
    TimeAxis->setStartValue(-1.0);
    for (int hour = 0; hour < 24; hour += 2)
        TimeAxis->append(QStringLiteral("%1:00").arg((12 + hour) % 24, 2, 10, QLatin1Char('0')),
                         hour);
    TimeAxis->setRange(0.0, NightHours);
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

    MeanSeries = new QLineSeries(this);
    chart()->addSeries(MeanSeries);
    MeanSeries->attachAxis(TimeAxis);
    MeanSeries->attachAxis(BrightnessAxis);

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
    Night = night;
    Readings.clear();
    SetTwilight({});
    SetMoonAltitude({});
    Refresh();
}

void TNightChartView::SetReadings(const std::vector<TNightReading>& readings) {
    Readings = SelectNight(readings, Night);
    Refresh();
}

bool TNightChartView::AddReading(const TNightReading& reading) {
    if (!Night.Contains(reading.Time))
        return false;
    const auto at = std::upper_bound(
        Readings.begin(), Readings.end(), reading,
        [](const TNightReading& a, const TNightReading& b) { return a.Time < b.Time; });
    Readings.insert(at, reading);
    Refresh();
    return true;
}

void TNightChartView::SetTwilight(const std::vector<TTwilightBand>& bands) {
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
    return tr("Darkest %1 at %2 · brightest %3 at %4 · mean %5 MPSAS · %6")
        .arg(Mpsas(Summary->Darkest.Magnitude), Clock(Summary->Darkest.Time),
             Mpsas(Summary->Brightest.Magnitude), Clock(Summary->Brightest.Time),
             Mpsas(Summary->MeanMagnitude), count);
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

    QList<QPointF> mean;
    if (Summary)
        mean << QPointF(0.0, Summary->MeanMagnitude) << QPointF(NightHours, Summary->MeanMagnitude);
    MeanSeries->replace(mean);
    MeanSeries->setName(Summary ? tr("Mean %1").arg(Mpsas(Summary->MeanMagnitude)) : tr("Mean"));
    ShowInLegend(MeanSeries, Summary.has_value());

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
    chart()->setTitle(
        tr("<center>Night of %1<br>%2</center>")
            .arg(QString::fromStdString(Night.AsText()), SummaryText().toHtmlEscaped()));
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
    MeanSeries->setPen(QPen(colours.Mean, 1.2, Qt::DashLine));
    ReadingSeries->setColor(colours.Readings);
    ReadingSeries->setBorderColor(colours.Readings);
}

void TNightChartView::ShowInLegend(QAbstractSeries* series, bool shown) {
    for (QLegendMarker* marker : chart()->legend()->markers(series))
        marker->setVisible(shown);
}
