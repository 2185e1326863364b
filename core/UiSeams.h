#pragma once

#include <QString>
#include <functional>
#include <string>

// The places where the program reaches the user outside its own window. Each goes through
// a replaceable handler: tests install handlers that record what the user would have seen,
// and the command-line reader installs handlers that write to standard error. The default
// handlers use Qt Widgets; without a QApplication they write the text to standard error.
//
// A new seam follows the same pattern: a handler type, the call, and a Set...Handler that
// installs a handler (an empty one restores the default) and returns the one replaced.

using TShowMessageHandler = std::function<void(const QString& text)>;
using TBeepHandler = std::function<void()>;

// Shows text in an information box with an OK button and returns when it is closed.
void ShowMessage(const QString& text);
void ShowMessage(const std::string& text); // UTF-8
// Sounds the system's beep.
void Beep();

TShowMessageHandler SetShowMessageHandler(TShowMessageHandler handler);
TBeepHandler SetBeepHandler(TBeepHandler handler);

// Installs a message and a beep handler for the lifetime of the object and puts the
// previous ones back.
class TUiSeamsOverride {
public:
    TUiSeamsOverride(TShowMessageHandler show, TBeepHandler beep);
    ~TUiSeamsOverride();
    TUiSeamsOverride(const TUiSeamsOverride&) = delete;
    TUiSeamsOverride& operator=(const TUiSeamsOverride&) = delete;

private:
    TShowMessageHandler SavedShow;
    TBeepHandler SavedBeep;
};
