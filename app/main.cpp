#include "app/CloseOnSignal.h"
#include "app/MainFm.h"
#include "app/NightluxApplication.h"
#include "app/StartUp.h"
#include "app/StyleManager.h"

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
