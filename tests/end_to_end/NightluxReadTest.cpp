// nightlux-read run as a process against the simulated meter, over TCP and on a
// pseudo-terminal, with its own home and settings folders.

#include "tests/end_to_end/ChildProcess.h"
#include "tests/support/NotifySocket.h"
#include "tests/support/RowName.h"
#include "tests/support/TempFolder.h"
#include "tools/sim/PtyMeter.h"
#include "tools/sim/TcpMeterServer.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <regex>
#include <sstream>
#include <sys/stat.h>
#include <thread>

namespace {

using namespace std::chrono_literals;

const std::string EightValues = "Reading in Mag/Sq Arcsec: 21.00\n"
                                "NELM (Theoretical): 6.1\n"
                                "Time of Reading: *\n"
                                "Model: 3\n"
                                "Serial Number: 5533\n"
                                "Protocol Version: 4\n"
                                "Feature Version: 76\n"
                                "Temp at Sensor: 21.5 \u00B0C\n";

const std::regex RecordLine(
    R"(\d{4}/\d\d/\d\d,\d\d:\d\d:\d\d,21\.00,6\.1,00005533,00000004,00000003,00000076,21\.5,,,,)");

const std::string HeaderColumns =
    "Year/Month/Day,Hour/Minute/Second,MPSAS,NELM,SerialNo,Protocol,Model,Feature,Temp(C),,,,";

TMeterOptions SteadyMeter() {
    TMeterOptions options;
    options.Magnitude = 21.0;
    options.Temperature = 21.5;
    return options;
}

// The text with each "Time of Reading" value, which must not be empty, written as "*".
std::string WithoutTimes(const std::string& text) {
    static const std::regex time("Time of Reading: [^\n]+\n");
    return std::regex_replace(text, time, "Time of Reading: *\n");
}

std::vector<std::string> Lines(const std::string& text, const std::string& end) {
    std::vector<std::string> lines;
    std::size_t begin = 0;
    for (std::size_t at; (at = text.find(end, begin)) != std::string::npos; begin = at + end.size())
        lines.push_back(text.substr(begin, at - begin));
    EXPECT_EQ(begin, text.size()) << "text after the last line end";
    return lines;
}

// Checks a readings file: one header, then records, every line ending in CR LF.
void ExpectReadingsFile(const std::string& bytes, std::size_t records) {
    const std::vector<std::string> lines = Lines(bytes, "\r\n");
    ASSERT_EQ(lines.size(), 2 + records) << bytes;
    EXPECT_TRUE(lines[0].starts_with("Produced by Nightlux ")) << lines[0];
    EXPECT_EQ(lines[1], HeaderColumns);
    for (std::size_t i = 2; i < lines.size(); ++i)
        EXPECT_TRUE(std::regex_match(lines[i], RecordLine)) << lines[i];
}

class NightluxRead : public testing::Test {
protected:
    struct TResult {
        int Status = -1;
        std::string Output;
        std::string Errors;
    };

    std::unique_ptr<TChildProcess> Start(const std::vector<std::string>& args) {
        // No display, and home and settings in the test's own folder.
        return std::make_unique<TChildProcess>(
            NIGHTLUX_READ_PROGRAM, args,
            std::map<std::string, std::string>{{"HOME", Home.GetPath()},
                                               {"XDG_CONFIG_HOME", Home.File("config")},
                                               {"DISPLAY", ""},
                                               {"WAYLAND_DISPLAY", ""},
                                               {"LC_ALL", "C"}},
            Home.GetPath());
    }

    TResult Run(const std::vector<std::string>& args) {
        const auto child = Start(args);
        const std::optional<int> status = child->Wait(60s);
        EXPECT_TRUE(status) << "nightlux-read did not end";
        return {status.value_or(-1), child->GetOutput(), child->GetErrors()};
    }

    std::vector<std::string> Tcp(const TTcpMeterServer& meter) const {
        return {"--model", "LE", "--host", "127.0.0.1", "--port", std::to_string(meter.GetPort())};
    }

