// The reading cycle driven through the real window, against links that answer from the
// simulated meter's reply lines.
#include "tests/support/CommaLocale.h"
#include "tests/support/RowName.h"
#include "tests/support/ScopedEnv.h"
#include "tests/window/WindowFixture.h"
#include "tools/sim/MeterReplies.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QTest>
#include <clocale>
#include <gmock/gmock.h>

using testing::ElementsAre;

namespace {

const QString NotValid = QStringLiteral("The reading returned from the SQM is not valid.");

class ReadingCycleTest : public FakeLinkWindowTest {
protected:
    void SelectModel(int index) { Child<QComboBox>("CmbModel")->setCurrentIndex(index); }
};

TEST_F(ReadingCycleTest, ReadNowFillsTheEightFieldsInTheirDisplayForms) {
    const TScopedEnv locale("LC_ALL", "C");
    Click("BtnRead");

    EXPECT_TRUE(Seen.Boxes.empty());
    ExpectDefaultReadingShown();
    EXPECT_EQ(Text("EdtTimestamp"), "03/21/17 21:30:15"); // the C locale's forms
    EXPECT_THAT(LastLink().Calls,
                ElementsAre("Connect", "ReadUnitInfo", "ReadReading", "Disconnect"));
    EXPECT_TRUE(Child("BtnTimer")->isEnabled());
    EXPECT_FALSE(Timer()->isActive());
    EXPECT_EQ(LastLink().CursorAtConnect, Qt::WaitCursor);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(ReadingCycleTest, EachClickMakesAFreshLinkWithTheEntries) {
    Click("BtnRead");
    Click("BtnRead");
    ASSERT_EQ(Links.Made.size(), 2u);
    EXPECT_EQ(Links.Made[1].Kind, "LE");
    EXPECT_EQ(Links.Made[1].Host, "127.0.0.1");
    EXPECT_EQ(Links.Made[1].Port, 10001);
    EXPECT_EQ(Links.Made[1].Timeout, 5000);
    EXPECT_EQ(Form->GetLink(), Links.Made[1].Link);
}

TEST_F(ReadingCycleTest, SerialModelsTakeThePortNameAndLineSpeedWithoutChecks) {
    for (int index : {1, 2, 3}) {
        SelectModel(index);
        SetText("EdtIP", QString());
        SetText("EdtPort", QStringLiteral("abc"));
        Child<QComboBox>("CmbComPort")->setCurrentText(QStringLiteral("COM7"));
        Click("BtnRead");
        ASSERT_EQ(Links.Made.back().Kind, "LUR") << index;
        EXPECT_EQ(Links.Made.back().ComPort, "COM7");
        EXPECT_EQ(Links.Made.back().BaudRate, 115200);
    }
    EXPECT_TRUE(Seen.Boxes.empty());
}

struct TEntryRow {
    std::string Name;
    friend void PrintTo(const TEntryRow& row, std::ostream* os) { *os << row.Name; }
    QString Host;
    QString Port;
    QString Timeout;
    QString Message; // empty: accepted
    int TimeoutMs = 0;
};

class EntryCheckTest : public ReadingCycleTest, public testing::WithParamInterface<TEntryRow> {};

TEST_P(EntryCheckTest, RefusedEntriesShowTheirMessageAndLeaveNoLink) {
    const TEntryRow& row = GetParam();
    Click("BtnRead"); // a link exists before the refused click
    Seen.Boxes.clear();
    SetText("EdtIP", row.Host);
    SetText("EdtPort", row.Port);
    SetText("EdtTimeout", row.Timeout);

    Click("BtnRead");

    if (row.Message.isEmpty()) {
        EXPECT_TRUE(Seen.Boxes.empty());
        ASSERT_EQ(Links.Made.size(), 2u);
        EXPECT_EQ(Links.Made[1].Host, row.Host.toStdString());
        EXPECT_EQ(Links.Made[1].Timeout, row.TimeoutMs);
    } else {
        ASSERT_EQ(Seen.Boxes.size(), 1u);
        EXPECT_EQ(Seen.Boxes[0].Text, row.Message);
        EXPECT_EQ(Seen.Boxes[0].Caption, "Nightlux 3");
        EXPECT_EQ(Form->GetLink(), nullptr);
        EXPECT_EQ(Links.Made.size(), 1u);
    }
    EXPECT_TRUE(Child("BtnTimer")->isEnabled());
}

const QString NoHost = QStringLiteral("A non-blank IP Address must be entered.");
const QString BadPort = QStringLiteral("Port must be between 1 and 65535 inclusively.");
const QString BadTimeout = QStringLiteral("Timeout must be between 1 and 30 inclusively.");

INSTANTIATE_TEST_SUITE_P(Rows, EntryCheckTest,
                         testing::Values(TEntryRow{"EmptyHost", "", "10001", "5", NoHost},
                                         TEntryRow{"NullHost", "(null)", "10001", "5", NoHost},
                                         TEntryRow{"BlankHostPasses", " ", "10001", "5", {}, 5000},
                                         TEntryRow{"Port0", "h", "0", "5", BadPort},
                                         TEntryRow{"Port65536", "h", "65536", "5", BadPort},
                                         TEntryRow{"PortAbc", "h", "abc", "5", BadPort},
                                         TEntryRow{"Port65535Passes", "h", "65535", "5", {}, 5000},
                                         TEntryRow{"Timeout0", "h", "1", "0", BadTimeout},
                                         TEntryRow{"Timeout31", "h", "1", "31", BadTimeout},
                                         TEntryRow{"TimeoutX", "h", "1", "x", BadTimeout},
                                         TEntryRow{"TimeoutHuge", "h", "1", "2147484", BadTimeout},
                                         TEntryRow{"Timeout30Passes", "h", "1", "30", {}, 30000}),
                         RowName());

TEST_F(ReadingCycleTest, NoModelSelectedReachesTheStandardErrorBox) {
    Child<QComboBox>("CmbModel")->setCurrentIndex(-1);
    Click("BtnRead");
    ASSERT_EQ(Seen.Boxes.size(), 1u);
    EXPECT_EQ(Seen.Boxes[0].Caption, "Nightlux 3");
    EXPECT_EQ(Seen.Boxes[0].Text, "No Model is selected.");
    EXPECT_EQ(Seen.Boxes[0].Icon, TMessageIcon::Critical);
    EXPECT_TRUE(Form->isVisible());
}

struct TFailureRow {
    std::string Name;
    friend void PrintTo(const TFailureRow& row, std::ostream* os) { *os << row.Name; }
    std::string FailAt;
    std::string FailWith;
    QString Message;
    QString Model; // EdtModel afterwards
    QString Magnitude;
};

class ReadNowFailureTest : public ReadingCycleTest,
                           public testing::WithParamInterface<TFailureRow> {};

TEST_P(ReadNowFailureTest, ShowsTheMessageDisconnectsAndKeepsTheDisplayAsFarAsItCame) {
    const TFailureRow& row = GetParam();
    Links.FailAt = row.FailAt;
    Links.FailWith = row.FailWith;
    Click("BtnRead");

    ASSERT_EQ(Seen.Boxes.size(), 1u);
    EXPECT_EQ(Seen.Boxes[0].Text, row.Message);
    EXPECT_EQ(Text("EdtModel"), row.Model);
    EXPECT_EQ(Text("EdtMag"), row.Magnitude);
    EXPECT_EQ(Text("EdtTimestamp"), "<none>");
    EXPECT_EQ(LastLink().Calls.back(), "Disconnect");
    EXPECT_TRUE(Child("BtnTimer")->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ReadNowFailureTest,
    testing::Values(TFailureRow{"RefusedAtConnect", "Connect", "Connection refused.",
                                "Sky Quality Meter communication error: Connection refused.",
                                "<none>", "<none>"},
                    TFailureRow{"SilentAtReading", "ReadReading", "No reply.",
                                "Sky Quality Meter communication error: No reply.", "3", "<none>"},
                    TFailureRow{"NotANumber", "ReadReading", "convert", NotValid, "3", "<none>"},
                    TFailureRow{"OtherException", "ReadUnitInfo", "other",
                                "Something else went wrong.", "<none>", "<none>"}),
    RowName());

TEST_F(ReadingCycleTest, AMagnitudeThatIsNotANumberShowsTheUnitFieldsOnly) {
    TMeterOptions options;
    options.NonNumeric = true;
    TMeterReplies replies(options);
    Links.ReadingLine = replies.Answer("rx");
    Click("BtnRead");
    EXPECT_THAT(Seen.Texts(), ElementsAre(NotValid));
    EXPECT_EQ(Text("EdtSerial"), "5533");
    EXPECT_EQ(Text("EdtFeature"), "76");
    for (const char* field : {"EdtMag", "EdtNELM", "EdtTemp", "EdtTimestamp"})
        EXPECT_EQ(Text(field), "<none>") << field;
}

// The window system sets the C library's numeric category from the environment; the
// window puts "." back before it writes or reads a number.
TEST_F(WindowTest, NumbersUseADotWhateverTheLocale) {
    TFakeLinks links;
    TCommaLocale comma;
    if (!comma.IsActive())
        GTEST_SKIP() << "no locale with a decimal comma on this machine";
    MakeForm();
    EXPECT_STREQ(std::localeconv()->decimal_point, ".");
    SetText("EdtIP", QStringLiteral("127.0.0.1"));
    Click("BtnRead");
    EXPECT_EQ(Text("EdtMag"), "19.53");
    EXPECT_EQ(Text("EdtNELM"), "5.2");
    EXPECT_EQ(Text("EdtTemp"), QString::fromUtf8("5.3 \u00B0C"));
}

} // namespace
