#include "window/DeferredPopupList.h"

#include <QAbstractItemView>
#include <QEvent>
#include <utility>

TDeferredPopupList::TDeferredPopupList(QWidget* parent) : QComboBox(parent) {}

void TDeferredPopupList::SetPopupPreparation(std::function<void(QComboBox*)> prepare) {
    Prepare = std::move(prepare);
}

void TDeferredPopupList::showPopup() {
    if (!PopupReady) {
        PopupReady = true;
        // What the list does on a font change, the pop-up's font among it, done once now.
        QEvent fontChange(QEvent::FontChange);
        changeEvent(&fontChange);
        if (Prepare)
            Prepare(this);
    }
    QComboBox::showPopup();
}

void TDeferredPopupList::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange && !PopupReady) {
        // The list's own handling, which would make the pop-up, is left out on purpose.
        QWidget::changeEvent(event); // NOLINT(bugprone-parent-virtual-call)
        return;
    }
    QComboBox::changeEvent(event);
    // A pop-up made in a window already shown does not pass its font on to its list.
    if (event->type() == QEvent::FontChange)
        view()->setFont(font());
}
