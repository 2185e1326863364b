#pragma once
// Stand-ins for the application services until they are merged.
#include <QApplication>
#include <QMessageBox>
#include <cmath>
#include <string>
#include <vector>

inline std::vector<std::string> PendingModelNames() {
    return {"LE (Ethernet)", "LR (RS-232)", "LU (USB)", "LU-DL (USB)"};
}

#include "app/NightluxApplication.h"
#include "app/WindowSeams.h"

#include <cstdio>
inline void PendingDebugOutput(const std::string& line) {
    std::fprintf(stderr, "%s\n", line.c_str());
}
inline void PendingShowMessage(const std::string& text) {
    ShowMessageBox(QString::fromUtf8(ApplicationTitle), QString::fromStdString(text),
                   TMessageIcon::Information);
}
inline void PendingBeep() {
    WindowSeams().Beep();
}
inline double PendingComputeNelm(double m) {
    return 7.93 - 5.0 * std::log10(std::pow(10.0, 4.316 - m / 5.0) + 1.0);
}
struct PendingAutoCursor {
    PendingAutoCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~PendingAutoCursor() { QGuiApplication::restoreOverrideCursor(); }
};
