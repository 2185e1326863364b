#pragma once

#include "core/UiSeams.h"

#include <string>
#include <vector>

// Replaces the user-facing seams for its lifetime and records, in order, what the user
// would have seen or heard: "Beep", "ShowMessage: <text>".
class TUiRecorder {
public:
    TUiRecorder() = default;
    TUiRecorder(const TUiRecorder&) = delete;
    TUiRecorder& operator=(const TUiRecorder&) = delete;

    std::vector<std::string> Events;

private:
    TUiSeamsOverride Route{
        [this](const std::string& text) { Events.push_back("ShowMessage: " + text); },
        [this] { Events.push_back("Beep"); }};
};
