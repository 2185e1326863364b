// The read cycle that both programs run: its steps, the texts it makes as it goes, and
// what a failure at each step tells the user.

#include "core/ReadingDisplay.h"
#include "meter/Dm_SQMBase.h"
#include "platform/NumberFormat.h"
#include "session/ReadingCycle.h"
#include "session/ReadingSession.h"
#include "tests/support/RowName.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempFolder.h"
#include "tests/support/UiRecorder.h"
#include "tools/sim/MeterReplies.h"

#include <fstream>
#include <gmock/gmock.h>
#include <sstream>

namespace {

using testing::ElementsAre;

// A link that answers from fixed replies, fails at one step on request and records the
// steps taken.
class TScriptedLink : public TDmSQMBase {
public:
    TScriptedLink() {
        const TMeterReplies replies;
        UnitInfo = replies.UnitInfoLine();
        Reading = replies.ReadingLine(19.53, 5.3);
    }
    void Connect() override { Step("Connect"); }
    void Disconnect() override { Calls.push_back("Disconnect"); }
    void ReadUnitInfo() override {
        Step("ReadUnitInfo");
        UnitInfoReply = UnitInfo;
    }
    void ReadReading() override {
        Step("ReadReading");
        ReadingReply = Reading;
        ReadingTime = EncodeDateTime(2017, 3, 21, 21, 30, 15, 0);
    }
    void ReadCalibration() override {}

    std::string UnitInfo;
    std::string Reading;
    std::string FailAt;
    std::function<void()> Fail;
    std::vector<std::string> Calls;

private:
    void Step(const std::string& name) {
        Calls.push_back(name);
        if (name == FailAt)
            Fail();
    }
};

class ReadingCycle : public testing::Test {
protected:
    const TScopedEnv Locale{"LC_ALL", "C"};
    TScriptedLink Link;
};

TEST_F(ReadingCycle, TakesTheReadingAndMakesTheTextsInTheWindowsOrder) {
    std::vector<TReadingField> order;
    const TReadingOutcome outcome = TReadingCycle(Link).Run(
        TCycleKind::Single, std::nullopt,
        [&](TReadingField field, const std::string&) { order.push_back(field); });
    EXPECT_TRUE(outcome.Taken);
    EXPECT_TRUE(outcome.Stored);
    EXPECT_EQ(outcome.Message, "");
    EXPECT_FALSE(outcome.StopsTicks);
    EXPECT_THAT(Link.Calls, ElementsAre("Connect", "ReadUnitInfo", "ReadReading", "Disconnect"));
    using enum TReadingField;
    EXPECT_THAT(order,
                ElementsAre(Model, Serial, Protocol, Feature, Magnitude, Nelm, Temperature, Time));
    EXPECT_EQ(outcome.Texts[Magnitude], "19.53");
    EXPECT_EQ(outcome.Texts[Nelm], "5.2");
    EXPECT_EQ(outcome.Texts[Temperature], "5.3 \u00B0C");
    EXPECT_EQ(outcome.Texts[Serial], "5533");
    EXPECT_EQ(outcome.Texts[Time], "03/21/17 21:30:15");
    EXPECT_TRUE(outcome.Texts.IsComplete());
    ASSERT_TRUE(outcome.Reading);
    const TReading& reading = *outcome.Reading;
    EXPECT_EQ(reading.Time, EncodeDateTime(2017, 3, 21, 21, 30, 15, 0));
    EXPECT_DOUBLE_EQ(reading.Magnitude, 19.53);
    EXPECT_EQ(FormatFixed(reading.Nelm, 1), "5.2");
    EXPECT_DOUBLE_EQ(reading.Temperature, 5.3);
    EXPECT_EQ(reading.UnitInfoReply, Link.UnitInfo);
    EXPECT_EQ(reading.ReadingReply, Link.Reading);
    EXPECT_EQ(reading.SerialNumber, Link.GetSerialNumber());
    for (const TReadingField field :
         {Model, Serial, Protocol, Feature, Magnitude, Nelm, Temperature, Time})
        EXPECT_EQ(outcome.Texts[field], FieldText(field, reading)) << ReadingFieldName(field);
}

struct TFailureRow {
    std::string Name;
    std::string FailAt; // the step that raises
    std::string Raises; // "meter", "convert", "other" or "unknown"; "field" spoils the magnitude
    TCycleKind Kind;
    std::string Message;
    bool Unexpected; // left to the window's default handler
    int TextsMade;
};

class ReadingCycleFailure : public ReadingCycle, public testing::WithParamInterface<TFailureRow> {};

TEST_P(ReadingCycleFailure, DisconnectsAndSaysWhatWentWrong) {
    const TFailureRow& row = GetParam();
    Link.FailAt = row.FailAt;
    Link.Fail = [&row] {
        if (row.Raises == "meter")
            throw ESqm("Timeout reading from SQM.");
        if (row.Raises == "convert")
            throw EConvertError("'x' is not a valid floating point value");
        if (row.Raises == "other")
            throw Exception("Something else went wrong.");
        throw 42;
    };
    if (row.Raises == "field")
        Link.Reading.replace(2, 6, "19,53x");
    const TReadingOutcome outcome = TReadingCycle(Link).Run(row.Kind, std::nullopt);
    EXPECT_FALSE(outcome.Taken);
    EXPECT_EQ(outcome.Message, row.Message);
    EXPECT_EQ(outcome.Unexpected != nullptr, row.Unexpected);
    EXPECT_EQ(outcome.StopsTicks, row.Kind == TCycleKind::Tick);
    EXPECT_EQ(Link.Calls.back(), "Disconnect");
    int made = 0;
    for (const auto& text : outcome.Texts.Fields)
        made += text.has_value();
    EXPECT_EQ(made, row.TextsMade) << "the texts as far as the cycle came";
    EXPECT_FALSE(outcome.Reading) << "no reading is made of a cycle that failed";
}

const std::string Meter = "Sky Quality Meter communication error: Timeout reading from SQM.";
const std::string BadFloat = "'x' is not a valid floating point value";

INSTANTIATE_TEST_SUITE_P(
    Rows, ReadingCycleFailure,
    testing::Values(
        TFailureRow{"MeterAtConnect", "Connect", "meter", TCycleKind::Single, Meter, false, 0},
        TFailureRow{"MeterAtReading", "ReadReading", "meter", TCycleKind::Single, Meter, false, 4},
        TFailureRow{"ConversionOfASingleReading", "ReadReading", "convert", TCycleKind::Single,
                    NotValidReading, false, 4},
        TFailureRow{"ConversionOfATick", "ReadReading", "convert", TCycleKind::Tick, BadFloat,
                    false, 4},
        TFailureRow{"ReplyFieldOfASingleReading", "", "field", TCycleKind::Single, NotValidReading,
                    false, 4},
        TFailureRow{"ReplyFieldOfATick", "", "field", TCycleKind::Tick,
                    "'19,53x' is not a valid floating point value", false, 4},
        TFailureRow{"OtherErrorOfASingleReading", "ReadUnitInfo", "other", TCycleKind::Single,
                    "Something else went wrong.", true, 0},
        TFailureRow{"OtherErrorOfATick", "ReadUnitInfo", "other", TCycleKind::Tick,
                    "Something else went wrong.", false, 0},
        TFailureRow{"UnknownErrorOfASingleReading", "Connect", "unknown", TCycleKind::Single,
                    "Unknown exception.", true, 0},
        TFailureRow{"UnknownErrorOfATick", "Connect", "unknown", TCycleKind::Tick,
                    "Unknown exception.", false, 0}),
    RowName());

TEST_F(ReadingCycle, StoresTheReadingWhenAFileIsGiven) {
    const TTempFolder folder;
    const std::string file = folder.File("sky.txt");
    EXPECT_TRUE(TReadingCycle(Link).Run(TCycleKind::Single, file).Stored);
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("2017/03/21,21:30:15,19.53,5.2,"), std::string::npos) << text.str();
}

