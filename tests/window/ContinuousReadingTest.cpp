// Read Every, the timer ticks, Reset, the model rule and the exit checks of the period and
// time-out fields, through the real window.
#include "tests/support/RowName.h"
#include "tests/window/WindowFixture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <gmock/gmock.h>

using testing::ElementsAre;
using testing::UnorderedElementsAre;
using testing::UnorderedElementsAreArray;

namespace {

const std::vector<std::string> AllEntries = {
    "LblModel",   "CmbModel",   "LblIP",          "EdtIP",       "LblPort",
    "EdtPort",    "LblComPort", "CmbComPort",     "BtnRead",     "BtnReset",
    "BtnTimer",   "LblTimer",   "EdtTimer",       "SpnTimer",    "LblTimeout",
    "EdtTimeout", "SpnTimeout", "ChkSaveReading", "EdtFileName", "BtnBrowse"};

std::vector<std::string> Without(std::vector<std::string> names,
                                 const std::vector<std::string>& removed) {
    std::erase_if(names, [&](const std::string& n) {
        return std::find(removed.begin(), removed.end(), n) != removed.end();
    });
    return names;
}

const std::vector<std::string> SerialEntries = {"LblComPort", "CmbComPort"};
const std::vector<std::string> EthernetEntries = {
    "EdtIP", "LblIP", "EdtPort", "LblPort", "EdtTimeout", "SpnTimeout", "LblTimeout"};

class ContinuousTest : public FakeLinkWindowTest {};

TEST_F(ContinuousTest, IdleEnablesTheEntriesOfTheModel) {
    EXPECT_THAT(EnabledEntries(), UnorderedElementsAreArray(Without(AllEntries, SerialEntries)));
    for (int index : {1, 2, 3}) {
        Child<QComboBox>("CmbModel")->setCurrentIndex(index);
        EXPECT_THAT(EnabledEntries(),
                    UnorderedElementsAreArray(Without(AllEntries, EthernetEntries)));
    }
}

TEST_F(ContinuousTest, DuringASingleReadingOnlyReadEveryIsDisabled) {
    std::vector<std::string> duringCycle;
    Links.OnConnect = [&] { duringCycle = EnabledEntries(); };
    Click("BtnRead");
    EXPECT_THAT(duringCycle, UnorderedElementsAreArray(
                                 Without(AllEntries, {"LblComPort", "CmbComPort", "BtnTimer"})));
    EXPECT_THAT(EnabledEntries(), UnorderedElementsAreArray(Without(AllEntries, SerialEntries)));
}

TEST_F(ContinuousTest, ReadEveryTakesTheFirstReadingAtOnceAndStartsAPreciseTimer) {
    SetText("EdtTimer", QStringLiteral("15"));
    Click("BtnTimer");

    EXPECT_TRUE(Seen.Boxes.empty());
    EXPECT_EQ(Text("EdtMag"), "19.53");
    EXPECT_TRUE(Timer()->isActive());
    EXPECT_EQ(Timer()->interval(), 15 * 60000);
    EXPECT_EQ(Timer()->timerType(), Qt::PreciseTimer);
    EXPECT_THAT(EnabledEntries(), ElementsAre("BtnReset"));
    EXPECT_TRUE(Child("CmbStyles")->isEnabled());
    EXPECT_TRUE(Child("BtnHyperlink")->isEnabled());
}

TEST_F(ContinuousTest, TicksReuseTheLinkAndKeepTheTimerRunning) {
    Click("BtnTimer");
    Timer()->setInterval(20);
    Timer()->start();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return std::count(LastLink().Calls.begin(), LastLink().Calls.end(), "Connect") >= 3;
        },
        5000));
    EXPECT_EQ(Links.Made.size(), 1u);
    EXPECT_TRUE(Timer()->isActive());
    EXPECT_TRUE(Seen.Boxes.empty());
}

// Each tick is due one period after the one before, however long the cycle in between
// took: a night of readings keeps its period.
TEST_F(ContinuousTest, TicksKeepTheirScheduleWhateverACycleTakes) {
    Click("BtnTimer");
    LastLink().ConnectTime = std::chrono::milliseconds(250);
    QElapsedTimer clock;
    Timer()->setInterval(300);
    Timer()->start();
    clock.start();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return std::count(LastLink().Calls.begin(), LastLink().Calls.end(), "Connect") >= 6;
        },
        10000));
    // Five ticks: 1.75 s on schedule (the last cycle included), 2.75 s if each period
    // began after the cycle before.
    EXPECT_LT(clock.elapsed(), 2250);
}

TEST_F(ContinuousTest, AFailedFirstReadingLeavesReadEveryDisabledUntilReadNow) {
    Links.FailAt = "Connect";
    Links.FailWith = "Connection timed out.";
    Click("BtnTimer");

    EXPECT_THAT(Seen.Texts(),
                ElementsAre("Sky Quality Meter communication error: Connection timed out."));
    EXPECT_FALSE(Timer()->isActive());
    EXPECT_THAT(EnabledEntries(), UnorderedElementsAreArray(Without(
                                      AllEntries, {"LblComPort", "CmbComPort", "BtnTimer"})));
    Links.FailAt.clear();
    Click("BtnRead");
    EXPECT_TRUE(Child("BtnTimer")->isEnabled());
}

