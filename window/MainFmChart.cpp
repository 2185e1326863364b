// The chart of the night: its button, and the readings of this session that go to it.
#include "core/Reading.h"
#include "core/Sqmconfig.h"
#include "history/Night.h"
#include "history/SkyOfNight.h"
#include "platform/Exception.h"
#include "window/MainFm.h"
#include "window/ViewsModule.h"
#include "window/chart/NightChartFm.h"

#include <QLineEdit>
#include <QPushButton>
#include <optional>
#include <vector>

namespace {

// The reading as the chart takes it; none for a clock beyond the calendar, which has no night
// to show.
std::optional<TNightReading> NightReadingOf(const TReading& reading) {
    TNightReading charted;
    try {
        charted.Time = LocalTimeOf(reading.Time);
    } catch (const Exception&) {
        return std::nullopt;
    }
    charted.Magnitude = reading.Magnitude;
    charted.Nelm = reading.Nelm;
    charted.Temperature = reading.Temperature;
    charted.SerialNumber = reading.SerialNumber;
    charted.ProtocolVersion = reading.ProtocolVersion;
    charted.ModelNumber = reading.ModelNumber;
    charted.FeatureVersion = reading.FeatureVersion;
    return charted;
}

} // namespace

void TMainForm::BuildChartButton() {
    BtnChart = new QPushButton(QStringLiteral("Night C&hart"), ReadingPanel);
    BtnChart->setObjectName(QStringLiteral("BtnChart"));
    BtnChart->setGeometry(398, 37, 114, 25);
    BtnChart->setToolTip(
        QStringLiteral("Show the readings of the night as a chart, with twilight and the Moon"));
    BtnChart->setAutoDefault(false);
}

void TMainForm::BtnChartClick() {
    if (!ChartFm) {
        ChartFm = NewNightChartFm(TNight::Of(LocalTimeOf(Now())), this);
        ChartFm->setModal(false);
    }
    // The site and the file may have changed since the chart was last open.
    ChartFm->SetSkySite(SavedSkySite(SettingsFileName()));
    ChartFm->SetReadingsFileName(EdtFileName->text().toStdString());
    std::vector<TNightReading> readings;
    for (const TReading& reading : Session.Readings())
        if (const std::optional<TNightReading> charted = NightReadingOf(reading))
            readings.push_back(*charted);
    ChartFm->SetSessionReadings(readings);
    ChartFm->show();
    ChartFm->raise();
    ChartFm->activateWindow();
}

void TMainForm::AddReadingToChart(const TReading& reading) {
    if (!ChartFm)
        return;
    const std::optional<TNightReading> charted = NightReadingOf(reading);
    if (!charted)
        return;
    const std::string fileName = EdtFileName->text().toStdString();
    if (fileName != ChartFm->GetReadingsFileName())
        ChartFm->SetReadingsFileName(fileName);
    ChartFm->AddSessionReading(*charted);
}