TEST_F(ReadingCycle, AFailedStoreComesBackAsANoticeAndTheReadingStillCounts) {
    const TUiRecorder seen;
    const TReadingOutcome outcome =
        TReadingCycle(Link).Run(TCycleKind::Tick, std::string("/nonexistent-folder/sky.txt"));
    EXPECT_TRUE(outcome.Taken);
    EXPECT_FALSE(outcome.Stored);
    EXPECT_FALSE(outcome.StopsTicks);
    EXPECT_EQ(
        outcome.StoreNotice,
        (TNotice{ENoticeSeverity::Error, "Could not save reading to /nonexistent-folder/sky.txt"}));
    EXPECT_TRUE(seen.Events.empty()) << "the program presents it";
}

// The session takes its readings on its own link and keeps those taken only when asked.
TEST(ReadingSession, KeepsTheReadingsTakenWhenAsked) {
    const TScopedEnv locale{"LC_ALL", "C"};
    for (const TReadingSession::EKeep keep :
         {TReadingSession::EKeep::Readings, TReadingSession::EKeep::Nothing}) {
        auto owned = std::make_unique<TScriptedLink>();
        TScriptedLink& link = *owned;
        TReadingSession session(keep, std::move(owned));
        EXPECT_EQ(session.Link(), &link);
        EXPECT_EQ(session.Sharing(), nullptr);
        const TReadingOutcome first = session.Take(TCycleKind::Single, std::nullopt);
        ASSERT_TRUE(first.Taken);
        link.FailAt = "ReadReading";
        link.Fail = [] { throw ESqm("Timeout reading from SQM."); };
        EXPECT_FALSE(session.Take(TCycleKind::Tick, std::nullopt).Taken);
        if (keep == TReadingSession::EKeep::Readings) {
            ASSERT_EQ(session.Readings().size(), 1u) << "the failed reading is not kept";
            EXPECT_EQ(session.Readings()[0].ReadingReply, first.Reading->ReadingReply);
        } else {
            EXPECT_TRUE(session.Readings().empty());
        }
        session.SetLink(nullptr);
        EXPECT_THROW(session.Take(TCycleKind::Single, std::nullopt), Exception);
    }
}

} // namespace
