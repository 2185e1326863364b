// The real window against the simulated SQM-LE on a loopback port.
#include "core/ReadingDisplay.h"
#include "meter/Dm_SQMBase.h"
#include "tests/window/WindowFixture.h"
#include "tools/sim/PtyMeter.h"
#include "tools/sim/TcpMeterServer.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QTest>
#include <gmock/gmock.h>

using testing::ElementsAre;
using testing::StartsWith;

namespace {

const QString Prefix = QStringLiteral("Sky Quality Meter communication error: ");

TMeterOptions Steady() {
    TMeterOptions options;
    options.Magnitude = 19.53;
    options.Temperature = 5.3;
    // Ticks of a few milliseconds reconnect before the meter has seen the last close.
    options.RefuseSecondClient = false;
    return options;
}

class SettingsFreeWindowTest : public WindowTest {};

class SimulatedMeterTest : public WindowTest {
protected:
    void SetUp() override { MakeForm(); }
    int Connections() const { return Meter.GetCounts().Connections; }

    TTcpMeterServer Meter{Steady()};
};

TEST_F(SimulatedMeterTest, ReadNowFillsTheEightFieldsAndStoresTheRecord) {
    const QString file = Home.path() + QStringLiteral("/readings.txt");
    PointAt(Meter.GetPort());
    Child<QCheckBox>("ChkSaveReading")->setChecked(true);
    SetText("EdtFileName", file);
    Click("BtnRead");

    EXPECT_TRUE(Seen.Boxes.empty());
    ExpectDefaultReadingShown();
    ASSERT_NE(Form->GetLink(), nullptr);
    EXPECT_EQ(Text("EdtTimestamp").toStdString(),
              ReadingTimeText(Form->GetLink()->GetReadingTime()));
    EXPECT_EQ(Connections(), 1);
    EXPECT_TRUE(Meter.WaitUntil([](const auto& c) { return c.OpenConnections == 0; },
                                std::chrono::seconds(5)));

    QFile stored(file);
    ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = stored.readAll().split('\n');
    ASSERT_EQ(lines.size(), 4); // two header lines, the record, and after its CR LF nothing
    EXPECT_EQ(lines[0], "Produced by Nightlux 3.0.0.0\r");
    EXPECT_THAT(lines[2].toStdString(), testing::EndsWith(",19.53,5.2,00005533,00000004,"
                                                          "00000003,00000076,05.3,,,,\r"));
}

TEST_F(SimulatedMeterTest, ARefusedConnectionShowsTheLinksMessage) {
    std::uint16_t closedPort = 0;
    {
        TTcpMeterServer gone;
        closedPort = gone.GetPort();
    }
    PointAt(closedPort);
    Click("BtnRead");
    EXPECT_THAT(Seen.Texts(),
                ElementsAre(Prefix + "Could not connect with SQM-LE.\nPlease verify that the IP "
                                     "address and port number are correct; the meter may be "
                                     "connected to another user."));
    EXPECT_EQ(Text("EdtModel"), "<none>");
    EXPECT_TRUE(Child("BtnTimer")->isEnabled());
}

TEST_F(SimulatedMeterTest, ASilentMeterStopsReadEveryBeforeItStarts) {
    TMeterOptions silent = Steady();
    silent.Silent = true;
    Meter.SetOptions(silent);
    PointAt(Meter.GetPort(), 1);
    Click("BtnTimer");

    EXPECT_THAT(Seen.Texts(),
                ElementsAre(Prefix + "SQM did not return the requested reading.\nPlease verify "
                                     "that the IP address and port number are correct; try "
                                     "increasing the time out value."));
    EXPECT_FALSE(Timer()->isActive());
    EXPECT_FALSE(Child("BtnTimer")->isEnabled());
    EXPECT_TRUE(Child("BtnRead")->isEnabled());
    EXPECT_TRUE(Child("BtnReset")->isEnabled());
    EXPECT_TRUE(Meter.WaitUntil([](const auto& c) { return c.OpenConnections == 0; },
                                std::chrono::seconds(5)));
}

TEST_F(SimulatedMeterTest, AReadingThatIsNotANumber) {
    TMeterOptions garbled = Steady();
    garbled.NonNumeric = true;
    Meter.SetOptions(garbled);
    PointAt(Meter.GetPort());

    Click("BtnRead");
    EXPECT_THAT(Seen.Texts(), ElementsAre("The reading returned from the SQM is not valid."));
    EXPECT_EQ(Text("EdtSerial"), "5533");
    EXPECT_EQ(Text("EdtMag"), "<none>");

    // The same reply on a tick: the conversion's own message.
    Seen.Boxes.clear();
    Meter.SetOptions(Steady());
    Click("BtnTimer");
    ASSERT_TRUE(Seen.Boxes.empty());
    Meter.SetOptions(garbled);
    Timer()->setInterval(10);
    Timer()->start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Seen.Boxes.empty(); }, 5000));
    EXPECT_THAT(Seen.Boxes[0].Text.toStdString(), StartsWith("'"));
    EXPECT_THAT(Seen.Boxes[0].Text.toStdString(),
                testing::HasSubstr("is not a valid floating point value"));
    EXPECT_FALSE(Timer()->isActive());
    EXPECT_TRUE(Child("CmbComPort")->isEnabled());
}

