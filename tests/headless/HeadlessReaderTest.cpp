// The reading loop of nightlux-read in-process, against the simulated meter, with a
// waiter that records when the readings fall due instead of waiting for them.

#include "headless/HeadlessReader.h"

#include "headless/StopSignals.h"
#include "platform/IniFile.h"
#include "platform/SystemTime.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempFolder.h"
#include "tools/sim/TcpMeterServer.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>

namespace {

using namespace std::chrono_literals;

class TRecordingWaiter : public TStopWaiter {
public:
    bool IsStopRequested() const override { return StopAfter >= 0 && Waits >= StopAfter; }
    bool WaitUntil(TClock::time_point time) override {
        Times.push_back(time);
        ++Waits;
        if (OnWait)
            OnWait(Waits);
        return !IsStopRequested();
    }

    int StopAfter = -1; // the number of waits after which a stop is requested
    int Waits = 0;
    std::function<void(int waits)> OnWait; // before the reading after that wait
    std::vector<TClock::time_point> Times;
};

class HeadlessReader : public testing::Test {
protected:
    int Run(std::vector<std::string> args) {
        const std::vector<std::string> meter = {"--host", "127.0.0.1", "--port",
                                                std::to_string(Meter.GetPort())};
        args.insert(args.begin(), meter.begin(), meter.end());
        return RunHeadlessReader(args, Home.File("nightlux.ini"), Out, Err, Waiter);
    }

    // Readings follow each other at once here, faster than a meter that serves one client at
    // a time takes back its port.
    static TMeterOptions ManyClients() {
        TMeterOptions options;
        options.RefuseSecondClient = false;
        return options;
    }

    TTcpMeterServer Meter{ManyClients()};
    TTempFolder Home;
    std::ostringstream Out;
    std::ostringstream Err;
    TRecordingWaiter Waiter;
};

TEST_F(HeadlessReader, ReadingsFallDueAtWholePeriodsFromTheStart) {
    EXPECT_EQ(Run({"--every", "15", "--count", "4"}), 0);
    ASSERT_EQ(Waiter.Times.size(), 3u);
    EXPECT_EQ(Waiter.Times[1] - Waiter.Times[0], 15min);
    EXPECT_EQ(Waiter.Times[2] - Waiter.Times[1], 15min);
    EXPECT_EQ(Meter.GetCounts().Connections, 4);
}

TEST_F(HeadlessReader, ASingleReadingDoesNotWait) {
    EXPECT_EQ(Run({}), 0);
    EXPECT_TRUE(Waiter.Times.empty());
    EXPECT_EQ(Meter.GetCounts().Connections, 1);
}

TEST_F(HeadlessReader, AStopRequestEndsTheRunAfterTheReadingInProgress) {
    Waiter.StopAfter = 2;
    EXPECT_EQ(Run({"--every-seconds", "1"}), 0);
    EXPECT_EQ(Meter.GetCounts().Connections, 2);
    EXPECT_EQ(Err.str(), "");
}

TEST_F(HeadlessReader, AStopRequestedBeforeTheStartTakesNoReading) {
    Waiter.StopAfter = 0;
    EXPECT_EQ(Run({"--every-seconds", "1"}), 0);
    EXPECT_EQ(Meter.GetCounts().Connections, 0);
}

TEST_F(HeadlessReader, LaterConversionErrorsAreReportedAsTheWindowsTicksReportThem) {
    TMeterOptions garbled = ManyClients();
    garbled.NonNumeric = true;
    Meter.SetOptions(garbled);
    EXPECT_EQ(Run({"--every-seconds", "1", "--count", "2"}), 1);
    const std::string errors = Err.str();
    // The first reading as Read Now reports it, the next with the conversion's own message.
    const std::size_t first = errors.find(": The reading returned from the SQM is not valid.\n");
    ASSERT_NE(first, std::string::npos) << errors;
    EXPECT_NE(errors.find("19,53", first), std::string::npos) << errors;
    EXPECT_EQ(Out.str(), "");
    EXPECT_EQ(Meter.GetCounts().Connections, 2);
}

TEST_F(HeadlessReader, AnOutageIsReportedWhenItStartsAndWhenItEnds) {
    // Readings 2 to 4 of 6 fail: the meter drops each connection.
    Waiter.OnWait = [this](int waits) {
        TMeterOptions options = ManyClients();
        options.DropConnection = waits >= 1 && waits <= 3;
        Meter.SetOptions(options);
    };
    EXPECT_EQ(Run({"--timeout", "1", "--every-seconds", "1", "--count", "6"}), 1);
    EXPECT_EQ(Meter.GetCounts().Connections, 6);
    const std::string errors = Err.str();
    const std::size_t end = errors.find('\n');
    ASSERT_NE(end, std::string::npos) << errors;
    EXPECT_NE(errors.find(": The connection to 127.0.0.1 port "), std::string::npos) << errors;
    EXPECT_TRUE(errors.substr(end + 1).ends_with(": The meter answers again, after 3 failed "
                                                 "readings.\n"))
        << errors;
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 2) << errors;
}

