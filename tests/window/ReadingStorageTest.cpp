// Readings stored through the window, a file that cannot be written, and a tick that falls
// due while a message box of the cycle before is still open.
#include "tests/window/WindowFixture.h"

#include <QCheckBox>
#include <QFile>
#include <QTest>
#include <gmock/gmock.h>

using testing::ElementsAre;

namespace {

class ReadingStorageTest : public FakeLinkWindowTest {
protected:
    void SetUp() override {
        FakeLinkWindowTest::SetUp();
        Child<QCheckBox>("ChkSaveReading")->setChecked(true);
    }
    int Connects() {
        const auto& calls = LastLink().Calls;
        return static_cast<int>(std::count(calls.begin(), calls.end(), "Connect"));
    }
};

TEST_F(ReadingStorageTest, ReadNowStoresTheRecordAfterTheHeader) {
    const QString file = Home.path() + QStringLiteral("/sky.txt");
    SetText("EdtFileName", file);
    Click("BtnRead");
    Click("BtnRead");

    EXPECT_TRUE(Seen.Boxes.empty());
    QFile stored(file);
    ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
    const std::string record = "2017/03/21,21:30:15,19.53,5.2,00005533,00000004,00000003,"
                               "00000076,05.3,,,,\r\n";
    EXPECT_EQ(stored.readAll().toStdString(),
              "Produced by Nightlux 3.0.0.0\r\n"
              "Year/Month/Day,Hour/Minute/Second,MPSAS,NELM,SerialNo,Protocol,Model,Feature,"
              "Temp(C),,,,\r\n" +
                  record + record);
}

TEST_F(ReadingStorageTest, AFileThatCannotBeWrittenIsReportedAndTheReadingStays) {
    const QString file = Home.path() + QStringLiteral("/missing/sky.txt");
    SetText("EdtFileName", file);
    Click("BtnRead");

    EXPECT_EQ(Seen.Beeps, 1);
    EXPECT_THAT(Seen.Texts(), ElementsAre(QStringLiteral("Could not save reading to ") + file));
    EXPECT_EQ(Text("EdtMag"), "19.53");
    EXPECT_EQ(Links.Made.back().Link->Calls.back(), "Disconnect");
    EXPECT_FALSE(QFile::exists(Home.path() + QStringLiteral("/missing")));
}

TEST_F(ReadingStorageTest, InContinuousModeTheTimerKeepsRunningAfterAFailedSave) {
    SetText("EdtFileName", Home.path() + QStringLiteral("/missing/sky.txt"));
    Click("BtnTimer");
    Timer()->setInterval(10);
    Timer()->start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Seen.Boxes.size() >= 3; }, 5000));
    EXPECT_TRUE(Timer()->isActive());
    EXPECT_THAT(EnabledEntries(), ElementsAre("BtnReset"));
}

// The message box of a tick's cycle runs its own event loop; ticks that fall due meanwhile
// must not start a second cycle on the same link.
TEST_F(ReadingStorageTest, ATickDueWhileAMessageBoxOfTheCycleIsOpenIsSkipped) {
    SetText("EdtFileName", Home.path() + QStringLiteral("/missing/sky.txt"));
    Click("BtnTimer"); // the first reading's box closes at once
    ASSERT_EQ(Connects(), 1);

    int connectsWhileOpen = -1;
    bool connectedWhileOpen = false;
    TWindowSeams openBox;
    openBox.MessageBox = [&](const QString&, const QString&, TMessageIcon) {
        QTest::qWait(300); // the box stays open over many periods of the timer
        connectsWhileOpen = Connects();
        connectedWhileOpen = Links.Made.back().Link->Connected;
        Timer()->stop();
    };
    const TWindowSeamsOverride whileOpen(std::move(openBox));
    Timer()->setInterval(20);
    Timer()->start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return connectsWhileOpen >= 0; }, 5000));

    EXPECT_EQ(connectsWhileOpen, 2); // the first reading and the tick whose box is open
    // The readings file returns its notice and the window shows it after the cycle, with the
    // link already closed.
    EXPECT_FALSE(connectedWhileOpen);
    EXPECT_EQ(Connects(), 2);
    EXPECT_FALSE(Links.Made.back().Link->Connected);
}

} // namespace
