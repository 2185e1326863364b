// What escapes an event handler ends in the standard error box; the program runs on.
#include "tests/window/WindowFixture.h"
#include "window/NightluxApplication.h"

#include <QCoreApplication>
#include <QEvent>
#include <gmock/gmock.h>

namespace {

// An object whose event handler fails on every event of its own type.
class TFailingReceiver : public QObject {
public:
    static inline const QEvent::Type Failing =
        static_cast<QEvent::Type>(QEvent::registerEventType());
    int Handled = 0;

protected:
    bool event(QEvent* e) override {
        if (e->type() != Failing)
            return QObject::event(e);
        ++Handled;
        throw Exception("The handler failed.");
    }
};

class ApplicationObjectTest : public WindowTest {};

TEST_F(ApplicationObjectTest, ShowsWhatEscapesAHandlerAndRunsOn) {
    ASSERT_NE(dynamic_cast<TNightluxApplication*>(QCoreApplication::instance()), nullptr);
    TFailingReceiver receiver;
    QEvent direct(TFailingReceiver::Failing);
    QCoreApplication::sendEvent(&receiver, &direct);
    QCoreApplication::postEvent(&receiver, new QEvent(TFailingReceiver::Failing));
    QCoreApplication::processEvents();

    EXPECT_EQ(receiver.Handled, 2);
    ASSERT_EQ(Seen.Boxes.size(), 2u);
    for (const TSeen::TBox& box : Seen.Boxes) {
        EXPECT_EQ(box.Caption, "Nightlux 3");
        EXPECT_EQ(box.Text, "The handler failed.");
        EXPECT_EQ(box.Icon, TMessageIcon::Critical);
    }
}

TEST_F(ApplicationObjectTest, GuardedHandlersShowTheirFailureTheSameWay) {
    Guarded([] { throw std::runtime_error("Not an Exception."); })();
    Guarded([] { throw 42; })();
    EXPECT_THAT(Seen.Texts(), testing::ElementsAre("Not an Exception.", "Unknown exception."));
}

} // namespace
