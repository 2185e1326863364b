// The settings as the window loads them at start and stores them at closing, on a
// temporary settings folder.
#include "tests/window/WindowFixture.h"
#include "window/CloseOnSignal.h"
#include "window/StyleManager.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QTest>
#include <csignal>
#include <gmock/gmock.h>

namespace {

class SettingsTest : public WindowTest {
protected:
    void WriteSettings(const QString& lines) {
        QDir().mkpath(ConfigFolder());
        QFile file(SettingsFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(("[SQM]\n" + lines).toUtf8());
    }
    QString ReadSettings() const {
        QFile file(SettingsFile());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    void Close() {
        Form->close();
        Form.reset();
    }
    void Restart() {
        Close();
        MakeForm();
    }
};

TEST_F(SettingsTest, FirstRunShowsTheDefaultsAndClosingWritesTheFiveKeys) {
    MakeForm();
    EXPECT_EQ(Text("CmbModel"), "LE (Ethernet)");
    EXPECT_EQ(Text("CmbComPort"), "COM1");
    EXPECT_EQ(Text("EdtIP"), "");
    EXPECT_EQ(Text("EdtPort"), "10001");
    EXPECT_EQ(Text("EdtTimeout"), "8");
    EXPECT_EQ(Text("EdtTimer"), "15");
    EXPECT_FALSE(Child<QCheckBox>("ChkSaveReading")->isChecked());
    EXPECT_EQ(Text("EdtFileName"), "");
    EXPECT_EQ(Text("CmbStyles"), "Slate Classico");
    EXPECT_EQ(TStyleManager::ActiveStyleName(), "Slate Classico");
    EXPECT_EQ(Form->GetBaudRate(), 115200);
    EXPECT_FALSE(QFile::exists(SettingsFile()));

    SetText("EdtIP", QStringLiteral("192.168.1.10"));
    Close();
    EXPECT_EQ(ReadSettings(), "[SQM]\n"
                              "Config-1=\"SQM0\", \"LE (Ethernet)\", 192.168.1.10, 10001, 8000, "
                              "COM1, 115200\n"
                              "Timer=15\n"
                              "Store=0\n"
                              "File=\n"
                              "Style=Slate Classico\n");
}

TEST_F(SettingsTest, AnEmptyAddressComesBackAsNullAndReadNowAsksForOne) {
    TFakeLinks links;
    MakeForm();
    SetText("EdtIP", QStringLiteral("  "));
    Restart();
    EXPECT_EQ(Text("EdtIP"), "(null)");
    Click("BtnRead");
    EXPECT_THAT(Seen.Texts(), testing::ElementsAre("A non-blank IP Address must be entered."));
    EXPECT_TRUE(links.Made.empty());
}

TEST_F(SettingsTest, APortThatIsNotANumberWritesNothing) {
    WriteSettings("Config-1=\"SQM0\", \"LU (USB)\", meter.local, 10002, 5000, COM3, 115200\n"
                  "Timer=30\n");
    const QString before = ReadSettings();
    MakeForm();
    SetText("EdtPort", QStringLiteral("abc"));
    SetText("EdtTimer", QStringLiteral("45"));
    Close();
    EXPECT_EQ(ReadSettings(), before);
}

TEST_F(SettingsTest, StoredValuesComeBack) {
    WriteSettings("Config-1=\"SQM0\", \"lu-dl (usb)\", meter.local, 10002, 5000, com3, 115200\n"
                  "Timer=30\nStore=1\nFile=/data/sky.txt\nStyle=Jet\n");
    MakeForm();
    EXPECT_EQ(Text("CmbModel"), "LU-DL (USB)");
    EXPECT_EQ(Text("CmbComPort"), "COM3");
    EXPECT_EQ(Text("EdtIP"), "meter.local");
    EXPECT_EQ(Text("EdtPort"), "10002");
    EXPECT_EQ(Text("EdtTimeout"), "5");
    EXPECT_EQ(Text("EdtTimer"), "30");
    EXPECT_TRUE(Child<QCheckBox>("ChkSaveReading")->isChecked());
    EXPECT_EQ(Text("EdtFileName"), "/data/sky.txt");
    EXPECT_EQ(Text("CmbStyles"), "Jet");
    EXPECT_EQ(TStyleManager::ActiveStyleName(), "Jet");
    // The model rule applies when the window is shown.
    EXPECT_FALSE(Child("EdtIP")->isEnabled());
    EXPECT_TRUE(Child("CmbComPort")->isEnabled());
}

struct TLoadRow {
    std::string Name;
    QString Lines;
    const char* Control;
    QString Shown;
    friend void PrintTo(const TLoadRow& row, std::ostream* os) { *os << row.Name; }
};

class LoadRowTest : public SettingsTest, public testing::WithParamInterface<TLoadRow> {};

TEST_P(LoadRowTest, Shows) {
    WriteSettings(GetParam().Lines);
    MakeForm();
    EXPECT_EQ(Text(GetParam().Control), GetParam().Shown);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LoadRowTest,
    testing::Values(TLoadRow{"Timer100", "Timer=100\n", "EdtTimer", "60"},
                    TLoadRow{"TimerText", "Timer=abc\n", "EdtTimer", "15"},
                    TLoadRow{"TimerHex", "Timer=0x1E\n", "EdtTimer", "30"},
                    TLoadRow{"StyleWindows", "Style=Windows\n", "CmbStyles", "Slate Classico"},
                    TLoadRow{"StyleOtherCase", "Style=jet\n", "CmbStyles", "Jet"},
                    TLoadRow{"StyleUnknown", "Style=Jetty\n", "CmbStyles", "Slate Classico"},
                    TLoadRow{"ModelOtherCase",
                             "Config-1=\"SQM0\", \"lu (USB)\", h, 1, 1000, COM1, 1\n", "CmbModel",
                             "LU (USB)"},
                    TLoadRow{"ModelUnknown", "Config-1=\"SQM0\", \"XY\", h, 1, 1000, COM1, 1\n",
                             "CmbModel", "LE (Ethernet)"},
                    TLoadRow{"ModelWithQuote",
                             "Config-1=\"SQM0\", \"LU \"\"2\"\"\", meter.local, 1, 1000, COM1, 1\n",
                             "EdtIP", "meter.local"},
                    TLoadRow{"NegativeTimeoutUnsigned",
                             "Config-1=\"SQM0\", \"LE (Ethernet)\", h, -1, -1000, "
                             "COM1, 1\n",
                             "EdtPort", "4294967295"},
                    TLoadRow{"ComPortUnknown",
                             "Config-1=\"SQM0\", \"LR (RS-232)\", h, 1, 1000, COM99, 1\n",
                             "CmbComPort", "COM1"}),
    [](const testing::TestParamInfo<TLoadRow>& row) { return row.param.Name; });

TEST_F(SettingsTest, AStoredLineSpeedIsUsedForTheRunAndReplacedAtClosing) {
    TFakeLinks links;
    WriteSettings("Config-1=\"SQM0\", \"LR (RS-232)\", (null), 10001, 8000, COM2, 9600\n");
    MakeForm();
    EXPECT_EQ(Form->GetBaudRate(), 9600);
    Click("BtnRead");
    ASSERT_EQ(links.Made.size(), 1u);
    EXPECT_EQ(links.Made[0].ComPort, "COM2");
    EXPECT_EQ(links.Made[0].BaudRate, 9600);
    Close();
    EXPECT_THAT(ReadSettings().toStdString(),
                testing::HasSubstr("Config-1=\"SQM0\", \"LR (RS-232)\", (null), 10001, 8000, "
                                   "COM2, 115200\n"));
}

TEST_F(SettingsTest, ClosingKeepsOtherSectionsAndRestoresTheStyleChosen) {
    WriteSettings("Timer=20\n[Other]\nKey=kept\n");
    MakeForm();
    Child<QComboBox>("CmbStyles")->setCurrentText(QStringLiteral("Lavender Classico"));
    SetText("EdtTimer", QStringLiteral("25"));
    Restart();
    EXPECT_EQ(Text("CmbStyles"), "Lavender Classico");
    EXPECT_EQ(Text("EdtTimer"), "25");
    EXPECT_THAT(ReadSettings().toStdString(), testing::HasSubstr("[Other]\nKey=kept\n"));
}

} // namespace

namespace {

TEST_F(SettingsTest, AStoredDevicePathIsOfferedOnlyWhenItExists) {
    const QString device = Home.path() + QStringLiteral("/ttyFake");
    QFile(device).open(QIODevice::WriteOnly);
    WriteSettings("Config-1=\"SQM0\", \"LU (USB)\", (null), 1, 1000, " + device + ", 1\n");
    MakeForm();
    EXPECT_EQ(Text("CmbComPort"), device);
    Close();

    WriteSettings("Config-1=\"SQM0\", \"LU (USB)\", (null), 1, 1000, /nonexistent/tty, 1\n");
    MakeForm();
    EXPECT_EQ(Text("CmbComPort"), "COM1");
}

} // namespace

namespace {

TEST_F(SettingsTest, ASignalToQuitClosesTheWindowAndStoresTheSettings) {
    MakeForm();
    const TCloseOnSignal closeOnSignal(Form.get());
    SetText("EdtIP", QStringLiteral("meter.local"));
    std::raise(SIGTERM);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Form->isVisible(); }, 5000));
    EXPECT_THAT(ReadSettings().toStdString(), testing::HasSubstr("meter.local"));
}

TEST_F(SettingsTest, RepeatedSignalsCloseTheWindowOnceAndAreIgnoredAfterTheShutdown) {
    MakeForm();
    {
        const TCloseOnSignal closeOnSignal(Form.get());
        std::raise(SIGTERM);
        std::raise(SIGINT);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !Form->isVisible(); }, 5000));
    }
    std::raise(SIGTERM); // the process is still here
    std::raise(SIGHUP);
    EXPECT_FALSE(Form->isVisible());
}

} // namespace
