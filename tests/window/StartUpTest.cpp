#include "window/StartUp.h"

#include "tests/support/RowName.h"

#include <QGuiApplication>
#include <gtest/gtest.h>
#include <ostream>
#include <string>
#include <vector>

namespace {

struct TSwitchRow {
    std::string Name;
    friend void PrintTo(const TSwitchRow& row, std::ostream* os) { *os << row.Name; }
    std::vector<const char*> Args;
    bool Found;
};

class CmdLineSwitchTest : public testing::TestWithParam<TSwitchRow> {};

TEST_P(CmdLineSwitchTest, FindsTheSwitchAfterADashOrSlashInAnyCase) {
    const TSwitchRow& row = GetParam();
    std::vector<const char*> argv = {"nightlux"};
    argv.insert(argv.end(), row.Args.begin(), row.Args.end());
    EXPECT_EQ(HasCmdLineSwitch(static_cast<int>(argv.size()), argv.data(), "hidpi"), row.Found);
}

INSTANTIATE_TEST_SUITE_P(Rows, CmdLineSwitchTest,
                         testing::Values(TSwitchRow{"Slash", {"/HiDPI"}, true},
                                         TSwitchRow{"Dash", {"-hidpi"}, true},
                                         TSwitchRow{"AfterOthers", {"-x", "/HIDPI"}, true},
                                         TSwitchRow{"NoPrefix", {"hidpi"}, false},
                                         TSwitchRow{"DoubleDash", {"--hidpi"}, false},
                                         TSwitchRow{"ProgramNameIgnored", {}, false},
                                         TSwitchRow{"Longer", {"-hidpix"}, false}),
                         RowName());

// With or without the switch, 144 dpi scales by 1.5, not by a rounded 2.
TEST(StartUp, ResolutionAwarenessKeepsFractionalScaleFactors) {
    for (bool perMonitor : {true, false}) {
        EXPECT_EQ(DeclareResolutionAwareness(perMonitor), perMonitor);
        EXPECT_EQ(QGuiApplication::highDpiScaleFactorRoundingPolicy(),
                  Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    }
}

struct TOpeningRow {
    const char* Name;
    QRect Available;
    QMargins Frame;
    QRect Expected;
    int ScrollBarWidth = 0;
};

void PrintTo(const TOpeningRow& row, std::ostream* os) {
    *os << row.Name;
}

class OpeningGeometry : public testing::TestWithParam<TOpeningRow> {};

TEST_P(OpeningGeometry, TheWindowAndItsFrameAreOnTheScreen) {
    const TOpeningRow& row = GetParam();
    const QRect window =
        ::OpeningGeometry(QSize(528, 524), row.Frame, row.Available, row.ScrollBarWidth);
    EXPECT_EQ(window, row.Expected);
    EXPECT_TRUE(row.Available.contains(window.marginsAdded(row.Frame)));
}

INSTANTIATE_TEST_SUITE_P(
    StartUp, OpeningGeometry,
    testing::Values(
        TOpeningRow{"CentredWhereItFits", QRect(0, 0, 1024, 768), QMargins(0, 30, 0, 0),
                    QRect(248, 137, 528, 524)},
        TOpeningRow{"SecondScreenOnTheRight", QRect(1024, 0, 1024, 768), QMargins(0, 30, 0, 0),
                    QRect(1272, 137, 528, 524)},
        // 1024x768 at 144 dpi is 683x512 in the window's units; a panel takes 20 at the top.
        TOpeningRow{"ShorterOnAScaledSmallScreen", QRect(0, 20, 683, 492), QMargins(4, 30, 4, 4),
                    QRect(78, 50, 528, 458)},
        // A shortened window scrolls its panels: it is widened by the scroll bar.
        TOpeningRow{"WidenedForItsScrollBar", QRect(0, 20, 683, 492), QMargins(4, 30, 4, 4),
                    QRect(70, 50, 544, 458), 16},
        TOpeningRow{"NotWidenedWhereItFits", QRect(0, 0, 1024, 768), QMargins(0, 30, 0, 0),
                    QRect(248, 137, 528, 524), 16},
        TOpeningRow{"WidenedNoFurtherThanTheScreen", QRect(0, 0, 536, 300), QMargins(2, 20, 2, 2),
                    QRect(2, 20, 532, 278), 16},
        TOpeningRow{"NarrowerAndShorter", QRect(0, 0, 400, 300), QMargins(2, 20, 2, 2),
                    QRect(2, 20, 396, 278)}),
    RowName());

} // namespace