    void SaveRecord(const std::string& record) const {
        const std::string folder = Home.File("config/Corvatek/Nightlux/3.0");
        std::filesystem::create_directories(folder);
        WriteBytes(folder + "/nightlux.ini", "[SQM]\nConfig-1=" + record + "\nTimer=15\n");
    }

    static void ExpectClosed(const TTcpMeterServer& meter) {
        EXPECT_TRUE(meter.WaitUntil([](const auto& c) { return c.OpenConnections == 0; }, 5s))
            << "the connection was left open";
    }

    TTempFolder Home;
};

TEST_F(NightluxRead, OneReadingOverTcpPrintsTheEightValues) {
    const TTcpMeterServer meter(SteadyMeter());
    const TResult result = Run(Tcp(meter));
    EXPECT_EQ(result.Status, 0);
    EXPECT_EQ(WithoutTimes(result.Output), EightValues);
    EXPECT_EQ(result.Errors, "");
    EXPECT_EQ(meter.GetCounts().Received, "ixrx");
    ExpectClosed(meter);
}

// libmosquitto and the TLS libraries it brings are loaded only by a run that publishes.
TEST_F(NightluxRead, StartsWithoutTheMqttLibrary) {
    TChildProcess ldd("/usr/bin/ldd", {NIGHTLUX_READ_PROGRAM}, {}, Home.GetPath());
    ASSERT_EQ(ldd.Wait(60s), 0) << ldd.GetErrors();
    EXPECT_NE(ldd.GetOutput().find("libc.so"), std::string::npos) << ldd.GetOutput();
    EXPECT_EQ(ldd.GetOutput().find("libmosquitto"), std::string::npos) << ldd.GetOutput();
}

TEST_F(NightluxRead, OneReadingOnAPseudoTerminal) {
    const TPtyMeter meter(SteadyMeter());
    const TResult result = Run({"--model", "LU", "--serial", meter.DevicePath()});
    EXPECT_EQ(result.Status, 0);
    EXPECT_EQ(WithoutTimes(result.Output), EightValues);
    EXPECT_EQ(result.Errors, "");
}

TEST_F(NightluxRead, WithNothingSavedTheMessageNamesTheOptionsToGive) {
    const TResult result = Run({});
    EXPECT_EQ(result.Status, 2);
    EXPECT_EQ(result.Errors,
              "A non-blank IP Address must be entered.\n"
              "No meter has been saved yet (the Nightlux window saves the one it reads when it "
              "closes): give --host HOST for an SQM-LE, or --model LU --serial DEVICE for a USB "
              "meter.\nTry 'nightlux-read --help'.\n");
    EXPECT_EQ(result.Output, "");

    // A saved record that names no host is the window's refusal alone.
    SaveRecord("\"SQM0\", \"LE (Ethernet)\", , 10001, 8000, COM1, 115200");
    EXPECT_EQ(Run({}).Errors, "A non-blank IP Address must be entered.\n");
}

TEST_F(NightluxRead, WithoutOptionsReadsTheMeterOfTheSavedEthernetRecord) {
    const TTcpMeterServer meter(SteadyMeter());
    SaveRecord("\"SQM0\", \"LE (Ethernet)\", 127.0.0.1, " + std::to_string(meter.GetPort()) +
               ", 3000, COM1, 115200");
    const TResult result = Run({});
    EXPECT_EQ(result.Status, 0) << result.Errors;
    EXPECT_EQ(WithoutTimes(result.Output), EightValues);
}

TEST_F(NightluxRead, WithoutOptionsReadsTheMeterOfTheSavedSerialRecord) {
    const TPtyMeter meter(SteadyMeter());
    SaveRecord("\"SQM0\", \"lu-dl (usb)\", (null), 10001, 8000, " + meter.DevicePath() +
               ", 115200");
    const TResult result = Run({});
    EXPECT_EQ(result.Status, 0) << result.Errors;
    EXPECT_EQ(WithoutTimes(result.Output), EightValues);
}

TEST_F(NightluxRead, OptionsOverrideTheSavedRecord) {
    const TTcpMeterServer meter(SteadyMeter());
    SaveRecord("\"SQM0\", \"LE (Ethernet)\", 127.0.0.1, 1, 3000, COM1, 115200");
    const TResult result = Run({"--port", std::to_string(meter.GetPort())});
    EXPECT_EQ(result.Status, 0) << result.Errors;
    EXPECT_EQ(WithoutTimes(result.Output), EightValues);
}

TEST_F(NightluxRead, ThreeReadingsAtAShortPeriodAppendToAFileWithOneHeader) {
    const TTcpMeterServer meter(SteadyMeter());
    const std::string file = Home.File("night.csv");
    std::vector<std::string> args = Tcp(meter);
    args.insert(args.end(), {"--every-seconds", "1", "--count", "3", "--file", file});

    const auto started = std::chrono::steady_clock::now();
    const TResult result = Run(args);
    // Readings at 0, 1 and 2 seconds from the start.
    EXPECT_GE(std::chrono::steady_clock::now() - started, 1500ms);
    EXPECT_EQ(result.Status, 0);
    EXPECT_EQ(result.Errors, "");
    EXPECT_EQ(WithoutTimes(result.Output), EightValues + "\n" + EightValues + "\n" + EightValues);
    ExpectReadingsFile(ReadBytes(file), 3);
    EXPECT_EQ(meter.GetCounts().Connections, 3);

    // A later run appends to the file without a second header.
    std::vector<std::string> again = Tcp(meter);
    again.insert(again.end(), {"--file", file});
    EXPECT_EQ(Run(again).Status, 0);
    ExpectReadingsFile(ReadBytes(file), 4);
}

TEST_F(NightluxRead, CsvPrintsEachReadingAsOneRecordLine) {
    const TPtyMeter meter(SteadyMeter());
    const TResult result = Run({"--model", "LR", "--serial", meter.DevicePath(), "--csv",
                                "--every-seconds", "1", "--count", "2"});
    EXPECT_EQ(result.Status, 0) << result.Errors;
    const std::vector<std::string> lines = Lines(result.Output, "\n");
    ASSERT_EQ(lines.size(), 2u) << result.Output;
    for (const std::string& line : lines)
        EXPECT_TRUE(std::regex_match(line, RecordLine)) << line;
}

struct TBadOptionRow {
    std::string Name;
    std::vector<std::string> Args; // after the model, address and port of the meter
    std::string Errors;
};

// Names the row in test listings.
void PrintTo(const TBadOptionRow& row, std::ostream* out) {
    *out << row.Name;
}

class NightluxReadBadOption : public NightluxRead,
                              public testing::WithParamInterface<TBadOptionRow> {};

TEST_P(NightluxReadBadOption, IsRefusedWithTheMessageAndNothingIsRead) {
    const TTcpMeterServer meter(SteadyMeter());
    std::vector<std::string> args = Tcp(meter);
    args.insert(args.end(), GetParam().Args.begin(), GetParam().Args.end());
    const TResult result = Run(args);
    EXPECT_EQ(result.Status, 2);
    EXPECT_EQ(result.Errors, GetParam().Errors);
    EXPECT_EQ(result.Output, "");
    EXPECT_EQ(meter.GetCounts().Connections, 0);
}

const std::string Hint = "\nTry 'nightlux-read --help'.\n";

INSTANTIATE_TEST_SUITE_P(
    Rows, NightluxReadBadOption,
    testing::Values(
        TBadOptionRow{
            "PortZero", {"--port", "0"}, "Port must be between 1 and 65535 inclusively.\n"},
        TBadOptionRow{"PortAboveRange",
                      {"--port", "65536"},
                      "Port must be between 1 and 65535 inclusively.\n"},
        TBadOptionRow{
            "PortNotANumber", {"--port", "abc"}, "Port must be between 1 and 65535 inclusively.\n"},
        TBadOptionRow{
            "TimeoutZero", {"--timeout", "0"}, "Timeout must be between 1 and 30 inclusively.\n"},
        TBadOptionRow{"TimeoutAboveRange",
                      {"--timeout", "31"},
                      "Timeout must be between 1 and 30 inclusively.\n"},
        TBadOptionRow{"HostEmpty", {"--host", ""}, "A non-blank IP Address must be entered.\n"},
        TBadOptionRow{
            "HostNull", {"--host", "(null)"}, "A non-blank IP Address must be entered.\n"},
        TBadOptionRow{
            "UnknownOption", {"--colour"}, "nightlux-read: Unknown option '--colour'." + Hint},
        TBadOptionRow{
            "MissingValue", {"--file"}, "nightlux-read: Option --file needs a value." + Hint},
        TBadOptionRow{"UnknownModel",
                      {"--model", "XL"},
                      "nightlux-read: Unknown model 'XL': give LE, LR, LU or LU-DL." + Hint},
        TBadOptionRow{"PeriodAboveRange",
                      {"--every", "61"},
                      "nightlux-read: Minutes must be between 1 and 60 inclusively." + Hint},
        TBadOptionRow{"CountWithoutPeriod",
                      {"--count", "3"},
                      "nightlux-read: Option --count needs --every." + Hint},
        TBadOptionRow{"SerialPortForEthernet",
                      {"--serial", "/dev/ttyUSB0"},
                      "nightlux-read: Option --serial does not apply to the model LE (Ethernet); "
                      "give --model LR, LU or LU-DL." +
                          Hint}),
    RowName());

TEST_F(NightluxRead, SilentEthernetMeterFailsWithTheWindowsMessage) {
    TMeterOptions silent = SteadyMeter();
    silent.Silent = true;
    const TTcpMeterServer meter(silent);
    std::vector<std::string> args = Tcp(meter);
    args.insert(args.end(), {"--timeout", "1"});
    const TResult result = Run(args);
    EXPECT_EQ(result.Status, 1);
    EXPECT_EQ(result.Errors, "Sky Quality Meter communication error: SQM did not return the "
                             "requested reading.\nPlease verify that the IP address and port "
                             "number are correct; try increasing the time out value.\n");
    EXPECT_EQ(result.Output, "");
    ExpectClosed(meter);
}

TEST_F(NightluxRead, SilentSerialMeterFailsWithTheWindowsMessage) {
    TMeterOptions silent = SteadyMeter();
    silent.Silent = true;
    const TPtyMeter meter(silent);
    const TResult result = Run({"--model", "LU", "--serial", meter.DevicePath()});
    EXPECT_EQ(result.Status, 1);
    EXPECT_EQ(result.Errors, "Sky Quality Meter communication error: SQM-LU/R did not return "
                             "the requested reading.\n\n");
    EXPECT_EQ(result.Output, "");
}

TEST_F(NightluxRead, ReplyThatIsNotANumberGivesTheWindowsReadNowMessage) {
    TMeterOptions garbled = SteadyMeter();
    garbled.NonNumeric = true;
    const TTcpMeterServer meter(garbled);
    const std::string file = Home.File("night.csv");
    std::vector<std::string> args = Tcp(meter);
    args.insert(args.end(), {"--file", file});
    const TResult result = Run(args);
    EXPECT_EQ(result.Status, 1);
    EXPECT_EQ(result.Errors, "The reading returned from the SQM is not valid.\n");
    EXPECT_EQ(result.Output, "");
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(NightluxRead, UnwritableFileIsReportedAndFailsTheRun) {
    const TTcpMeterServer meter(SteadyMeter());
    const std::string file = Home.File("missing-folder/night.csv");
    std::vector<std::string> args = Tcp(meter);
    args.insert(args.end(), {"--file", file});
    const TResult result = Run(args);
    EXPECT_EQ(result.Status, 1);
    EXPECT_EQ(WithoutTimes(result.Output), EightValues);
    EXPECT_EQ(result.Errors, "Could not save reading to " + file + "\n");
}

TEST_F(NightluxRead, ContinuousReadingsSurviveAMeterThatMissesOneAnswer) {
    TMeterOptions silent = SteadyMeter();
    silent.Silent = true;
    TTcpMeterServer meter(silent);
    const std::string file = Home.File("night.csv");
    std::vector<std::string> args = Tcp(meter);
    args.insert(args.end(),
                {"--timeout", "1", "--every-seconds", "3", "--count", "2", "--file", file});
    const auto child = Start(args);

    // The first reading times out after a second; the meter answers the second, at 3 s.
    ASSERT_TRUE(WaitFor([&] { return !child->GetErrors().empty(); }, 20s));
    meter.SetOptions(SteadyMeter());
    ASSERT_EQ(child->Wait(20s), 1);

    const std::string errors = child->GetErrors();
    EXPECT_TRUE(std::regex_match(
        errors, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d: Sky Quality Meter communication )"
                           R"(error: SQM did not return the requested reading\.\n[^\n]*\n)"
                           R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d: The meter answers again, after 1 )"
                           R"(failed reading\.\n)")))
        << errors;
    EXPECT_EQ(WithoutTimes(child->GetOutput()), EightValues);
    ExpectReadingsFile(ReadBytes(file), 1);
    EXPECT_EQ(meter.GetCounts().Connections, 2);
}

