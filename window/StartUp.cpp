#include "window/StartUp.h"

#include "platform/Text.h"

#include <QGuiApplication>
#include <clocale>

bool HasCmdLineSwitch(int argc, const char* const* argv, std::string_view name) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (!arg.empty() && (arg[0] == '-' || arg[0] == '/') && SameText(arg.substr(1), name))
            return true;
    }
    return false;
}

bool DeclareResolutionAwareness(bool perMonitor) {
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        perMonitor ? Qt::HighDpiScaleFactorRoundingPolicy::PassThrough
                   : Qt::HighDpiScaleFactorRoundingPolicy::Round);
    return perMonitor;
}

void UseDotDecimalSeparator() {
    std::setlocale(LC_NUMERIC, "C");
}
