#include "core/Sqmconfig.h"
#include "platform/Folders.h"
#include "window/CloseOnSignal.h"
#include "window/MainFm.h"
#include "window/NightluxApplication.h"
#include "window/StartUp.h"
#include "window/StyleManager.h"
#include "window/WindowSeams.h"

#include <iostream>

int main(int argc, char** argv) {
    DeclareResolutionAwareness(HasCmdLineSwitch(argc, argv, "hidpi"));
    TNightluxApplication application(argc, argv);
    UseDotDecimalSeparator();
    // Without a folder for the settings they would be kept at "/nightlux.ini".
    if (SettingsFileName().empty()) {
        const std::string message = NoConfigFolderMessage();
        std::cerr << "nightlux: " << message << std::endl;
        ShowMessageBox(QString::fromUtf8(ApplicationTitle), QString::fromStdString(message),
                       TMessageIcon::Critical);
        return 2;
    }
    try {
        TStyleManager::TrySetStyle(QStringLiteral("Slate Classico"), true);
        QApplication::setApplicationName(QStringLiteral("Nightlux"));
        QApplication::setApplicationDisplayName(QString::fromUtf8(ApplicationTitle));
        TMainForm form;
        const TCloseOnSignal closeOnSignal(&form);
        form.show();
        TNightluxApplication::exec();
    } catch (...) {
        HandleException(std::current_exception());
    }
    return 0;
}