TEST_F(SimulatedMeterTest, ReadEveryReadsAtOnceThenOnEachTick) {
    PointAt(Meter.GetPort());
    SetText("EdtTimer", QStringLiteral("15"));
    Click("BtnTimer");
    EXPECT_EQ(Connections(), 1);
    EXPECT_EQ(Timer()->interval(), 15 * 60000);

    Timer()->setInterval(20);
    Timer()->start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Connections() >= 3; }, 5000));
    Click("BtnReset");
    EXPECT_TRUE(Seen.Boxes.empty());
    EXPECT_EQ(Text("EdtMag"), "<none>");
}

// While the box of a tick's failed save stays open, ticks keep falling due: the meter sees
// the connection of that tick and no second one.
TEST_F(SimulatedMeterTest, ATickDueWhileTheCyclesMessageBoxIsOpenIsSkipped) {
    PointAt(Meter.GetPort());
    Child<QCheckBox>("ChkSaveReading")->setChecked(true);
    SetText("EdtFileName", Home.path() + QStringLiteral("/missing/readings.txt"));
    Click("BtnTimer");
    ASSERT_EQ(Seen.Boxes.size(), 1u); // the first reading's box, closed at once
    ASSERT_EQ(Connections(), 1);

    int connectionsWhileOpen = -1;
    int openWhileOpen = -1;
    TWindowSeams openBox;
    openBox.MessageBox = [&](const QString&, const QString&, TMessageIcon) {
        QTest::qWait(400);
        const TMeterServerCounts counts = Meter.GetCounts();
        connectionsWhileOpen = counts.Connections;
        openWhileOpen = counts.OpenConnections;
        Timer()->stop();
    };
    const TWindowSeamsOverride whileOpen(std::move(openBox));
    Timer()->setInterval(20);
    Timer()->start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return connectionsWhileOpen >= 0; }, 5000));

    EXPECT_EQ(connectionsWhileOpen, 2);
    // The window shows the readings file's notice after the cycle closed its connection.
    EXPECT_EQ(openWhileOpen, 0);
    EXPECT_EQ(Connections(), 2);
}

} // namespace

namespace {

// A USB meter on a pseudo-terminal, chosen through the stored settings.
TEST_F(SettingsFreeWindowTest, ReadNowReadsAUsbMeterOnItsDevice) {
    TPtyMeter meter(Steady());
    const QString folder = Home.path() + QStringLiteral("/.config/Corvatek/Nightlux/3.0");
    QDir().mkpath(folder);
    QFile settings(folder + QStringLiteral("/nightlux.ini"));
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write("[SQM]\nConfig-1=\"SQM0\", \"LU (USB)\", (null), 10001, 8000, " +
                   QByteArray::fromStdString(meter.DevicePath()) + ", 115200\n");
    settings.close();
    MakeForm();
    EXPECT_EQ(Text("CmbComPort").toStdString(), meter.DevicePath());
    EXPECT_TRUE(Child("CmbComPort")->isEnabled());

    Click("BtnRead");
    EXPECT_TRUE(Seen.Boxes.empty());
    EXPECT_EQ(Text("EdtMag"), "19.53");
    EXPECT_EQ(Text("EdtSerial"), "5533");
}

} // namespace
