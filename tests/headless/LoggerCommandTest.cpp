// nightlux-read --logger in-process, against the simulated SQM-LU-DL on a pseudo-terminal.

#include "datalogger/LoggerDownload.h"
#include "headless/HeadlessOptions.h"
#include "headless/HeadlessReader.h"
#include "headless/StopSignals.h"
#include "history/ReadingsFileReader.h"
#include "meter/Dm_SQMLUR.h"
#include "tests/support/RowName.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempFolder.h"
#include "tools/sim/PtyMeter.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>

namespace {

using namespace std::chrono_literals;

// Never waits; asks to stop once Stop says so.
class TTestWaiter : public TStopWaiter {
public:
    bool IsStopRequested() const override { return Stop && Stop(); }
    bool WaitUntil(TClock::time_point) override { return !IsStopRequested(); }
    std::function<bool()> Stop;
};

class LoggerCommand : public testing::Test {
protected:
    void Start(TLoggerOptions flash, int feature = 80, std::chrono::milliseconds replyDelay = 0ms) {
        TMeterOptions options;
        options.ReplyDelay = replyDelay;
        options.ModelNumber = 6;
        options.FeatureVersion = feature;
        options.Logger = std::move(flash);
        Meter.reset();
        Meter = std::make_unique<TPtyMeter>(options);
    }

    int Run(std::vector<std::string> args) {
        const std::vector<std::string> meter = {"--model", "LU-DL", "--serial",
                                                Meter->DevicePath()};
        args.insert(args.begin(), meter.begin(), meter.end());
        Out.str("");
        Err.str("");
        return RunHeadlessReader(args, Home.File("nightlux.ini"), Out, Err, Waiter);
    }

    int Download(std::vector<std::string> more = {}) {
        std::vector<std::string> args = {"--logger", "download", "--file", File};
        args.insert(args.end(), more.begin(), more.end());
        return Run(args);
    }

    std::vector<TNightReading> Stored() const {
        if (!std::filesystem::exists(File))
            return {};
        const TReadingsFileContents contents = ReadReadingsFile(File);
        EXPECT_TRUE(contents.DamagedLines.empty());
        return contents.Readings;
    }

    // The value of a "name: value" line of the output.
    std::string Value(const std::string& name) const {
        std::istringstream lines(Out.str());
        for (std::string line; std::getline(lines, line);)
            if (line.starts_with(name + ": "))
                return line.substr(name.size() + 2);
        return "(none)";
    }

