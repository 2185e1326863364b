#pragma once

#include "platform/SystemTime.h"

#include <string>

class QWidget;
class TNight;
class THistoryFm;
class TNightChartFm;

// The Night Chart (Qt Charts) and the History view (QCustomPlot) live in a module of their
// own, loaded when one of them is first opened, so that a start of the window does not load
// the charting libraries. A process that links the views itself (the tests) uses its own.

// What the module takes from the program: the module carries its own copies of the
// libraries below the window, and the process-wide state among them (the local time source,
// the message and beep seams) is forwarded to the program's.
struct TViewsHost {
    SYSTEMTIME (*LocalTime)();
    void (*ShowMessage)(const std::string& text);
    void (*Beep)();
};

struct TViewFactories {
    TNightChartFm* (*NewNightChart)(const TNight& night, QWidget* parent);
    THistoryFm* (*NewHistory)(QWidget* parent);
};

extern "C" {
// The module's entry point: installs the forwarding and returns the factories.
using TViewsEntry = const TViewFactories* (*)(const TViewsHost* host);
}

// The views, loading the module on first use. Raise Exception, with the reason, when the
// module cannot be loaded.
TNightChartFm* NewNightChartFm(const TNight& night, QWidget* parent);
THistoryFm* NewHistoryFm(QWidget* parent);

// The module's file: NIGHTLUX_VIEWS_MODULE when set, else beside the program, else in the
// installed library folder.
std::string ViewsModuleFileName();
