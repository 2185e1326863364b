#pragma once

#include <string_view>

// True when an argument after the program name is the switch: "-" or "/" followed by the
// name, letter case ignored.
bool HasCmdLineSwitch(int argc, const char* const* argv, std::string_view name);

// Before the application object exists: with perMonitor, each screen is drawn at its own
// exact scale and the window follows moves between screens; without it, whole-number scale
// factors only. Returns perMonitor.
bool DeclareResolutionAwareness(bool perMonitor);

// Numbers are written and read with "." in every locale: puts the C library's numeric
// category back to "C" after the window system has set it from the environment.
void UseDotDecimalSeparator();
