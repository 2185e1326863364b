#pragma once

#include <string>

// Passes a diagnostic line to whoever watches the program's standard error.
void OutputDebugString(const std::string& text);
