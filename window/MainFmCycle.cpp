// The reading cycle: entry checks, the link for the model, one read cycle, and the three
// modes Read Now, Read Every and Reset.
#include "core/EntryChecks.h"
#include "core/LinkFactory.h"
#include "core/Nelm.h"
#include "core/ReadingDisplay.h"
#include "core/ReadingsFile.h"
#include "core/UiSeams.h"
#include "meter/Dm_SQMBase.h"
#include "window/Autocursor.h"
#include "window/MainFm.h"
#include "window/UpDown.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace {

const std::string NoneMark = "<none>";

// Marks a read cycle as in progress for the lifetime of the object.
class TCycleGuard {
public:
    explicit TCycleGuard(bool& flag) : Flag(flag) { Flag = true; }
    ~TCycleGuard() { Flag = false; }
    TCycleGuard(const TCycleGuard&) = delete;
    TCycleGuard& operator=(const TCycleGuard&) = delete;

private:
    bool& Flag;
};

// Enables a control when the object goes, whichever way the cycle ends.
class TEnableOnExit {
public:
    explicit TEnableOnExit(QWidget* control) : Control(control) {}
    ~TEnableOnExit() { Control->setEnabled(true); }
    TEnableOnExit(const TEnableOnExit&) = delete;
    TEnableOnExit& operator=(const TEnableOnExit&) = delete;

private:
    QWidget* Control;
};

// Runs a cycle of Read Now or Read Every, showing a meter error or a reading that is not
// valid as a message; anything else passes on.
template <class TCycle>
void ShowingReadErrors(TCycle cycle) {
    try {
        cycle();
    } catch (const ESqm& e) {
        ShowMessage(std::string(e.what()));
    } catch (const EConvertError&) {
        ShowMessage(NotValidReading);
    }
}

void EnableChildren(QWidget* panel, bool enabled) {
    for (QWidget* child : panel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        child->setEnabled(enabled);
}

} // namespace

bool TMainForm::PrepareLink() {
    FLink.reset();
    switch (CmbModel->currentIndex()) {
    case 0: {
        TEthernetEntries entries;
        const std::string refusal =
            CheckEthernetEntries(EdtIP->text(), EdtPort->text(), EdtTimeout->text(), entries);
        if (!refusal.empty()) {
            ShowMessage(refusal);
            return false;
        }
        FLink = LinkFactory().Ethernet(entries.Host, entries.Port, entries.TimeoutMs);
        return true;
    }
    case 1:
    case 2:
    case 3:
        FLink = LinkFactory().Serial(CmbComPort->currentText().toStdString(), FBaudRate);
        return true;
    default:
        throw Exception("No Model is selected.");
    }
}

void TMainForm::SetDisplay(QLabel* field, const std::string& text) {
    field->setText(QString::fromStdString(text));
}

void TMainForm::ClearDisplay() {
    for (QLabel* field :
         {EdtMag, EdtNELM, EdtTimestamp, EdtModel, EdtSerial, EdtProtocol, EdtFeature, EdtTemp})
        SetDisplay(field, NoneMark);
}

void TMainForm::TakeReading() {
    TDmSQMBase& link = *FLink;
    try {
        const TAutoCursor busy{QCursor(crHourGlass)};
        link.Connect();
        link.ReadUnitInfo();
        SetDisplay(EdtModel, UnitFieldText(link.GetModelNumber()));
        SetDisplay(EdtSerial, UnitFieldText(link.GetSerialNumber()));
        SetDisplay(EdtProtocol, UnitFieldText(link.GetProtocolVersion()));
        SetDisplay(EdtFeature, UnitFieldText(link.GetFeatureVersion()));
        link.ReadReading();
        const double magnitude = link.GetMagnitude();
        SetDisplay(EdtMag, MagnitudeText(magnitude));
        SetDisplay(EdtNELM, NelmText(ComputeNelm(magnitude)));
        SetDisplay(EdtTemp, TemperatureText(link.GetTemperature()));
        SetDisplay(EdtTimestamp, ReadingTimeText(link.GetReadingTime()));
        if (ChkSaveReading->isChecked())
            SaveReading();
    } catch (...) {
        link.Disconnect();
        throw;
    }
    link.Disconnect();
}

void TMainForm::SaveReading() {
    SaveReadingToFile(EdtFileName->text().toStdString(), *FLink);
}

void TMainForm::BtnReadClick() {
    Timer->stop();
    if (!PrepareLink())
        return;
    TCycleGuard cycle(FCycleInProgress);
    BtnTimer->setEnabled(false);
    const TEnableOnExit enableTimer(BtnTimer);
    ShowingReadErrors([this] {
        ClearDisplay();
        TakeReading();
    });
}

void TMainForm::BtnTimerClick() {
    // A click by access key leaves the focus in the period field: check it as leaving would.
    ApplyExitCheck(EdtTimer, SpnTimer);
    Timer->stop();
    if (!PrepareLink())
        return;
    TCycleGuard cycle(FCycleInProgress);
    const TEnableOnExit enableReset(BtnReset);
    ShowingReadErrors([this] {
        BtnTimer->setEnabled(false);
        ClearDisplay();
        TakeReading();
        int minutes = 0;
        EntryToInt(EdtTimer->text(), minutes);
        Timer->setInterval(minutes * 60000);
        EnableChildren(ControlPanel, false);
        EnableChildren(StoragePanel, false);
        Timer->start();
    });
}

void TMainForm::TimerTimer() {
    // A tick that falls due while a cycle (or a message box it opened) is still in
    // progress is skipped: it would start a second cycle on the same link.
    if (FCycleInProgress || !FLink)
        return;
    TCycleGuard cycle(FCycleInProgress);
    std::string message;
    try {
        ClearDisplay();
        TakeReading();
        return;
    } catch (const std::exception& e) {
        message = e.what();
    } catch (...) {
        message = "Unknown exception.";
    }
    Timer->stop();
    FLink->Disconnect();
    EnablePanels(true);
    ShowMessage(message);
}

void TMainForm::BtnResetClick() {
    Timer->stop();
    EnablePanels(true);
    CmbModelChange();
    ClearDisplay();
    if (FLink)
        FLink->Disconnect();
}

void TMainForm::EnablePanels(bool enabled) {
    EnableChildren(ControlPanel, enabled);
    EnableChildren(StoragePanel, enabled);
}

void TMainForm::CmbModelChange() {
    const int index = CmbModel->currentIndex();
    const bool ethernet = index == 0;
    const bool serial = index >= 1 && index <= 3;
    for (QWidget* entry : std::initializer_list<QWidget*>{EdtIP, LblIP, EdtPort, LblPort,
                                                          EdtTimeout, SpnTimeout, LblTimeout})
        entry->setEnabled(ethernet);
    CmbComPort->setEnabled(serial);
    LblComPort->setEnabled(serial);
}

void TMainForm::ApplyExitCheck(QLineEdit* edit, TUpDown* spinner) {
    int value = 0;
    if (EntryToInt(edit->text(), value)) {
        spinner->SetPosition(value);
        return;
    }
    Beep();
    edit->setText(QString::number(spinner->Min()));
    spinner->SetPosition(spinner->Min());
}

void TMainForm::EdtTimerExit() {
    ApplyExitCheck(EdtTimer, SpnTimer);
}

void TMainForm::EdtTimeoutExit() {
    ApplyExitCheck(EdtTimeout, SpnTimeout);
}
