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
    FSharing.reset();
    FSharingModel = -1;
}

TReadingSharing* TMainForm::GetSharing() {
    const int model = CmbModel->currentIndex();
    if (FSharingModel == model)
        return FSharing.get();
    FSharing.reset();
    FSharingModel = model;
    try {
        TSharingSetup setup = LoadSharingSetup(SettingsFileName());
        if (IsSharing(setup)) {
            SetDeviceAndVersion(setup, model);
            FSharing = std::make_unique<TReadingSharing>(std::move(setup));
        }
    } catch (const std::exception& e) {
        // Told once; readings go on unshared until the dialog or the model changes.
        ShowSharingNotices({std::string("Readings are not shared: ") + e.what()});
    }
    return FSharing.get();
}

void TMainForm::ShowSharingNotices(const std::vector<std::string>& notices) {
    // The sharing tells of an outage once; the status bar keeps the latest until the next.
    if (!notices.empty())
        StatusBar->showMessage(QString::fromStdString(notices.back()));
}
