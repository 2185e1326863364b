// The window and nightlux-read write the time of the same reading alike, in the user's
// regional formats.

#include "headless/HeadlessReader.h"
#include "headless/StopSignals.h"
#include "tests/support/GermanLocale.h"
#include "tests/support/RowName.h"
#include "tests/support/ScopedEnv.h"
#include "tests/window/WindowFixture.h"

#include <gmock/gmock.h>
#include <sstream>

namespace {

// A single reading never waits.
class TNoWaits : public TStopWaiter {
public:
    bool IsStopRequested() const override { return false; }
    bool WaitUntil(TClock::time_point) override { return false; }
};

// The headless reader's "Time of Reading" of a reading taken through the same fake links.
std::string HeadlessTimeText(const std::string& settingsFile) {
    std::ostringstream out;
    std::ostringstream err;
    TNoWaits waiter;
    EXPECT_EQ(RunHeadlessReader({"--host", "127.0.0.1"}, settingsFile, out, err, waiter), 0)
        << err.str();
    const std::string text = out.str();
    const std::string label = "Time of Reading: ";
    const std::size_t begin = text.find(label);
    if (begin == std::string::npos)
        return "(no time in: " + text + ")";
    const std::size_t end = text.find('\n', begin);
    return text.substr(begin + label.size(), end - begin - label.size());
}

struct TLocaleRow {
    std::string Name;
    friend void PrintTo(const TLocaleRow& row, std::ostream* os) { *os << row.Name; }
    const char* Locale;
    std::string Text; // of 2017-03-21 21:30:15
};

class SameTimeTextTest : public FakeLinkWindowTest,
                         public testing::WithParamInterface<TLocaleRow> {};

TEST_P(SameTimeTextTest, InTheWindowAndFromTheHeadlessReader) {
    const TGermanLocale german;
    ASSERT_TRUE(german.IsActive());
    const TScopedEnv locale("LC_ALL", GetParam().Locale);
    Click("BtnRead");
    EXPECT_EQ(Text("EdtTimestamp").toStdString(), GetParam().Text);
    EXPECT_EQ(HeadlessTimeText(SettingsFile().toStdString()), GetParam().Text);
}

INSTANTIATE_TEST_SUITE_P(Rows, SameTimeTextTest,
                         testing::Values(TLocaleRow{"C", "C", "03/21/17 21:30:15"},
                                         TLocaleRow{"German", TGermanLocale::Name,
                                                    "21.03.2017 21:30:15"}),
                         RowName());

} // namespace