TEST_F(NightluxRead, SigtermDuringAReadingEndsTheRunAfterItWithAWellFormedFile) {
    TMeterOptions slow = SteadyMeter();
    slow.ReplyDelay = 400ms;
    const TTcpMeterServer meter(slow);
    const std::string file = Home.File("night.csv");
    std::vector<std::string> args = Tcp(meter);
    args.insert(args.end(), {"--every-seconds", "1", "--file", file});
    const auto child = Start(args);

    // The second reading has connected and waits for its slow answers.
    ASSERT_TRUE(meter.WaitUntil([](const auto& c) { return c.Connections == 2; }, 20s));
    child->Signal(SIGTERM);
    EXPECT_EQ(child->Wait(20s), 0);

    ExpectReadingsFile(ReadBytes(file), 2);
    EXPECT_EQ(WithoutTimes(child->GetOutput()), EightValues + "\n" + EightValues);
    EXPECT_EQ(child->GetErrors(), "");
    ExpectClosed(meter);
    EXPECT_EQ(meter.GetCounts().Connections, 2);
}

TEST_F(NightluxRead, SighupDuringAReadingEndsTheRunAfterItLikeSigterm) {
    TMeterOptions slow = SteadyMeter();
    slow.ReplyDelay = 400ms;
    const TTcpMeterServer meter(slow);
    const std::string file = Home.File("night.csv");
    std::vector<std::string> args = Tcp(meter);
    args.insert(args.end(), {"--every-seconds", "1", "--csv", "--file", file});
    const auto child = Start(args);

    ASSERT_TRUE(meter.WaitUntil([](const auto& c) { return c.Connections == 2; }, 20s));
    child->Signal(SIGHUP);
    EXPECT_EQ(child->Wait(20s), 0);
    ExpectReadingsFile(ReadBytes(file), 2);
    EXPECT_EQ(Lines(child->GetOutput(), "\n").size(), 2u) << child->GetOutput();
    EXPECT_EQ(child->GetErrors(), "");
    ExpectClosed(meter);
}

