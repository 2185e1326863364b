// The Find Meters dialog and the meter it hands over.
#include "window/FindMetersDialog.h"
#include "window/MainFm.h"
#include "window/NightluxApplication.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>

// Below the chart's button, and after it in the tab order.
void TMainForm::BuildFindMetersButton() {
    BtnFindMeters = new QPushButton(QStringLiteral("&Find Meters..."), ReadingPanel);
    BtnFindMeters->setObjectName(QStringLiteral("BtnFindMeters"));
    BtnFindMeters->setGeometry(398, 68, 114, 25);
    BtnFindMeters->setToolTip(
        QStringLiteral("Find the meters on the local networks and on USB, and pick one"));
    BtnFindMeters->setAutoDefault(false);
    QWidget::setTabOrder(BtnChart, BtnFindMeters);
    connect(BtnFindMeters, &QPushButton::clicked, this, Guarded([this] { FindMetersClick(); }));
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
