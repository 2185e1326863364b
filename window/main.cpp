#include "window/CloseOnSignal.h"
#include "window/MainFm.h"
#include "window/NightluxApplication.h"
#include "window/StartUp.h"
#include "window/StyleManager.h"

int main(int argc, char** argv) {
    DeclareResolutionAwareness(HasCmdLineSwitch(argc, argv, "hidpi"));
    TNightluxApplication application(argc, argv);
    UseDotDecimalSeparator();
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