// Under systemd: the service manager's socket hears READY=1, each reading's status, and
// watchdog pings while the logger waits out a meter that does not answer.
TEST_F(NightluxRead, TellsTheServiceManagerItIsReadyAndAliveThroughAnOutage) {
    const TNotifySocket manager(Home.File("notify"));
    TMeterOptions silent = SteadyMeter();
    silent.Silent = true;
    TTcpMeterServer meter(SteadyMeter());
    std::vector<std::string> args = Tcp(meter);
    args.insert(args.end(), {"--timeout", "1", "--every-seconds", "2"});
    const auto child = std::make_unique<TChildProcess>(
        NIGHTLUX_READ_PROGRAM, args,
        std::map<std::string, std::string>{{"HOME", Home.GetPath()},
                                           {"XDG_CONFIG_HOME", Home.File("config")},
                                           {"LC_ALL", "C"},
                                           {"NOTIFY_SOCKET", manager.GetAddress()},
                                           {"WATCHDOG_USEC", "600000"}},
        Home.GetPath());
    const auto next = [&] { return manager.Receive(20s).value_or("(nothing)"); };
    EXPECT_EQ(next(), "READY=1\nSTATUS=Taking the first reading.");
    const std::string first = next();
    EXPECT_TRUE(std::regex_match(
        first, std::regex(R"(STATUS=Last reading \S+ \S+, 21\.00 mag/arcsec\xC2\xB2\nWATCHDOG=1)")))
        << first;
    meter.SetOptions(silent);
    // Pings every 300 ms at most while the run waits; the failed reading is told.
    int pings = 0;
    std::string outage;
    while (outage.empty()) {
        const std::string message = next();
        ASSERT_NE(message, "(nothing)");
        if (message == "WATCHDOG=1")
            ++pings;
        else if (message.find("failed reading") != std::string::npos)
            outage = message;
    }
    EXPECT_GE(pings, 2);
    EXPECT_TRUE(outage.starts_with("STATUS=1 failed reading (Sky Quality Meter communication "
                                   "error: SQM did not return the requested reading.); last "
                                   "reading "))
        << outage;
    child->Signal(SIGTERM);
    EXPECT_EQ(child->Wait(20s), 0);
    std::string last;
    while (const auto message = manager.Receive(0ms))
        last = *message;
    EXPECT_EQ(last, "STOPPING=1");
}

