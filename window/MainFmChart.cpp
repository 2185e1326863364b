// The chart of the night: its button, and the readings of this session that go to it.
#include "core/Nelm.h"
#include "core/Sqmconfig.h"
#include "history/Night.h"
#include "history/SkyOfNight.h"
#include "meter/Dm_SQMBase.h"
#include "platform/Exception.h"
#include "window/MainFm.h"
#include "window/ViewsModule.h"
#include "window/chart/NightChartFm.h"

#include <QLineEdit>
#include <QPushButton>

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
    ChartFm->SetSessionReadings(SessionReadings);
    ChartFm->show();
    ChartFm->raise();
    ChartFm->activateWindow();
}

// Called after a reading was taken: the link still holds it.
void TMainForm::AddReadingToChart() {
    TNightReading reading;
    try {
        reading.Time = LocalTimeOf(FLink->GetReadingTime());
    } catch (const Exception&) {
        return; // a clock beyond the calendar has no night to show
    }
    reading.Magnitude = FLink->GetMagnitude();
    reading.Nelm = ComputeNelm(reading.Magnitude);
    reading.Temperature = FLink->GetTemperature();
    reading.SerialNumber = FLink->GetSerialNumber();
    reading.ProtocolVersion = FLink->GetProtocolVersion();
    reading.ModelNumber = FLink->GetModelNumber();
    reading.FeatureVersion = FLink->GetFeatureVersion();
    SessionReadings.push_back(reading);
    if (!ChartFm)
        return;
    const std::string fileName = EdtFileName->text().toStdString();
    if (fileName != ChartFm->GetReadingsFileName())
        ChartFm->SetReadingsFileName(fileName);
    ChartFm->AddSessionReading(reading);
}
