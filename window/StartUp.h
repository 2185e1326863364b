#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>
#include <string_view>

// True when an argument after the program name is the switch: "-" or "/" followed by the
// name, letter case ignored.
bool HasCmdLineSwitch(int argc, const char* const* argv, std::string_view name);

// Before the application object exists. The window is scaled by the screen's own factor,
// fractions kept (1.5 at 144 dpi), as the desktop scales it; Qt redraws it at the new factor
// when it moves to another screen. Returns perMonitor.
bool DeclareResolutionAwareness(bool perMonitor);

// Where a window of the given size opens in a screen's free area: centred, with its frame
// (title bar and borders) inside the area, and made smaller where the area is too small.
// A window made shorter scrolls its content, so it is widened by scrollBarWidth where the
// area allows, to keep the content's full width beside the scroll bar.
QRect OpeningGeometry(QSize size, QMargins frame, QRect available, int scrollBarWidth = 0);

// Numbers are written and read with "." in every locale: puts the C library's numeric
// category back to "C" after the window system has set it from the environment.
void UseDotDecimalSeparator();
