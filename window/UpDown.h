#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

// An up-down spinner bound to an edit field: it holds a position within its range, moves
// it by its step with the arrows (or the Up and Down keys in the field) and shows it in
// the field.
class TUpDown : public QWidget {
    Q_OBJECT
public:
    TUpDown(QWidget* parent, QLineEdit* associate, int min, int max, int increment, int position);

    int Min() const { return FMin; }
    int Max() const { return FMax; }
    int Increment() const { return FIncrement; }
    int Position() const { return FPosition; }
    // Takes the position within the range and shows it in the field.
    void SetPosition(int position);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Step(int direction);

    QLineEdit* Associate;
    QToolButton* BtnUp;
    QToolButton* BtnDown;
    int FMin;
    int FMax;
    int FIncrement;
    int FPosition;
};
