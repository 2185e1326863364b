// The Night Chart and the History view come from the views module, loaded on first use: the
// program does not load the charting libraries at start, the module gives working dialogs,
// and a module that cannot be loaded is reported, not a crash.
#include "window/ViewsModule.h"

#include "history/Night.h"
#include "platform/Exception.h"
#include "tests/support/ScopedEnv.h"
#include "tests/window/WindowFixture.h"
#include "window/chart/NightChartFm.h"
#include "window/history/HistoryFm.h"

#include <chrono>
#include <cstdio>
#include <gmock/gmock.h>
#include <memory>
#include <string>

namespace {

std::string NeededLibraries(const std::string& program) {
    std::string text;
    FILE* pipe = popen(("readelf -d '" + program + "'").c_str(), "r");
    if (!pipe)
        return text;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe))
        if (std::string(line).find("(NEEDED)") != std::string::npos)
            text += line;
    pclose(pipe);
    return text;
}

// A process loads the module once and keeps it: the tests of a module that cannot be loaded
// come first.
using ViewsModuleMissing = WindowTest;
using ViewsModuleWindow = WindowTest;

TEST_F(ViewsModuleMissing, ItIsReportedByTheFactories) {
    const TScopedEnv module("NIGHTLUX_VIEWS_MODULE", "/nonexistent/libnightlux_views.so");
    try {
        NewHistoryFm(nullptr);
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_THAT(e.what(), testing::HasSubstr("could not be loaded"));
        EXPECT_THAT(e.what(), testing::HasSubstr("/nonexistent/libnightlux_views.so"));
    }
}

TEST_F(ViewsModuleMissing, ItIsToldWhenTheNightChartIsOpened) {
    const TScopedEnv module("NIGHTLUX_VIEWS_MODULE", "/nonexistent/libnightlux_views.so");
    MakeForm();
    Click("BtnChart");
    ASSERT_EQ(Seen.Boxes.size(), 1u);
    EXPECT_THAT(Seen.Boxes[0].Text.toStdString(),
                testing::HasSubstr("The charts cannot be shown: their module could not be loaded"));
    EXPECT_EQ(Form->GetChart(), nullptr);
    EXPECT_TRUE(Form->isVisible());
}

TEST(ViewsModule, TheProgramStartsWithoutTheChartingLibraries) {
    const std::string program = NeededLibraries(NIGHTLUX_EXECUTABLE);
    ASSERT_THAT(program, testing::HasSubstr("Qt6Widgets"));
    for (const char* library : {"Qt6Charts", "Qt6OpenGL", "qcustomplot", "Qt6PrintSupport"})
        EXPECT_THAT(program, testing::Not(testing::HasSubstr(library))) << library;
    EXPECT_THAT(NeededLibraries(NIGHTLUX_VIEWS_MODULE_FILE), testing::HasSubstr("Qt6Charts"));
}

TEST(ViewsModule, TheModuleMakesTheViews) {
    const TScopedEnv module("NIGHTLUX_VIEWS_MODULE", NIGHTLUX_VIEWS_MODULE_FILE);
    const std::unique_ptr<TNightChartFm> chart(
        NewNightChartFm(TNight::Of(std::chrono::local_days{std::chrono::year{2026} / 12 / 10} +
                                   std::chrono::hours{22}),
                        nullptr));
    ASSERT_NE(chart, nullptr);
    EXPECT_STREQ(chart->metaObject()->className(), "TNightChartFm");
    chart->SetReadingsFileName("/nonexistent/SQMReadings.txt");
    EXPECT_EQ(chart->GetReadingsFileName(), "/nonexistent/SQMReadings.txt");
    const std::unique_ptr<THistoryFm> history(NewHistoryFm(nullptr));
    ASSERT_NE(history, nullptr);
    EXPECT_STREQ(history->metaObject()->className(), "THistoryFm");
    history->SetPaths({"/nonexistent/SQMReadings.txt"});
}

TEST_F(ViewsModuleWindow, TheWindowOpensTheNightChartFromTheModule) {
    const TScopedEnv module("NIGHTLUX_VIEWS_MODULE", NIGHTLUX_VIEWS_MODULE_FILE);
    MakeForm();
    Click("BtnChart");
    EXPECT_TRUE(Seen.Boxes.empty());
    ASSERT_NE(Form->GetChart(), nullptr);
    EXPECT_TRUE(Form->GetChart()->isVisible());
}

} // namespace
