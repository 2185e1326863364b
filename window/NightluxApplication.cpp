#include "window/NightluxApplication.h"

#include "window/WindowSeams.h"

#include <QString>

void HandleException(std::exception_ptr error) {
    QString text;
    try {
        std::rethrow_exception(std::move(error));
    } catch (const std::exception& e) {
        text = QString::fromUtf8(e.what());
    } catch (...) {
        text = QStringLiteral("Unknown exception.");
    }
    ShowMessageBox(QString::fromUtf8(ApplicationTitle), text, TMessageIcon::Critical);
}

TNightluxApplication::TNightluxApplication(int& argc, char** argv)
    : QApplication(argc, argv), Seams(&SetUiSeams, &WindowUiSeams()) {}

bool TNightluxApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        HandleException(std::current_exception());
        return false;
    }
}
