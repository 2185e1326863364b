// The data logger's dialog against the simulated SQM-LU-DL, and its place in the window.
#include "window/LoggerDialog.h"

#include "history/ReadingsFileReader.h"
#include "tests/window/WindowFixture.h"
#include "tools/sim/PtyMeter.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStatusBar>
#include <QTest>
#include <QWindow>
#include <filesystem>

namespace {

using namespace std::chrono_literals;

TMeterOptions LoggerMeter(std::int64_t records) {
    TMeterOptions options;
    options.ModelNumber = 6;
    options.Logger.emplace();
    options.Logger->Records = records;
    return options;
}

class LoggerDialogTest : public testing::Test {
protected:
    void Open(const TMeterOptions& options) {
        Meter = std::make_unique<TPtyMeter>(options);
        Dialog = std::make_unique<TLoggerDialog>(Meter->DevicePath(), File.toStdString(),
                                                 (Home.path() + "/nightlux.ini").toStdString());
        Ended = std::make_unique<QSignalSpy>(Dialog.get(), &TLoggerDialog::TaskEnded);
        WaitForTask(); // the status, read at opening
    }

    void WaitForTask() {
        if (Dialog->IsBusy()) {
            ASSERT_TRUE(Ended->wait(20000));
        }
        ASSERT_FALSE(Dialog->IsBusy());
    }

