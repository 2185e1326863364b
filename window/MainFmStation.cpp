// The station menu: one button after the window's own controls that reaches every addition
// (the night chart, site and sharing, and the tools added beside them).
#include "core/Sqmconfig.h"
#include "history/SkyOfNight.h"
#include "window/MainFm.h"
#include "window/NightluxApplication.h"
#include "window/ViewsModule.h"
#include "window/history/HistoryFm.h"

#include <QAction>
#include <QFrame>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>

void TMainForm::BuildStationButton() {
    BtnStation = new QToolButton(ReadingPanel);
    BtnStation->setObjectName(QStringLiteral("BtnStation"));
    BtnStation->setText(QStringLiteral("Stat&ion"));
    BtnStation->setGeometry(398, 72, 114, 25);
    BtnStation->setToolTip(QStringLiteral("The night chart, the site and sharing, and the "
                                          "station's other tools"));
    BtnStation->setPopupMode(QToolButton::InstantPopup);
    BtnStation->setToolButtonStyle(Qt::ToolButtonTextOnly);
    StationMenu = new QMenu(BtnStation);
    StationMenu->setObjectName(QStringLiteral("StationMenu"));
    BtnStation->setMenu(StationMenu);
    // The shortcuts belong to the window (Alt+H to the Night Chart button, Ctrl+Shift+S to
    // its own shortcut); the entries only show them.
    AddStationEntry(QStringLiteral("ActNightChart"), QStringLiteral("Night Chart\tAlt+H"),
                    [this] { BtnChartClick(); });
    AddStationEntry(QStringLiteral("ActHistory"), QStringLiteral("History..."),
                    [this] { HistoryClick(); });
    AddStationEntry(QStringLiteral("ActSharing"),
                    QStringLiteral("Site and Sharing...\tCtrl+Shift+S"),
                    [this] { SharingClick(); });
    AddFindMetersEntry();
}

QAction* TMainForm::AddStationEntry(const QString& name, const QString& text,
                                    const std::function<void()>& handler) {
    QAction* action = StationMenu->addAction(text);
    action->setObjectName(name);
    connect(action, &QAction::triggered, this, Guarded(handler));
    return action;
}

void TMainForm::HistoryClick() {
    const bool first = HistoryFm == nullptr;
    if (first) {
        HistoryFm = NewHistoryFm(this);
        HistoryFm->setModal(false);
    }
    // The saved site stands in for files without a position line.
    HistoryFm->SetDefaultSite(SavedSkySite(SettingsFileName()).Site);
    const std::string readingsFile = EdtFileName->text().toStdString();
    if (first && !readingsFile.empty()) {
        HistoryFm->SetPaths({readingsFile});
        HistoryFm->Load();
    }
    HistoryFm->show();
    HistoryFm->raise();
    HistoryFm->activateWindow();
}
