#pragma once

#include "platform/Export.h"

#include <QCursor>

// The busy cursor of the read cycle.
inline constexpr Qt::CursorShape crHourGlass = Qt::WaitCursor;

// Shows a cursor over the whole application for as long as it lives and puts the cursor of
// before back when it ends, exceptions included. Guards nest: each restores the cursor it
// found. Without a QGuiApplication (the command-line reader) it does nothing.
class NIGHTLUX_EXPORT TAutoCursor {
public:
    explicit TAutoCursor(const QCursor& cursor);
    TAutoCursor(const TAutoCursor&) = delete;
    TAutoCursor& operator=(const TAutoCursor&) = delete;
    ~TAutoCursor();

private:
    // Whether a cursor was pushed on Qt's override cursor stack, which keeps the one before.
    bool Shown = false;
};
