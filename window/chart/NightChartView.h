#pragma once

#include "astro/Sky.h"
#include "history/Night.h"
#include "history/NightSky.h"

#include <QChartView>
#include <QString>
#include <map>
#include <optional>
#include <utility>
#include <vector>

class QAreaSeries;
class QCategoryAxis;
class QLineSeries;
class QScatterSeries;
class QValueAxis;
struct TChartPalette;

// Sky brightness against local time over one night: from an hour before sunset to an hour
// after sunrise once the twilight is given, else (or where the Sun does not set, or when asked)
// noon to noon. The brightness axis grows downwards (darker sky lower), with the naked-eye
// limiting magnitude on a scale beside it; twilight is shaded and the Moon's altitude drawn
// faintly when they are given. The title names the site and the Moon's illuminated fraction
// and holds the night's darkest and brightest readings and, once the site is known, the median
// of its dark readings (Sun below -18 degrees, Moon below the horizon), drawn as a line.
// Colours follow the widget's palette.
class TNightChartView : public QChartView {
    Q_OBJECT

public:
    explicit TNightChartView(const TNight& night, QWidget* parent = nullptr);

    // Starts another night: readings, twilight and Moon are cleared.
    void SetNight(const TNight& night);
    const TNight& GetNight() const { return Night; }

    // Replaces the readings by those of the given ones that fall in the night.
    void SetReadings(const std::vector<TNightReading>& readings);
    // Adds one reading; false (and nothing changed) when it falls outside the night.
    bool AddReading(const TNightReading& reading);
    const std::vector<TNightReading>& GetReadings() const { return Readings; }

    void SetTwilight(const std::vector<TTwilightBand>& bands);
    void SetMoonAltitude(const std::vector<TMoonAltitude>& samples);

    // The site, for the title and for telling dark readings; none leaves both out.
    void SetSite(const std::optional<TPosition>& site, const QString& name = {});
    // Noon to noon whatever the Sun does.
    void SetNoonToNoon(bool noonToNoon);
    bool GetNoonToNoon() const { return NoonToNoon; }

    std::optional<TNightSummary> GetSummary() const { return Summary; }
    // The median MPSAS of the night's dark readings; none without a site or dark readings.
    std::optional<double> GetDarkMedian() const { return DarkMedian; }
    // The Moon's illuminated fraction at the night's local midnight.
    double GetMoonFraction() const { return MoonFraction; }
    // The hours shown, since the night's noon.
    std::pair<double, double> GetTimeSpan() const { return {SpanFrom, SpanTo}; }
    // One line: darkest, brightest and the dark median, or that there are no readings yet.
    QString SummaryText() const;

    QValueAxis* GetBrightnessAxis() const { return BrightnessAxis; }
    QCategoryAxis* GetNelmAxis() const { return NelmAxis; }
    QValueAxis* GetMoonAxis() const { return MoonAxis; }
    QCategoryAxis* GetTimeAxis() const { return TimeAxis; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void BuildAxes();
    void BuildSeries();
    void Refresh();
    void UpdateBrightnessRange();
    void UpdateNelmScale(double brightest, double darkest);
    void UpdateTitle();
    void UpdateTimeSpan();
    void UpdateDark();
    void ApplyPalette();
    void ShowInLegend(QAbstractSeries* series, bool shown);
    double X(TLocalTime time) const { return Night.HoursOf(time); }

    TNight Night;
    std::vector<TNightReading> Readings; // in time order
    std::vector<bool> Dark;              // of each reading; empty without a site
    std::optional<TNightSummary> Summary;
    std::optional<TPosition> Site;
    QString SiteName;
    std::optional<double> DarkMedian;
    double MoonFraction = 0.0;
    bool NoonToNoon = false;
    std::optional<double> Sunset, Sunrise; // hours since noon, from the twilight
    double SpanFrom = 0.0, SpanTo = 24.0;

    QCategoryAxis* TimeAxis = nullptr;
    QValueAxis* BrightnessAxis = nullptr;
    QCategoryAxis* NelmAxis = nullptr;
    QValueAxis* BandAxis = nullptr;
    QValueAxis* MoonAxis = nullptr;
    QScatterSeries* ReadingSeries = nullptr;
    QLineSeries* MedianSeries = nullptr;
    QLineSeries* MoonSeries = nullptr;
    std::map<TTwilightKind, QAreaSeries*> Bands;
};