TEST_F(ContinuousTest, AFirstReadingThatIsNotANumberShowsTheReadNowText) {
    Links.FailAt = "ReadReading";
    Links.FailWith = "convert";
    Click("BtnTimer");
    EXPECT_THAT(Seen.Texts(), ElementsAre("The reading returned from the SQM is not valid."));
    EXPECT_FALSE(Timer()->isActive());
}

TEST_F(ContinuousTest, AFailedTickStopsTheTimerAndEnablesEveryEntry) {
    Click("BtnTimer");
    LastLink().FailAt = "ReadReading";
    LastLink().FailWith = "convert";
    Timer()->setInterval(10);
    Timer()->start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Seen.Boxes.empty(); }, 5000));
    QTest::qWait(50); // no further tick after the failure
    ASSERT_EQ(Seen.Boxes.size(), 1u);

    // The conversion's own message, not the Read Now text.
    EXPECT_EQ(Seen.Boxes[0].Text, "'x' is not a valid floating point value");
    EXPECT_FALSE(Timer()->isActive());
    EXPECT_FALSE(LastLink().Connected);
    EXPECT_EQ(LastLink().Calls.back(), "Disconnect");
    // The model rule is not applied again: the COM port list is enabled with the LE model.
    EXPECT_THAT(EnabledEntries(), UnorderedElementsAreArray(AllEntries));
}

TEST_F(ContinuousTest, ResetStopsClearsDisconnectsAndAppliesTheModelRule) {
    Click("BtnTimer");
    Click("BtnReset");

    EXPECT_FALSE(Timer()->isActive());
    EXPECT_EQ(Text("EdtMag"), "<none>");
    EXPECT_EQ(Text("EdtSerial"), "<none>");
    EXPECT_EQ(LastLink().Calls.back(), "Disconnect");
    EXPECT_EQ(Form->GetLink(), Links.Made.back().Link); // kept, not deleted
    EXPECT_THAT(EnabledEntries(), UnorderedElementsAreArray(Without(AllEntries, SerialEntries)));
}

TEST_F(ContinuousTest, ResetWithoutALinkIsHarmless) {
    Click("BtnReset");
    EXPECT_TRUE(Seen.Boxes.empty());
    EXPECT_EQ(Form->GetLink(), nullptr);
}

struct TExitRow {
    std::string Name;
    friend void PrintTo(const TExitRow& row, std::ostream* os) { *os << row.Name; }
    const char* Edit;
    QString Typed;
    QString After;
    int Beeps;
};

class ExitCheckTest : public ContinuousTest, public testing::WithParamInterface<TExitRow> {};

TEST_P(ExitCheckTest, LeavingTheFieldKeepsItWithinItsSpinnersRange) {
    const TExitRow& row = GetParam();
    QApplication::setActiveWindow(Form.get());
    auto* edit = Child<QLineEdit>(row.Edit);
    edit->setFocus(Qt::TabFocusReason);
    edit->setText(row.Typed);
    Child<QComboBox>("CmbModel")->setFocus(Qt::TabFocusReason);

    EXPECT_EQ(edit->text(), row.After);
    EXPECT_EQ(Seen.Beeps, row.Beeps);
}

INSTANTIATE_TEST_SUITE_P(Rows, ExitCheckTest,
                         testing::Values(TExitRow{"PeriodAboveRange", "EdtTimer", "100", "60", 0},
                                         TExitRow{"PeriodBelowRange", "EdtTimer", "-5", "1", 0},
                                         TExitRow{"PeriodEmpty", "EdtTimer", "", "1", 1},
                                         TExitRow{"PeriodText", "EdtTimer", "abc", "1", 1},
                                         TExitRow{"PeriodInRange", "EdtTimer", "42", "42", 0},
                                         TExitRow{"TimeoutAboveRange", "EdtTimeout", "45", "30", 0},
                                         TExitRow{"TimeoutText", "EdtTimeout", "x", "1", 1}),
                         RowName());

// The period field still has the focus (Read Every by its access key) and holds no whole
// number: the field's exit check comes first, then the readings at its period.
TEST_F(ContinuousTest, ReadEveryChecksAPeriodThatIsNotANumberFirst) {
    SetText("EdtTimer", QStringLiteral("1x"));
    Click("BtnTimer");

    EXPECT_EQ(Seen.Beeps, 1);
    EXPECT_EQ(Text("EdtTimer"), "1");
    EXPECT_TRUE(Seen.Boxes.empty());
    EXPECT_EQ(Text("EdtMag"), "19.53");
    EXPECT_TRUE(Timer()->isActive());
    EXPECT_EQ(Timer()->interval(), 60000);
}

TEST_F(ContinuousTest, TheSpinnerStepsThePeriodWithinItsRange) {
    SetText("EdtTimer", QStringLiteral("58"));
    auto* up = Child("SpnTimer")->findChild<QAbstractButton*>(QStringLiteral("Up"));
    up->click();
    EXPECT_EQ(Text("EdtTimer"), "60");
    auto* down = Child("SpnTimer")->findChild<QAbstractButton*>(QStringLiteral("Down"));
    down->click();
    EXPECT_EQ(Text("EdtTimer"), "55");
}

} // namespace
