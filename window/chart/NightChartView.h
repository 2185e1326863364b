#pragma once

#include "history/Night.h"
#include "history/NightSky.h"

#include <QChartView>
#include <QString>
#include <map>
#include <optional>
#include <vector>

class QAreaSeries;
class QCategoryAxis;
class QLineSeries;
class QScatterSeries;
class QValueAxis;
struct TChartPalette;

// Sky brightness against local time over one night, noon to noon. The brightness axis grows
// downwards (darker sky lower), with the naked-eye limiting magnitude on a scale beside it;
// twilight is shaded and the Moon's altitude drawn faintly when they are given. The title
// holds the night's darkest, brightest and mean readings. Colours follow the widget's palette.
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

    std::optional<TNightSummary> GetSummary() const { return Summary; }
    // One line: darkest, brightest and mean, or that there are no readings yet.
    QString SummaryText() const;

    QValueAxis* GetBrightnessAxis() const { return BrightnessAxis; }
    QCategoryAxis* GetNelmAxis() const { return NelmAxis; }
    QValueAxis* GetMoonAxis() const { return MoonAxis; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void BuildAxes();
    void BuildSeries();
    void Refresh();
    void UpdateBrightnessRange();
    void UpdateNelmScale(double brightest, double darkest);
    void UpdateTitle();
    void ApplyPalette();
    void ShowInLegend(QAbstractSeries* series, bool shown);
    double X(TLocalTime time) const { return Night.HoursOf(time); }

    TNight Night;
    std::vector<TNightReading> Readings; // in time order
    std::optional<TNightSummary> Summary;

    QCategoryAxis* TimeAxis = nullptr;
    QValueAxis* BrightnessAxis = nullptr;
    QCategoryAxis* NelmAxis = nullptr;
    QValueAxis* BandAxis = nullptr;
    QValueAxis* MoonAxis = nullptr;
    QScatterSeries* ReadingSeries = nullptr;
    QLineSeries* MeanSeries = nullptr;
    QLineSeries* MoonSeries = nullptr;
    std::map<TTwilightKind, QAreaSeries*> Bands;
};