// When standard error is the journal's stream, each line carries its priority; on a terminal
// or a file the lines are as before.
TEST_F(NightluxRead, JournalLinesCarryTheirPriorityOnlyWhenStandardErrorIsTheJournal) {
    // The child's standard error is this file, opened again without a new inode.
    const std::string errors = Home.File("child-stderr");
    WriteBytes(errors, "");
    struct stat status {};
    ASSERT_EQ(::stat(errors.c_str(), &status), 0);
    const std::string stream = std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino);
    for (const std::string& journal : {stream, std::string("0:0")}) {
        SCOPED_TRACE(journal);
        const auto child = std::make_unique<TChildProcess>(
            NIGHTLUX_READ_PROGRAM,
            std::vector<std::string>{"--model", "LE", "--host", "127.0.0.1", "--port", "1"},
            std::map<std::string, std::string>{{"HOME", Home.GetPath()},
                                               {"XDG_CONFIG_HOME", Home.File("config")},
                                               {"LC_ALL", "C"},
                                               {"JOURNAL_STREAM", journal}},
            Home.GetPath());
        ASSERT_EQ(child->Wait(60s), 1);
        const std::vector<std::string> lines = Lines(child->GetErrors(), "\n");
        ASSERT_EQ(lines.size(), 2u) << child->GetErrors();
        const std::string prefix = journal == stream ? "<3>" : "";
        EXPECT_EQ(lines[0], prefix + "Sky Quality Meter communication error: Could not connect "
                                     "with SQM-LE.");
        EXPECT_TRUE(lines[1].starts_with(prefix + "Please verify")) << lines[1];
    }
}

