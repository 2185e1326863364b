#include "core/UiSeams.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <utility>

namespace {

TShowMessageHandler ShowMessageHandler;
TBeepHandler BeepHandler;

bool HasWidgets() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

void DefaultShowMessage(const QString& text) {
    if (!HasWidgets()) {
        std::fprintf(stderr, "%s\n", text.toStdString().c_str());
        return;
    }
    QMessageBox box(QMessageBox::Information, QApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

void DefaultBeep() {
    if (HasWidgets())
        QApplication::beep();
}

} // namespace

void ShowMessage(const QString& text) {
    if (ShowMessageHandler)
        ShowMessageHandler(text);
    else
        DefaultShowMessage(text);
}

void ShowMessage(const std::string& text) {
    ShowMessage(QString::fromStdString(text));
}

void Beep() {
    if (BeepHandler)
        BeepHandler();
    else
        DefaultBeep();
}

TShowMessageHandler SetShowMessageHandler(TShowMessageHandler handler) {
    return std::exchange(ShowMessageHandler, std::move(handler));
}

TBeepHandler SetBeepHandler(TBeepHandler handler) {
    return std::exchange(BeepHandler, std::move(handler));
}

TUiSeamsOverride::TUiSeamsOverride(TShowMessageHandler show, TBeepHandler beep)
    : SavedShow(SetShowMessageHandler(std::move(show))),
      SavedBeep(SetBeepHandler(std::move(beep))) {}

TUiSeamsOverride::~TUiSeamsOverride() {
    SetShowMessageHandler(std::move(SavedShow));
    SetBeepHandler(std::move(SavedBeep));
}
