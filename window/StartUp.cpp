#include "window/StartUp.h"

#include <QGuiApplication>
#include <cctype>
#include <clocale>

namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

} // namespace

bool HasCmdLineSwitch(int argc, const char* const* argv, std::string_view name) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (!arg.empty() && (arg[0] == '-' || arg[0] == '/') &&
            EqualsIgnoringCase(arg.substr(1), name))
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
