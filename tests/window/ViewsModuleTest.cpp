// The Night Chart and the History view come from the views module, loaded on first use: the
// program does not load the charting libraries at start, the module gives working dialogs,
// and a module that cannot be loaded is reported, not a crash.
#include "window/ViewsModule.h"

#include "history/Night.h"
#include "platform/Exception.h"
#include "tests/support/ScopedEnv.h"
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

TEST(ViewsModule, TheProgramStartsWithoutTheChartingLibraries) {
    const std::string program = NeededLibraries(NIGHTLUX_EXECUTABLE);
    ASSERT_THAT(program, testing::HasSubstr("Qt6Widgets"));
    for (const char* library : {"Qt6Charts", "Qt6OpenGL", "qcustomplot", "Qt6PrintSupport"})
        EXPECT_THAT(program, testing::Not(testing::HasSubstr(library))) << library;
    EXPECT_THAT(NeededLibraries(NIGHTLUX_VIEWS_MODULE_FILE), testing::HasSubstr("Qt6Charts"));
}

TEST(ViewsModule, AModuleThatCannotBeLoadedIsReported) {
    const TScopedEnv module("NIGHTLUX_VIEWS_MODULE", "/nonexistent/libnightlux_views.so");
    try {
        NewHistoryFm(nullptr);
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_THAT(e.what(), testing::HasSubstr("could not be loaded"));
        EXPECT_THAT(e.what(), testing::HasSubstr("/nonexistent/libnightlux_views.so"));
    }
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

} // namespace
