#pragma once

#include "core/UiSeams.h"

#include <QApplication>
#include <exception>
#include <utility>

// The application title, also the caption of the standard error box.
inline constexpr const char* ApplicationTitle = "Nightlux 3";

// Shows the exception in flight (call from a catch block) in the standard error box, with
// the application title as caption. The program keeps running.
void HandleException(std::exception_ptr error);

// Wraps an event handler so that no exception leaves it into the event loop: what the
// handler does not catch itself goes to HandleException.
template <class Handler>
auto Guarded(Handler handler) {
    return [handler = std::move(handler)]() {
        try {
            handler();
        } catch (...) {
            HandleException(std::current_exception());
        }
    };
}

// The application object: every event whose handler lets an exception escape ends in the
// standard error box instead of ending the program.
class TNightluxApplication : public QApplication {
public:
    // Routes the shared message and beep seams to the window's own while it exists.
    TNightluxApplication(int& argc, char** argv);
    TNightluxApplication(const TNightluxApplication&) = delete;
    TNightluxApplication& operator=(const TNightluxApplication&) = delete;
    bool notify(QObject* receiver, QEvent* event) override;

private:
    TScopedOverride<TUiSeams*> Seams;
};
