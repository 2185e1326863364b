#include "core/UiSeams.h"

#include <cstdio>
#include <utility>

namespace {

class TStandardErrorSeams : public TUiSeams {
public:
    void ShowMessage(const std::string& text) override {
        std::fprintf(stderr, "%s\n", text.c_str());
    }
    void Beep() override {}
};

TStandardErrorSeams DefaultSeams;
TUiSeams* Seams = &DefaultSeams;

} // namespace

void ShowMessage(const std::string& text) {
    Seams->ShowMessage(text);
}

void Beep() {
    Seams->Beep();
}

TUiSeams* SetUiSeams(TUiSeams* seams) {
    return std::exchange(Seams, seams ? seams : &DefaultSeams);
}

TUiSeamsOverride::TUiSeamsOverride(TShowMessageHandler show, TBeepHandler beep)
    : Show(std::move(show)), BeepHandler(std::move(beep)), Installed(&SetUiSeams, this) {}

void TUiSeamsOverride::ShowMessage(const std::string& text) {
    if (Show)
        Show(text);
}

void TUiSeamsOverride::Beep() {
    if (BeepHandler)
        BeepHandler();
}
