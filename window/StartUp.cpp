#include "window/StartUp.h"

#include "platform/Text.h"

#include <QGuiApplication>
#include <algorithm>
#include <cctype>
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
    // Rounding the factor (2 instead of 1.5) would push the window off a small screen.
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    return perMonitor;
}

QRect OpeningGeometry(QSize size, QMargins frame, QRect available, int scrollBarWidth) {
    if (size.height() + frame.top() + frame.bottom() > available.height())
        size.rwidth() += scrollBarWidth;
    const QSize fitted = size.boundedTo(available.size().shrunkBy(frame)).expandedTo(QSize(1, 1));
    QRect outer(QPoint(0, 0), fitted.grownBy(frame));
    outer.moveCenter(available.center());
    outer.moveTo(std::max(outer.left(), available.left()), std::max(outer.top(), available.top()));
    return outer.marginsRemoved(frame);
}

void UseDotDecimalSeparator() {
    std::setlocale(LC_NUMERIC, "C");
}
