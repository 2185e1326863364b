#include "window/NightluxApplication.h"

#include <gtest/gtest.h>

// The application tests run with the program's own application object, on the offscreen
// platform unless the caller chose another.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    TNightluxApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
