// The reading cycle: entry checks, the link for the model, one read cycle, and the three
// modes Read Now, Read Every and Reset.
#include "core/EntryChecks.h"
#include "core/LinkFactory.h"
#include "core/ReadingsFile.h"
#include "core/UiSeams.h"
#include "meter/Dm_SQMBase.h"
#include "session/ReadingCycle.h"
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
#include <optional>

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

// Shows why a single reading failed: a failure that is not the meter's goes on to the
// default handler.
void ShowFailure(const TReadingOutcome& outcome) {
    if (outcome.Unexpected)
        std::rethrow_exception(outcome.Unexpected);
    if (!outcome.Message.empty())
        ShowMessage(outcome.Message);
}

std::string EntryText(const QLineEdit* edit) {
    return edit->text().toStdString();
}

void EnableChildren(QWidget* panel, bool enabled) {
    for (QWidget* child : panel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        child->setEnabled(enabled);
}

} // namespace

bool TMainForm::PrepareLink() {
    Session.SetLink(nullptr);
    switch (CmbModel->currentIndex()) {
    case 0: {
        TEthernetEntries entries;
        const std::string refusal = CheckEthernetEntries(EntryText(EdtIP), EntryText(EdtPort),
                                                         EntryText(EdtTimeout), entries);
        if (!refusal.empty()) {
            ShowMessage(refusal);
            return false;
        }
        Session.SetLink(LinkFactory().Ethernet(entries.Host, entries.Port, entries.TimeoutMs));
        return true;
    }
    case 1:
    case 2:
    case 3:
        Session.SetLink(LinkFactory().Serial(CmbComPort->currentText().toStdString(), FBaudRate));
        return true;
    default:
        throw Exception("No Model is selected.");
    }
}

void TMainForm::SetDisplay(QLabel* field, const std::string& text) {
    field->setText(QString::fromStdString(text));
}

QLabel* TMainForm::DisplayOf(TReadingField field) const {
    switch (field) {
    case TReadingField::Model:
        return EdtModel;
    case TReadingField::Serial:
        return EdtSerial;
    case TReadingField::Protocol:
        return EdtProtocol;
    case TReadingField::Feature:
        return EdtFeature;
    case TReadingField::Magnitude:
        return EdtMag;
    case TReadingField::Nelm:
        return EdtNELM;
    case TReadingField::Temperature:
        return EdtTemp;
    case TReadingField::Time:
        break;
    }
    return EdtTimestamp;
}

void TMainForm::ClearDisplay() {
    for (QLabel* field :
         {EdtMag, EdtNELM, EdtTimestamp, EdtModel, EdtSerial, EdtProtocol, EdtFeature, EdtTemp})
        SetDisplay(field, NoneMark);
}

TReadingOutcome TMainForm::TakeReading(TCycleKind kind) {
    const TAutoCursor busy{QCursor(crHourGlass)};
    std::optional<std::string> storeTo;
    if (ChkSaveReading->isChecked())
        storeTo = EdtFileName->text().toStdString();
    PrepareSharing();
    TReadingOutcome outcome =
        Session.Take(kind, storeTo, [this](TReadingField field, const std::string& text) {
            SetDisplay(DisplayOf(field), text);
        });
    PresentFileNotice(outcome.StoreNotice);
    ShowSharingNotices(outcome.SharingNotices);
    if (outcome.Taken && outcome.Reading)
        AddReadingToChart(*outcome.Reading);
    return outcome;
}

void TMainForm::BtnReadClick() {
    Timer->stop();
    if (!PrepareLink())
        return;
    TCycleGuard cycle(FCycleInProgress);
    BtnTimer->setEnabled(false);
    const TEnableOnExit enableTimer(BtnTimer);
    ClearDisplay();
    ShowFailure(TakeReading(TCycleKind::Single));
}

void TMainForm::BtnTimerClick() {
    // A click by access key leaves the focus in the period field: check it as leaving would.
    ApplyExitCheck(EdtTimer, SpnTimer);
    Timer->stop();
    if (!PrepareLink())
        return;
    TCycleGuard cycle(FCycleInProgress);
    const TEnableOnExit enableReset(BtnReset);
    BtnTimer->setEnabled(false);
    ClearDisplay();
    const TReadingOutcome outcome = TakeReading(TCycleKind::Single);
    if (!outcome.Taken) {
        ShowFailure(outcome);
        return;
    }
    int minutes = 0;
    EntryToInt(EntryText(EdtTimer), minutes);
    Timer->setInterval(minutes * 60000);
    EnableChildren(ControlPanel, false);
    EnableChildren(StoragePanel, false);
    Timer->start();
}

void TMainForm::TimerTimer() {
    // A tick that falls due while a cycle (or a message box it opened) is still in
    // progress is skipped: it would start a second cycle on the same link.
    if (FCycleInProgress || !Session.Link())
        return;
    TCycleGuard cycle(FCycleInProgress);
    ClearDisplay();
    const TReadingOutcome outcome = TakeReading(TCycleKind::Tick);
    if (!outcome.StopsTicks)
        return;
    Timer->stop();
    Session.Link()->Disconnect();
    EnablePanels(true);
    ShowMessage(outcome.Message);
}

void TMainForm::BtnResetClick() {
    Timer->stop();
    EnablePanels(true);
    CmbModelChange();
    ClearDisplay();
    if (Session.Link())
        Session.Link()->Disconnect();
}

void TMainForm::EnablePanels(bool enabled) {
    EnableChildren(ControlPanel, enabled);
    EnableChildren(StoragePanel, enabled);
}

void TMainForm::CmbModelChange() {
    const int index = CmbModel->currentIndex();
    FSharingModel = -1;
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
    if (EntryToInt(EntryText(edit), value)) {
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
