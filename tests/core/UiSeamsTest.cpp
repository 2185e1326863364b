#include "core/UiSeams.h"

#include "tests/support/UiRecorder.h"

#include <gtest/gtest.h>

namespace {

TEST(UiSeams, ReachTheInstalledHandlersInOrder) {
    TUiRecorder outer;
    Beep();
    {
        TUiRecorder inner;
        ShowMessage(std::string("Port must be between 1 and 65535 inclusively."));
        ShowMessage("5.3 \xC2\xB0"
                    "C");
        EXPECT_EQ(inner.Events, (std::vector<std::string>{
                                    "ShowMessage: Port must be between 1 and 65535 inclusively.",
                                    "ShowMessage: 5.3 \xC2\xB0"
                                    "C"}));
    }
    Beep();
    EXPECT_EQ(outer.Events, (std::vector<std::string>{"Beep", "Beep"}))
        << "the outer handlers are back";
}

} // namespace