SYSTEMTIME PinnedClock() {
    return {2015, 3, 6, 14, 21, 5, 9, 876};
}

// The reading's time and the log's time both come from the clock that tests pin.
TEST_F(HeadlessReader, ReadingAndLogTimesComeFromTheOneClock) {
    const TScopedEnv locale("LC_ALL", "C");
    const TLocalTimeSource previous = SetLocalTimeSource(&PinnedClock);
    EXPECT_EQ(Run({}), 0);
    EXPECT_NE(Out.str().find("Time of Reading: 03/14/15 21:05:09\n"), std::string::npos)
        << Out.str();
    Meter.SetOptions([] {
        TMeterOptions garbled = ManyClients();
        garbled.NonNumeric = true;
        return garbled;
    }());
    EXPECT_EQ(Run({"--every-seconds", "1", "--count", "1"}), 1);
    EXPECT_EQ(Err.str().rfind("2015-03-14 21:05:09: ", 0), 0u) << Err.str();
    SetLocalTimeSource(previous);
}

TEST_F(HeadlessReader, OutputThatCannotBeWrittenFailsTheRun) {
    Out.setstate(std::ios::badbit);
    EXPECT_EQ(Run({}), 1);
    EXPECT_EQ(Err.str(), "Could not write the reading to the standard output.\n");
}

} // namespace

namespace {

// Without --host the saved record is needed: a settings file that cannot be read is named,
// with the reason, instead of the message about the empty address it reads as.
TEST(HeadlessReaderSettings, AnUnreadableSettingsFileIsNamedWithTheReason) {
    const struct {
        const char* Name;
        std::function<void(const std::string&)> Make;
        std::string Reason;
    } cases[] = {
        {"Folder", [](const std::string& n) { std::filesystem::create_directory(n); },
         "Is a directory"},
        {"Fifo", [](const std::string& n) { ASSERT_EQ(::mkfifo(n.c_str(), 0644), 0); },
         "not a regular file"},
        {"PastTheSizeLimit",
         [](const std::string& n) {
             WriteBytes(n, "[SQM]\nConfig-1=x\n");
             std::filesystem::resize_file(n, TIniFile::MaxFileSize + 1);
         },
         "larger than 1024 KiB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TTempFolder home;
        const std::string settings = home.File("nightlux.ini");
        c.Make(settings);
        std::ostringstream out, err;
        TRecordingWaiter waiter;
        EXPECT_EQ(RunHeadlessReader({}, settings, out, err, waiter), 2);
        EXPECT_EQ(err.str(), "nightlux-read: Could not read the settings file " + settings + ": " +
                                 c.Reason + ".\nTry 'nightlux-read --help'.\n");
        EXPECT_EQ(out.str(), "");
    }
}

} // namespace
