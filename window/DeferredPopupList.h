#pragma once

#include <QComboBox>
#include <functional>

// A drop-down list whose pop-up is made when it is first opened, not at every font
// change: a plain list makes its pop-up as soon as its font is set, which is most of
// what a window full of lists pays for them at start. The pop-up takes the list's font
// when it opens, and whatever the list still needs (descriptions, a delegate, a width)
// is prepared then.
class TDeferredPopupList : public QComboBox {
    Q_OBJECT
public:
    explicit TDeferredPopupList(QWidget* parent = nullptr);

    // Runs once, just before the pop-up is first shown.
    void SetPopupPreparation(std::function<void(QComboBox*)> prepare);

    void showPopup() override;

protected:
    void changeEvent(QEvent* event) override;

private:
    bool PopupReady = false;
    std::function<void(QComboBox*)> Prepare;
};
