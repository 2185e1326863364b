#pragma once

#include <QObject>

class QWidget;

// Closes the window, as its close button would (the settings are stored), when the process
// receives SIGINT, SIGTERM or SIGHUP: Ctrl+C in the terminal that started it, or a session
// that ends. Once the object is gone (the window has closed and the program is ending),
// these signals are ignored, so a repeated stop request cannot cut the shutdown short.
class TCloseOnSignal : public QObject {
public:
    explicit TCloseOnSignal(QWidget* window);
    ~TCloseOnSignal() override;
    TCloseOnSignal(const TCloseOnSignal&) = delete;
    TCloseOnSignal& operator=(const TCloseOnSignal&) = delete;
};