TEST_F(NightluxRead, KilledRepeatedlyDuringContinuousReadingLeavesOnlyWholeLines) {
    const TTcpMeterServer meter(SteadyMeter());
    const std::string file = Home.File("night.csv");
    std::vector<std::string> args = Tcp(meter);
    args.insert(args.end(), {"--every-seconds", "1", "--file", file});
    const auto lineEnds = [&] {
        const std::string bytes = ReadBytes(file);
        return std::count(bytes.begin(), bytes.end(), '\n');
    };
    // Killed at once, then at varied instants after the file has grown.
    const std::chrono::milliseconds delays[] = {0ms, 0ms, 5ms, 50ms, 150ms, 300ms, 600ms, 900ms};
    for (const auto delay : delays) {
        const auto before = lineEnds();
        const auto child = Start(args);
        if (delay > 0ms || before > 0) {
            ASSERT_TRUE(WaitFor([&] { return lineEnds() > before; }, 20s));
            std::this_thread::sleep_for(delay);
        }
        child->Signal(SIGKILL);
        ASSERT_EQ(child->Wait(20s), 128 + SIGKILL);
        // The next run's first reading falls in a later second than every stored one.
        const auto killed =
            std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
        ASSERT_TRUE(WaitFor([&] { return std::chrono::system_clock::now() >= killed + 1s; }, 5s));
    }

    const std::vector<std::string> lines = Lines(ReadBytes(file), "\r\n");
    ASSERT_GE(lines.size(), 2U + 6U);
    EXPECT_TRUE(lines[0].starts_with("Produced by Nightlux ")) << lines[0];
    EXPECT_EQ(lines[1], HeaderColumns);
    for (std::size_t i = 2; i < lines.size(); ++i) {
        EXPECT_TRUE(std::regex_match(lines[i], RecordLine)) << lines[i];
        if (i > 2) {
            EXPECT_LT(lines[i - 1].substr(0, 19), lines[i].substr(0, 19)) << "a record twice";
        }
    }
}

