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

TEST(StartUp, ResolutionAwarenessChoosesHowQtScales) {
    EXPECT_TRUE(DeclareResolutionAwareness(true));
    EXPECT_EQ(QGuiApplication::highDpiScaleFactorRoundingPolicy(),
              Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    EXPECT_FALSE(DeclareResolutionAwareness(false));
    EXPECT_EQ(QGuiApplication::highDpiScaleFactorRoundingPolicy(),
              Qt::HighDpiScaleFactorRoundingPolicy::Round);
}

} // namespace
