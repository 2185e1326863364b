#include "window/Autocursor.h"

#include <QGuiApplication>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

// The shape of the application's override cursor, or -1 without one.
int CurrentShape() {
    const QCursor* cursor = QGuiApplication::overrideCursor();
    return cursor == nullptr ? -1 : cursor->shape();
}

TEST(AutoCursor, ShowsTheCursorWhileItLives) {
    ASSERT_EQ(CurrentShape(), -1);
    {
        TAutoCursor busy(crHourGlass);
        EXPECT_EQ(CurrentShape(), Qt::WaitCursor);
    }
    EXPECT_EQ(CurrentShape(), -1);
}

TEST(AutoCursor, NestedGuardsEachRestoreTheCursorTheyFound) {
    QGuiApplication::setOverrideCursor(Qt::CrossCursor);
    {
        TAutoCursor outer(crHourGlass);
        EXPECT_EQ(CurrentShape(), Qt::WaitCursor);
        {
            TAutoCursor inner(Qt::PointingHandCursor);
            EXPECT_EQ(CurrentShape(), Qt::PointingHandCursor);
        }
        EXPECT_EQ(CurrentShape(), Qt::WaitCursor);
    }
    EXPECT_EQ(CurrentShape(), Qt::CrossCursor);
    QGuiApplication::restoreOverrideCursor();
    EXPECT_EQ(CurrentShape(), -1);
}

TEST(AutoCursor, RestoresWhenAnExceptionLeavesTheScope) {
    try {
        TAutoCursor busy(crHourGlass);
        throw std::runtime_error("meter gone");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(CurrentShape(), -1);
}

} // namespace
