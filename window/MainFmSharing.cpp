// The site and sharing dialog, and the sharing of each reading with its notices.
#include "core/Sqmconfig.h"
#include "core/UiSeams.h"
#include "session/SharingSetup.h"
#include "window/MainFm.h"
#include "window/SharingDialog.h"

#include <QComboBox>
#include <QStatusBar>

void TMainForm::SharingClick() {
    TSharingSetup setup;
    try {
        setup = LoadSharingSetup(SettingsFileName());
    } catch (const std::exception& e) {
        // Saved values that cannot be read are shown empty; saving replaces them.
        StatusBar->showMessage(QString::fromStdString(e.what()));
    }
    TSharingDialog dialog(this);
    dialog.SetSetup(setup);
    if (dialog.exec() != QDialog::Accepted)
        return;
    try {
        SaveSharingSetup(SettingsFileName(), dialog.AsSetup());
    } catch (const std::exception& e) {
        ShowMessage(std::string("The site and sharing settings were not saved: ") + e.what());
        return;
    }
    Session.SetSharing(nullptr);
    FSharingModel = -1;
}

void TMainForm::PrepareSharing() {
    const int model = CmbModel->currentIndex();
    if (FSharingModel == model)
        return;
    Session.SetSharing(nullptr);
    FSharingModel = model;
    try {
        Session.SetSharing(MakeSharing(LoadSharingSetup(SettingsFileName()), model));
    } catch (const std::exception& e) {
        // Told once; readings go on unshared until the dialog or the model changes.
        ShowSharingNotices(
            {{ENoticeSeverity::Warning, std::string("Readings are not shared: ") + e.what()}});
    }
}

void TMainForm::ShowSharingNotices(const std::vector<TNotice>& notices) {
    // The sharing tells of an outage once; the status bar keeps the latest until the next.
    if (!notices.empty())
        StatusBar->showMessage(QString::fromStdString(notices.back().Text));
}
