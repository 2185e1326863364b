#pragma once

#include "app/UiSeams.h"

#include <string>
#include <vector>

// Replaces the user-facing seams for its lifetime and records, in order, what the user
// would have seen or heard: "Beep", "ShowMessage: <text>".
class TUiRecorder {
public:
    TUiRecorder()
        : OldShowMessage(SetShowMessageHandler([this](const QString& text) {
              Events.push_back("ShowMessage: " + text.toStdString());
          })),
          OldBeep(SetBeepHandler([this] { Events.push_back("Beep"); })) {}
    TUiRecorder(const TUiRecorder&) = delete;
    TUiRecorder& operator=(const TUiRecorder&) = delete;
    ~TUiRecorder() {
        SetShowMessageHandler(std::move(OldShowMessage));
        SetBeepHandler(std::move(OldBeep));
    }

    std::vector<std::string> Events;

private:
    TShowMessageHandler OldShowMessage;
    TBeepHandler OldBeep;
};
