// The Find Meters dialog and the meter it hands over.
#include "window/FindMetersDialog.h"
#include "window/MainFm.h"

#include <QComboBox>
#include <QLineEdit>
#include <QStatusBar>

// The entry of the station menu.
void TMainForm::AddFindMetersEntry() {
    AddStationEntry(QStringLiteral("ActFindMeters"), QStringLiteral("Find Meters..."),
                    [this] { FindMetersClick(); });
}

TFindMetersDialog* TMainForm::GetFindMeters() {
    if (!FindFm) {
        FindFm = new TFindMetersDialog(this);
        connect(FindFm, &TFindMetersDialog::MeterChosen, this,
                [this](const TChosenMeter& meter) { UseFoundMeter(meter); });
    }
    return FindFm;
}

void TMainForm::FindMetersClick() {
    TFindMetersDialog* dialog = GetFindMeters();
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
    if (!dialog->HasSearched())
        dialog->StartSearch();
}

void TMainForm::UseFoundMeter(const TChosenMeter& meter) {
    // The entries are locked while the window reads the meter every few minutes.
    if (!CmbModel->isEnabled()) {
        StatusBar->showMessage(
            QStringLiteral("Stop the readings first; the connection cannot change meanwhile."));
        return;
    }
    // Changing the model sets the entries that belong to it to work.
    CmbModel->setCurrentIndex(meter.ModelIndex);
    if (!meter.Host.isEmpty()) {
        EdtIP->setText(meter.Host);
        EdtPort->setText(meter.Port);
    }
    if (!meter.ComPort.isEmpty()) {
        if (CmbComPort->findText(meter.ComPort, Qt::MatchFixedString) < 0)
            CmbComPort->addItem(meter.ComPort);
        CmbComPort->setCurrentIndex(CmbComPort->findText(meter.ComPort, Qt::MatchFixedString));
    }
}
