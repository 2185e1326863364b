// The data logger's dialog, for the SQM-LU-DL.
#include "core/Sqmconfig.h"
#include "window/LoggerDialog.h"
#include "window/MainFm.h"
#include "window/NightluxApplication.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QShortcut>
#include <QStatusBar>

namespace {

constexpr int LoggerModelIndex = 3; // "LU-DL (USB)"

} // namespace

void TMainForm::BindLoggerEntry() {
    auto* shortcut = new QShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+L")), this);
    shortcut->setObjectName(QStringLiteral("LoggerShortcut"));
    connect(shortcut, &QShortcut::activated, this, Guarded([this] { LoggerClick(); }));
    QAction* entry =
        AddStationEntry(QStringLiteral("ActLogger"), QStringLiteral("Data Logger...\tCtrl+Shift+L"),
                        [this] { LoggerClick(); });
    const auto follow = [this, entry] { entry->setEnabled(IsLoggerAvailable()); };
    connect(CmbModel, &QComboBox::currentIndexChanged, entry, follow);
    follow();
}

bool TMainForm::IsLoggerAvailable() const {
    return CmbModel->currentIndex() == LoggerModelIndex;
}

void TMainForm::LoggerClick() {
    if (LoggerFm) {
        LoggerFm->raise();
        LoggerFm->activateWindow();
        return;
    }
    if (!IsLoggerAvailable()) {
        StatusBar->showMessage(QStringLiteral("The Data Logger is for the model LU-DL (USB)."));
        return;
    }
    auto* dialog =
        new TLoggerDialog(CmbComPort->currentText().trimmed().toStdString(),
                          EdtFileName->text().trimmed().toStdString(), SettingsFileName(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    LoggerFm = dialog;
    dialog->show();
}
