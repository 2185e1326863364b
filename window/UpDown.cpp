#include "window/UpDown.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <algorithm>

TUpDown::TUpDown(QWidget* parent, QLineEdit* associate, int min, int max, int increment,
                 int position)
    : QWidget(parent), Associate(associate), BtnUp(new QToolButton(this)),
      BtnDown(new QToolButton(this)), FMin(min), FMax(max), FIncrement(increment), FPosition(min) {
    BtnUp->setArrowType(Qt::UpArrow);
    BtnDown->setArrowType(Qt::DownArrow);
    for (QToolButton* button : {BtnUp, BtnDown}) {
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
    }
    BtnUp->setObjectName(QStringLiteral("Up"));
    BtnDown->setObjectName(QStringLiteral("Down"));
    connect(BtnUp, &QToolButton::clicked, this, [this] { Step(+1); });
    connect(BtnDown, &QToolButton::clicked, this, [this] { Step(-1); });
    Associate->installEventFilter(this);
    setFocusPolicy(Qt::NoFocus);
    SetPosition(position);
}

void TUpDown::SetPosition(int position) {
    FPosition = std::clamp(position, FMin, FMax);
    Associate->setText(QString::number(FPosition));
}

// Like the platform's spinner, an arrow first takes up a number typed into the field.
void TUpDown::Step(int direction) {
    bool ok = false;
    const int typed = Associate->text().toInt(&ok);
    const int from = ok ? std::clamp(typed, FMin, FMax) : FPosition;
    SetPosition(from + direction * FIncrement);
}

bool TUpDown::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Associate && event->type() == QEvent::KeyPress && isEnabled()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            Step(key == Qt::Key_Up ? +1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TUpDown::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int half = height() / 2;
    BtnUp->setGeometry(0, 0, width(), half);
    BtnDown->setGeometry(0, half, width(), height() - half);
}
