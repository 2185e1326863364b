#include "window/Autocursor.h"

#include <QGuiApplication>

TAutoCursor::TAutoCursor(const QCursor& cursor) {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr)
        return;
    QGuiApplication::setOverrideCursor(cursor);
    Shown = true;
}

TAutoCursor::~TAutoCursor() {
    if (Shown)
        QGuiApplication::restoreOverrideCursor();
}
