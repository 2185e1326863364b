#pragma once

#include "platform/ScopedOverride.h"

#include <functional>
#include <string>

// The places where the program reaches the user outside its own window: a message box and
// the beep. Each program installs its own way (the window a Qt message box and beep, the
// command-line reader its error stream); tests install one that records. Without any, a
// message goes to standard error and a beep is silent. Texts are UTF-8.
class TUiSeams {
public:
    virtual ~TUiSeams() = default;
    // Shows text in an information box with an OK button and returns when it is closed.
    virtual void ShowMessage(const std::string& text) = 0;
    // Sounds the system's beep.
    virtual void Beep() = 0;
};

void ShowMessage(const std::string& text);
void Beep();

// Installs seams (nullptr restores the default) and returns the ones replaced. The caller
// keeps them alive while they are installed; TScopedOverride<TUiSeams*> puts the previous
// ones back.
TUiSeams* SetUiSeams(TUiSeams* seams);

using TShowMessageHandler = std::function<void(const std::string& text)>;
using TBeepHandler = std::function<void()>;

// Routes messages and beeps to the handlers for the lifetime of the object and puts the
// previous seams back; an empty handler drops its calls.
class TUiSeamsOverride : public TUiSeams {
public:
    TUiSeamsOverride(TShowMessageHandler show, TBeepHandler beep);
    TUiSeamsOverride(const TUiSeamsOverride&) = delete;
    TUiSeamsOverride& operator=(const TUiSeamsOverride&) = delete;

    void ShowMessage(const std::string& text) override;
    void Beep() override;

private:
    TShowMessageHandler Show;
    TBeepHandler BeepHandler;
    TScopedOverride<TUiSeams*> Installed;
};