    TScopedEnv Zone{"TZ", "UTC0"};
    TTempFolder Home;
    const std::string File = Home.File("readings.csv");
    std::unique_ptr<TPtyMeter> Meter;
    std::ostringstream Out, Err;
    TTestWaiter Waiter;
};

TEST_F(LoggerCommand, StatusPrintsNameValueLines) {
    TLoggerOptions flash;
    flash.Records = 120;
    flash.ClockOffsetSeconds = 120;
    Start(flash);
    ASSERT_EQ(Run({"--logger", "status"}), 0) << Err.str();
    EXPECT_EQ(Value("Records"), "120");
    EXPECT_EQ(Value("Capacity"), "32768 records");
    EXPECT_EQ(Value("Logging mode"), "3 (every 5 minutes on the clock)");
    EXPECT_EQ(Value("Battery"), "5.12 V");
    EXPECT_EQ(Value("Meter clock").size(), 19u);
    const int difference = std::stoi(Value("Clock difference"));
    EXPECT_GE(difference, 115);
    EXPECT_LE(difference, 125);
}

TEST_F(LoggerCommand, StatusOfAWrappedLogCountsTheWholeFlash) {
    TLoggerOptions flash;
    flash.Records = 70;
    flash.Capacity = 50;
    flash.Wrap = true;
    Start(flash);
    ASSERT_EQ(Run({"--logger", "status"}), 0) << Err.str();
    EXPECT_EQ(Value("Records"), "50");
    EXPECT_EQ(Value("Record pointer"), "20 (the log has wrapped)");
}

// The readings file's own words say why the records could not be stored.
TEST_F(LoggerCommand, AFileThatCannotBeWrittenIsToldByName) {
    TLoggerOptions flash;
    flash.Records = 5;
    Start(flash);
    const std::string blocker = Home.File("plain");
    std::ofstream(blocker) << "a file where a folder should be\n";
    const std::string file = blocker + "/readings.csv";
    ASSERT_NE(Run({"--logger", "download", "--file", file}), 0);
    EXPECT_NE(Err.str().find(file), std::string::npos) << Err.str();
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(LoggerCommand, OldFirmwareHasNoCapacity) {
    TLoggerOptions flash;
    flash.Records = 12;
    Start(flash, 20);
    ASSERT_EQ(Run({"--logger", "status"}), 0) << Err.str();
    EXPECT_EQ(Value("Records"), "12");
    EXPECT_EQ(Value("Capacity"), "unknown (feature version before 27)");
    ASSERT_EQ(Download(), 0) << Err.str();
    EXPECT_EQ(Stored().size(), 12u);
}

TEST_F(LoggerCommand, EmptyLogStoresNothing) {
    Start({});
    ASSERT_EQ(Download(), 0) << Err.str();
    EXPECT_NE(Out.str().find("Downloaded: 0 records read, 0 stored"), std::string::npos)
        << Out.str();
    EXPECT_TRUE(Stored().empty());
}

TEST_F(LoggerCommand, FullLogIsStoredRecordByRecordInLocalTime) {
    const TScopedEnv east("TZ", "EET-2");
    TLoggerOptions flash;
    flash.Records = 60;
    flash.Capacity = 50; // logging stopped when the flash was full
    flash.ErasedSlots = {7};
    Start(flash);
    ASSERT_EQ(Download(), 0) << Err.str();
    EXPECT_NE(
        Out.str().find("Downloaded: 49 records read, 49 stored, 0 already in the file, 1 erased"),
        std::string::npos)
        << Out.str();
    const std::vector<TNightReading> stored = Stored();
    ASSERT_EQ(stored.size(), 49u);
    // 18:00 UTC is 20:00 in the local time of the file.
    EXPECT_EQ(ClockText(stored.front().Time), "20:00");
    EXPECT_EQ(stored.front().ModelNumber, "00000006");
    EXPECT_EQ(stored.front().FeatureVersion, "00000080");
    EXPECT_NEAR(stored.front().Nelm,
                7.93 - 5 * std::log10(std::pow(10.0, 4.316 - stored.front().Magnitude / 5) + 1),
                0.051);
}

TEST_F(LoggerCommand, LocalClockRecordsKeepTheirTime) {
    const TScopedEnv east("TZ", "EET-2");
    TLoggerOptions flash;
    flash.Records = 3;
    Start(flash);
    ASSERT_EQ(Download({"--logger-clock", "local"}), 0) << Err.str();
    ASSERT_EQ(Stored().size(), 3u);
    EXPECT_EQ(ClockText(Stored().front().Time), "18:00");
}

TEST_F(LoggerCommand, WrappedLogIsStoredOldestFirst) {
    TLoggerOptions flash;
    flash.Records = 80;
    flash.Capacity = 50;
    flash.Wrap = true;
    Start(flash);
    ASSERT_EQ(Download(), 0) << Err.str();
    const std::vector<TNightReading> stored = Stored();
    ASSERT_EQ(stored.size(), 50u);
    // Records 30 to 79 are left: the first is 30 * 5 minutes after 18:00.
    EXPECT_EQ(ClockText(stored.front().Time), "20:30");
    for (std::size_t i = 1; i < stored.size(); ++i)
        EXPECT_EQ(stored[i].Time - stored[i - 1].Time, 5min);
}

TEST_F(LoggerCommand, SecondDownloadAddsOnlyWhatIsNew) {
    TLoggerOptions flash;
    flash.Records = 20;
    Start(flash);
    ASSERT_EQ(Download(), 0) << Err.str();
    ASSERT_EQ(Download(), 0) << Err.str();
    EXPECT_NE(Out.str().find("0 stored, 20 already in the file"), std::string::npos) << Out.str();
    flash.Records = 26;
    Start(flash);
    ASSERT_EQ(Download(), 0) << Err.str();
    EXPECT_NE(Out.str().find("6 stored, 20 already in the file"), std::string::npos) << Out.str();
    EXPECT_EQ(Stored().size(), 26u);
}

TEST_F(LoggerCommand, UnpluggedMeterLeavesAFileTheNextDownloadCompletes) {
    TLoggerOptions flash;
    flash.Records = 40;
    flash.UnplugAtRecord = 17;
    Start(flash);
    EXPECT_EQ(Download(), 1);
    EXPECT_NE(Err.str().find("stopped after 17 of 40"), std::string::npos) << Err.str();
    EXPECT_EQ(Stored().size(), 17u);
    flash.UnplugAtRecord = -1;
    Start(flash);
    ASSERT_EQ(Download(), 0) << Err.str();
    EXPECT_NE(Out.str().find("23 stored, 17 already in the file"), std::string::npos) << Out.str();
    EXPECT_EQ(Stored().size(), 40u);
}

TEST_F(LoggerCommand, CancelledDownloadGoesOnWhereItStopped) {
    TLoggerOptions flash;
    flash.Records = 40;
    Start(flash, 80, 20ms); // slow enough for the stop to be seen on the way
    // A stop is asked for once some records are in the file.
    Waiter.Stop = [this] { return Stored().size() >= 5; };
    EXPECT_EQ(Download(), 1);
    EXPECT_NE(Err.str().find("cancelled"), std::string::npos) << Err.str();
    const std::size_t first = Stored().size();
    EXPECT_LT(first, 40u);
    Waiter.Stop = nullptr;
    ASSERT_EQ(Download(), 0) << Err.str();
    EXPECT_EQ(Stored().size(), 40u);
}

TEST_F(LoggerCommand, UnreadableRecordIsAskedTwiceThenReportedAndTheRestStored) {
    TLoggerOptions flash;
    flash.Records = 10;
    flash.GarbledRecord = 4;
    Start(flash);
    EXPECT_EQ(Download(), 1);
    EXPECT_NE(Err.str().find("The record at pointer 4 could not be read"), std::string::npos)
        << Err.str();
    EXPECT_EQ(Stored().size(), 9u);
    // Garbled only once: the second ask gets it.
    flash.GarbledOnce = true;
    Start(flash);
    ASSERT_EQ(Download(), 0) << Err.str();
    EXPECT_EQ(Stored().size(), 10u);
}

TEST_F(LoggerCommand, RecordsGoToTheNightsSkyglowFileSayingWhichClock) {
    TLoggerOptions flash;
    flash.Records = 4;
    Start(flash);
    const std::string folder = Home.File("skyglow");
    std::filesystem::create_directory(folder);
    ASSERT_EQ(Download({"--skyglow", folder}), 0) << Err.str();
    const std::string text = ReadBytes(folder + "/20261209_120000_SQM-LU-DL.dat");
    EXPECT_NE(text.find("# Time Synchronization: SQM-LU-DL clock, kept in UTC\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("# SQM readout test rx: L4,26-12-09 4 18:00:00,"), std::string::npos);
    EXPECT_NE(text.find("2026-12-09T18:05:00.000;2026-12-09T18:05:00.000;"), std::string::npos);
}

TEST_F(LoggerCommand, SettingsAreWrittenAndShown) {
    Start({});
    ASSERT_EQ(Run({"--logger", "set-period", "5m"}), 0) << Err.str();
    EXPECT_EQ(Value("Logging period"), "300 s, 5 min (stored 300 s, 5 min)");
    ASSERT_EQ(Run({"--logger", "set-period", "121s"}), 0) << Err.str();
    EXPECT_EQ(Value("Logging period"), "121 s, 5 min (stored 121 s, 5 min)");
    ASSERT_EQ(Run({"--logger", "set-threshold", "17.6"}), 0) << Err.str();
    EXPECT_EQ(Value("Threshold"), "17.60 MPSAS");
    ASSERT_EQ(Run({"--logger", "set-mode", "0"}), 0) << Err.str();
    EXPECT_EQ(Value("Logging mode"), "0 (off)");
}

TEST_F(LoggerCommand, SetClockSetsTheComputersUtcTime) {
    TLoggerOptions flash;
    flash.ClockOffsetSeconds = -3600;
    Start(flash);
    ASSERT_EQ(Run({"--logger", "set-clock"}), 0) << Err.str();
    const int difference = std::stoi(Value("Clock difference"));
    EXPECT_LE(std::abs(difference), 2) << Out.str();
}

TEST_F(LoggerCommand, NothingIsErasedUnlessAskedAndEverythingStored) {
    TLoggerOptions flash;
    flash.Records = 10;
    flash.GarbledRecord = 3;
    Start(flash);
    EXPECT_EQ(Run({"--logger", "status"}), 0);
    EXPECT_EQ(Download(), 1);
    EXPECT_EQ(Run({"--logger", "erase", "--file", File}), 2); // no --yes
    EXPECT_NE(Err.str().find("--yes"), std::string::npos);
    // A record could not be read: the meter keeps everything.
    EXPECT_EQ(Run({"--logger", "erase", "--yes", "--file", File}), 1);
    EXPECT_NE(Err.str().find("The meter is not erased"), std::string::npos) << Err.str();
    EXPECT_EQ(Run({"--logger", "status"}), 0);
    EXPECT_EQ(Value("Records"), "10");
    EXPECT_EQ(Meter->GetLogger()->EraseCommands(), 0);

    flash.GarbledRecord = -1;
    Start(flash);
    ASSERT_EQ(Run({"--logger", "erase", "--yes", "--file", File}), 0) << Err.str();
    EXPECT_EQ(Value("Records"), "0");
    EXPECT_EQ(Meter->GetLogger()->EraseCommands(), 1);
    EXPECT_EQ(Stored().size(), 10u);
}

TEST_F(LoggerCommand, OtherModelsAreRefused) {
    Start({});
    Out.str("");
    const int status =
        RunHeadlessReader({"--model", "LU", "--serial", Meter->DevicePath(), "--logger", "status"},
                          Home.File("nightlux.ini"), Out, Err, Waiter);
    EXPECT_EQ(status, 2);
    EXPECT_NE(Err.str().find("--model LU-DL"), std::string::npos);
}

// A record that never comes: asked twice under the port's time-outs, then noted.
TEST(LoggerDownload, RecordThatNeverComesIsNotedAndTheDownloadGoesOn) {
    TMeterOptions options;
    options.Logger.emplace();
    options.Logger->Records = 8;
    options.Logger->LostRecord = 2;
    TPtyMeter meter(options);
    TDmSQMLUR link;
    link.SetComPort(meter.DevicePath());
    link.SetTimeouts({200ms, 300ms, 500ms});
    link.Connect();
    TDataLogger logger(link.GetSerial());
    std::vector<std::int64_t> stored;
    const TLoggerDownloadResult result =
        TLoggerDownload::Run(logger, ReadLoggerLayout(logger, 80),
                             [&stored](const TLoggerRecord& r) {
                                 stored.push_back(std::llround(double(r.Time) * 86400));
                                 return TLoggerStore::TOutcome::Stored;
                             },
                             {});
    EXPECT_EQ(result.Unreadable, std::vector<std::int64_t>{2});
    EXPECT_EQ(result.Stored, 7);
    EXPECT_FALSE(result.IsComplete());
    EXPECT_EQ(meter.CommandsReceived(), 1 + 1 + 1 + 8 + 1); // L1, LZ, wrap check, records, retry
}

struct TBadLine {
    std::string Name;
    std::vector<std::string> Args;
    std::string Message;
};

class LoggerOptions : public testing::TestWithParam<TBadLine> {};

TEST_P(LoggerOptions, AreRefusedWithAReason) {
    try {
        ParseHeadlessOptions(GetParam().Args);
        FAIL() << "accepted";
    } catch (const EUsageError& e) {
        EXPECT_NE(std::string(e.what()).find(GetParam().Message), std::string::npos) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, LoggerOptions,
    testing::Values(
        TBadLine{"UnknownAction", {"--logger", "wipe"}, "Unknown logger action 'wipe'"},
        TBadLine{"PeriodWithoutUnit", {"--logger", "set-period", "300"}, "300s or 5m"},
        TBadLine{"PeriodZero", {"--logger", "set-period", "0m"}, "300s or 5m"},
        TBadLine{"ThresholdNotANumber", {"--logger", "set-threshold", "dark"}, "0 to 99.99"},
        TBadLine{"ModeEight", {"--logger", "set-mode", "8"}, "from 0 to 7"},
        TBadLine{"DownloadWithoutFile", {"--logger", "download"}, "needs --file"},
        TBadLine{"EraseWithoutYes", {"--logger", "erase", "--file", "f"}, "give --yes"},
        TBadLine{"YesWithoutErase",
                 {"--logger", "download", "--file", "f", "--yes"},
                 "--yes belongs to --logger erase"},
        TBadLine{"ClockWithoutLogger", {"--logger-clock", "local"}, "needs --logger"},
        TBadLine{"ClockOfNoKind", {"--logger", "status", "--logger-clock", "gmt"}, "utc or local"},
        TBadLine{"TwoActions", {"--logger", "status", "--logger", "set-clock"}, "one --logger"},
        TBadLine{"WithEvery", {"--logger", "status", "--every", "5"}, "--every"}),
    RowName());

} // namespace