    template <class T = QWidget>
    T* Child(const char* name) const {
        T* child = Dialog->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    QString Shown(const char* name) const { return Child<QLabel>(name)->text(); }
    void Click(const char* name) {
        QPushButton* button = Child<QPushButton>(name);
        ASSERT_TRUE(button->isEnabled()) << name;
        button->click();
    }

    std::size_t StoredReadings() const {
        if (!std::filesystem::exists(File.toStdString()))
            return 0;
        return ReadReadingsFile(File.toStdString()).Readings.size();
    }

    QTemporaryDir Home;
    const QString File = Home.path() + QStringLiteral("/readings.txt");
    std::unique_ptr<TPtyMeter> Meter;
    std::unique_ptr<TLoggerDialog> Dialog;
    std::unique_ptr<QSignalSpy> Ended;
};

TEST_F(LoggerDialogTest, ShowsTheStatusAtOpening) {
    Open(LoggerMeter(25));
    EXPECT_EQ(Shown("LblRecords"), QStringLiteral("25"));
    EXPECT_EQ(Shown("LblCapacity"), QStringLiteral("32768"));
    EXPECT_EQ(Shown("LblBattery"), QStringLiteral("5.12 V"));
    EXPECT_TRUE(Shown("LblDifference").endsWith(QStringLiteral(" s")));
    EXPECT_FALSE(Child<QPushButton>("BtnErase")->isEnabled());
}

TEST_F(LoggerDialogTest, DownloadsIntoTheFileThenErasesOnlyWhenConfirmed) {
    Open(LoggerMeter(25));
    Click("BtnDownload");
    EXPECT_TRUE(Child<QPushButton>("BtnCancel")->isEnabled());
    WaitForTask();
    EXPECT_EQ(StoredReadings(), 25u);
    ASSERT_TRUE(Dialog->GetLastDownload());
    EXPECT_TRUE(Dialog->GetLastDownload()->IsComplete());
    const QProgressBar* progress = Child<QProgressBar>("Progress");
    EXPECT_EQ(progress->value(), progress->maximum());
    EXPECT_TRUE(Shown("LblMessage").contains(QStringLiteral("25 stored")));

    QStringList questions;
    bool answer = false;
    Dialog->Confirm = [&](const QString& question) {
        questions << question;
        return answer;
    };
    Click("BtnErase");
    ASSERT_EQ(questions.size(), 1);
    EXPECT_TRUE(questions[0].contains(QStringLiteral("25 records"))) << questions[0].toStdString();
    EXPECT_FALSE(Dialog->IsBusy());
    EXPECT_EQ(Meter->GetLogger()->EraseCommands(), 0);

    answer = true;
    Click("BtnErase");
    WaitForTask();
    EXPECT_EQ(Meter->GetLogger()->EraseCommands(), 1);
    EXPECT_EQ(Shown("LblRecords"), QStringLiteral("0"));
    EXPECT_FALSE(Child<QPushButton>("BtnErase")->isEnabled());
}

TEST_F(LoggerDialogTest, IncompleteDownloadLeavesEraseOff) {
    TMeterOptions options = LoggerMeter(12);
    options.Logger->GarbledRecord = 5;
    Open(options);
    Click("BtnDownload");
    WaitForTask();
    EXPECT_EQ(StoredReadings(), 11u);
    EXPECT_TRUE(Shown("LblMessage").contains(QStringLiteral("pointer 5")));
    EXPECT_FALSE(Child<QPushButton>("BtnErase")->isEnabled());
}

TEST_F(LoggerDialogTest, CancelStopsTheDownloadAndTheNextGoesOn) {
    TMeterOptions options = LoggerMeter(60);
    options.ReplyDelay = 20ms;
    Open(options);
    Click("BtnDownload");
    // The dialog answers while the records come in.
    QTRY_VERIFY_WITH_TIMEOUT(Child<QProgressBar>("Progress")->value() >= 5, 20000);
    Click("BtnCancel");
    WaitForTask();
    ASSERT_TRUE(Dialog->GetLastDownload());
    EXPECT_TRUE(Dialog->GetLastDownload()->Cancelled);
    const std::size_t first = StoredReadings();
    EXPECT_LT(first, 60u);
    Click("BtnDownload");
    WaitForTask();
    EXPECT_EQ(StoredReadings(), 60u);
    EXPECT_EQ(Dialog->GetLastDownload()->Duplicates, std::int64_t(first));
}

TEST_F(LoggerDialogTest, SettingsAreWrittenAndReadBack) {
    Open(LoggerMeter(0));
    Child<QSpinBox>("SpnPeriod")->setValue(10);
    Click("BtnSetPeriod");
    WaitForTask();
    EXPECT_TRUE(Shown("LblPeriod").contains(QStringLiteral(", 10 min (")));
    Child<QComboBox>("CmbMode")->setCurrentIndex(5);
    Click("BtnSetMode");
    WaitForTask();
    EXPECT_TRUE(Shown("LblMode").startsWith(QStringLiteral("5: ")));
    Child<QDoubleSpinBox>("SpnThreshold")->setValue(18.25);
    Click("BtnSetThreshold");
    WaitForTask();
    EXPECT_EQ(Shown("LblThreshold"), QStringLiteral("18.25 MPSAS"));
}

TEST_F(LoggerDialogTest, MeterThatIsMissingIsTold) {
    Meter = nullptr;
    Dialog = std::make_unique<TLoggerDialog>((Home.path() + "/no-such-port").toStdString(),
                                             File.toStdString(), std::string());
    Ended = std::make_unique<QSignalSpy>(Dialog.get(), &TLoggerDialog::TaskEnded);
    WaitForTask();
    EXPECT_TRUE(Shown("LblMessage").contains(QStringLiteral("Could not connect")))
        << Shown("LblMessage").toStdString();
    EXPECT_TRUE(Child<QPushButton>("BtnDownload")->isEnabled());
}

// The main window opens the dialog for the LU-DL model only.
class LoggerWindowTest : public WindowTest {};

TEST_F(LoggerWindowTest, OpensForTheDataLoggingModelOnly) {
    const TPtyMeter meter(LoggerMeter(3));
    MakeForm();
    Child<QComboBox>("CmbModel")->setCurrentIndex(0);
    EXPECT_FALSE(Form->IsLoggerAvailable());
    QAction* entry = Form->findChild<QAction*>(QStringLiteral("ActLogger"));
    ASSERT_NE(entry, nullptr);
    EXPECT_FALSE(entry->isEnabled());
    Form->LoggerClick();
    EXPECT_EQ(Form->findChild<TLoggerDialog*>(), nullptr);
    EXPECT_TRUE(Child<QStatusBar>("StatusBar")->currentMessage().contains(QStringLiteral("LU-DL")));

    Child<QComboBox>("CmbModel")->setCurrentIndex(3);
    Child<QComboBox>("CmbComPort")->addItem(QString::fromStdString(meter.DevicePath()));
    Child<QComboBox>("CmbComPort")->setCurrentText(QString::fromStdString(meter.DevicePath()));
    EXPECT_TRUE(Form->IsLoggerAvailable());
    EXPECT_TRUE(entry->isEnabled());
    entry->trigger();
    auto* dialog = Form->findChild<TLoggerDialog*>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(dialog->isModal());
    QSignalSpy ended(dialog, &TLoggerDialog::TaskEnded);
    ASSERT_TRUE(dialog->IsBusy() ? ended.wait(20000) : true);
    EXPECT_EQ(dialog->findChild<QLabel*>(QStringLiteral("LblRecords"))->text(),
              QStringLiteral("3"));
    Form->LoggerClick(); // raises the open one
    EXPECT_EQ(Form->findChildren<TLoggerDialog*>().size(), 1);
    dialog->close();
}

// The README's picture of the dialog after a download. Runs only when NIGHTLUX_SCREENSHOTS
// names the folder to write it to (scripts/take-screenshots).
class LoggerDialogScreenshotTest : public LoggerDialogTest {};

TEST_F(LoggerDialogScreenshotTest, AfterADownload) {
    const QString folder = QString::fromLocal8Bit(qgetenv("NIGHTLUX_SCREENSHOTS"));
    if (folder.isEmpty())
        GTEST_SKIP() << "set NIGHTLUX_SCREENSHOTS to a folder to take the picture";
    TMeterOptions options = LoggerMeter(2016);
    options.Logger->ErasedSlots = {700};
    Open(options);
    Dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Dialog.get()));
    Click("BtnDownload");
    WaitForTask();
    QTest::qWait(300);
    const QPixmap picture =
        Dialog->windowHandle()->screen()->grabWindow(Dialog->windowHandle()->winId());
    ASSERT_TRUE(picture.save(folder + QStringLiteral("/nightlux-data-logger.png")));
}

} // namespace