TEST_F(NightluxRead, AUsbMeterWhosePortVanishesAndComesBackIsReadOnThroughTheOutage) {
    // The port is reached by a link name, as under /dev/serial/by-id, that is pointed at a
    // new pseudo-terminal when the meter is plugged back.
    const std::string port = Home.File("ttyMeter");
    const auto pointPortAt = [&](const std::string& device) {
        const std::string fresh = port + ".new";
        std::filesystem::create_symlink(device, fresh);
        std::filesystem::rename(fresh, port);
    };
    auto meter = std::make_unique<TPtyMeter>(SteadyMeter());
    pointPortAt(meter->DevicePath());
    const std::string file = Home.File("night.csv");
    const auto child =
        Start({"--model", "LU", "--serial", port, "--every-seconds", "1", "--file", file});
    const auto records = [&] {
        const std::string bytes = ReadBytes(file);
        return std::count(bytes.begin(), bytes.end(), '\n');
    };
    ASSERT_TRUE(WaitFor([&] { return records() >= 3; }, 20s));

    meter.reset(); // unplugged: the link name points nowhere
    ASSERT_TRUE(WaitFor([&] { return !child->GetErrors().empty(); }, 20s));
    // The outage lasts a few periods.
    const auto unplugged = std::chrono::steady_clock::now();
    ASSERT_TRUE(WaitFor([&] { return std::chrono::steady_clock::now() >= unplugged + 3s; }, 10s));
    const auto storedBefore = records();

    meter = std::make_unique<TPtyMeter>(SteadyMeter());
    pointPortAt(meter->DevicePath());
    ASSERT_TRUE(WaitFor([&] { return records() >= storedBefore + 2; }, 20s));
    child->Signal(SIGTERM);
    EXPECT_EQ(child->Wait(20s), 0) << "a stop asked for is no failure, after failed readings too";

    // The window's two-line message once, then the end of the outage.
    const std::vector<std::string> errors = Lines(child->GetErrors(), "\n");
    ASSERT_EQ(errors.size(), 3U) << child->GetErrors();
    EXPECT_TRUE(errors[0].ends_with(": Sky Quality Meter communication error: Could not connect "
                                    "with SQM-LU/R."))
        << errors[0];
    EXPECT_TRUE(std::regex_match(
        errors[2], std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d: The meter answers again, )"
                              R"(after \d+ failed readings?\.)")))
        << errors[2];
    ExpectReadingsFile(ReadBytes(file), Lines(ReadBytes(file), "\r\n").size() - 2);
}

TEST_F(NightluxRead, SigintWhileWaitingForTheNextReadingEndsTheRunAtOnce) {
    const TTcpMeterServer meter(SteadyMeter());
    const std::string file = Home.File("night.csv");
    std::vector<std::string> args = Tcp(meter);
    args.insert(args.end(), {"--every", "60", "--file", file});
    const auto child = Start(args);

    ASSERT_TRUE(WaitFor([&] { return !child->GetOutput().empty(); }, 20s));
    child->Signal(SIGINT);
    // An hour's wait cut short: well within the bound on a busy machine.
    EXPECT_EQ(child->Wait(10s), 0);
    ExpectReadingsFile(ReadBytes(file), 1);
}

TEST_F(NightluxRead, HelpDescribesTheOptionsAndTheTestPeriod) {
    const TResult result = Run({"--help"});
    EXPECT_EQ(result.Status, 0);
    for (const char* option : {"--model", "--host", "--port", "--timeout", "--serial", "--every",
                               "--count", "--file", "--csv", "--help"})
        EXPECT_NE(result.Output.find(option), std::string::npos) << option;
    EXPECT_NE(result.Output.find("--every-seconds S    meant for tests"), std::string::npos);
    EXPECT_EQ(result.Errors, "");
}

} // namespace
