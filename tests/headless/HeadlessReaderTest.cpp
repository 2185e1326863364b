// The reading loop of nightlux-read in-process, against the simulated meter, with a
// waiter that records when the readings fall due instead of waiting for them.

#include "headless/HeadlessReader.h"

#include "headless/StopSignals.h"
#include "platform/Folders.h"
#include "platform/IniFile.h"
#include "platform/JournalStream.h"
#include "platform/ScopedOverride.h"
#include "platform/SystemTime.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempFolder.h"
#include "tools/sim/TcpMeterServer.h"

#include <algorithm>
#include <arpa/inet.h>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <regex>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

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
    void Started() override { Events.push_back("started"); }
    void Progress(const std::string& status) override { Events.push_back(status); }
    void Stopping() override { Events.push_back("stopping"); }

    int StopAfter = -1; // the number of waits after which a stop is requested
    int Waits = 0;
    std::function<void(int waits)> OnWait; // before the reading after that wait
    std::vector<TClock::time_point> Times;
    std::vector<std::string> Events; // Started, each Progress's status, Stopping
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

// Without a folder for the settings (no HOME, no account home) there is no settings file to
// read: the run is refused, naming the variable to set.
TEST_F(HeadlessReader, NoSettingsFolderIsRefused) {
    EXPECT_EQ(RunHeadlessReader({"--host", "127.0.0.1", "--port", std::to_string(Meter.GetPort())},
                                "", Out, Err, Waiter),
              2);
    EXPECT_EQ(Err.str(), "nightlux-read: " + NoConfigFolderMessage() + "\n");
    EXPECT_EQ(Meter.GetCounts().Connections, 0);
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

// A stop asked for ends a continuous run with status 0, whatever failed before it; a run that
// ends by itself, or a single reading, still says that a reading failed.
TEST_F(HeadlessReader, AStoppedRunIsNoFailureButAFinishedOneWithAFailedReadingIs) {
    const struct {
        std::vector<std::string> Args;
        int StopAfter;
        int Status;
    } cases[] = {
        {{"--every-seconds", "1"}, 2, 0},
        {{"--every-seconds", "1", "--count", "5"}, 2, 0},
        {{"--every-seconds", "1", "--count", "2"}, -1, 1},
        {{}, -1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.Args));
        TMeterOptions dropping = ManyClients();
        dropping.DropConnection = true;
        Meter.SetOptions(dropping);
        Waiter = {};
        Waiter.StopAfter = c.StopAfter;
        Err.str("");
        std::vector<std::string> args = {"--timeout", "1"};
        args.insert(args.end(), c.Args.begin(), c.Args.end());
        EXPECT_EQ(Run(args), c.Status);
        EXPECT_NE(Err.str().find("The connection to 127.0.0.1 port "), std::string::npos)
            << "the failure is told: " << Err.str();
    }
}

// What a service manager is told: the start, the last reading (time and value) or the
// failures since it, and the end.
TEST_F(HeadlessReader, TheWaiterIsToldTheStartEachReadingAndTheEnd) {
    Waiter.OnWait = [this](int waits) {
        TMeterOptions options = ManyClients();
        options.DropConnection = waits == 1;
        Meter.SetOptions(options);
    };
    EXPECT_EQ(Run({"--timeout", "1", "--every-seconds", "1", "--count", "3"}), 1);
    ASSERT_EQ(Waiter.Events.size(), 5u) << ::testing::PrintToString(Waiter.Events);
    EXPECT_EQ(Waiter.Events[0], "started");
    const std::regex last(R"(Last reading [0-9/]+ [0-9:]+, 19\.50 mag/arcsec²)");
    EXPECT_TRUE(std::regex_match(Waiter.Events[1], last)) << Waiter.Events[1];
    EXPECT_TRUE(Waiter.Events[2].starts_with("1 failed reading (The connection to 127.0.0.1 "))
        << Waiter.Events[2];
    EXPECT_TRUE(Waiter.Events[2].ends_with("); l" + Waiter.Events[1].substr(1)))
        << Waiter.Events[2];
    EXPECT_TRUE(std::regex_match(Waiter.Events[3], last)) << Waiter.Events[3];
    EXPECT_EQ(Waiter.Events[4], "stopping");
}

// Written to the journal, each line of a message carries its priority: failures are errors,
// sharing that failed a warning, the end of an outage information.
TEST_F(HeadlessReader, JournalLinesCarryTheirPriority) {
    std::stringbuf journal;
    TJournalLineBuffer lines(journal);
    Err.basic_ios::rdbuf(&lines);
    // The second reading fails; by the third the skyglow folder has become a file.
    const std::string skyglow = Home.File("skyglow");
    Waiter.OnWait = [this, &skyglow](int waits) {
        TMeterOptions options = ManyClients();
        options.DropConnection = waits == 1;
        Meter.SetOptions(options);
        if (waits == 1) {
            std::filesystem::remove_all(skyglow);
            WriteBytes(skyglow, "x");
        }
    };
    EXPECT_EQ(Run({"--timeout", "1", "--every-seconds", "1", "--count", "3", "--skyglow", skyglow}),
              1);
    std::istringstream told(journal.str());
    std::vector<std::string> priorities;
    for (std::string line; std::getline(told, line);)
        priorities.push_back(line.substr(0, 3));
    EXPECT_EQ(priorities, (std::vector<std::string>{"<3>", "<4>", "<6>"})) << journal.str();
    EXPECT_EQ(Err.str(), "");
}

SYSTEMTIME PinnedClock() {
    return {2015, 3, 6, 14, 21, 5, 9, 876};
}

// The reading's time and the log's time both come from the clock that tests pin.
TEST_F(HeadlessReader, ReadingAndLogTimesComeFromTheOneClock) {
    const TScopedEnv locale("LC_ALL", "C");
    const TScopedOverride<TLocalTimeSource> pinned(&SetLocalTimeSource, &PinnedClock);
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
}

TEST_F(HeadlessReader, OutputThatCannotBeWrittenFailsTheRun) {
    Out.setstate(std::ios::badbit);
    EXPECT_EQ(Run({}), 1);
    EXPECT_EQ(Err.str(), "Could not write the reading to the standard output.\n");
}

} // namespace

namespace {

// --ephemeris needs no meter; the test's zone is pinned so the local times are known.
class HeadlessEphemeris : public HeadlessReader {
protected:
    int RunEphemeris(std::vector<std::string> args) {
        args.insert(args.begin(), "--ephemeris");
        return RunHeadlessReader(args, Home.File("nightlux.ini"), Out, Err, Waiter);
    }

    std::string Line(const std::string& name) const {
        const std::string text = Out.str();
        const std::size_t at = text.find("\n" + name + ": ");
        if (at == std::string::npos)
            return "(missing)";
        const std::size_t from = at + name.size() + 3;
        return text.substr(from, text.find('\n', from) - from);
    }

    TScopedEnv Zone{"TZ", "UTC0"};
};

TEST_F(HeadlessEphemeris, PrintsTheNightsEventsInLocalTime) {
    ASSERT_EQ(RunEphemeris({"2026-12-09", "--position", "52,0", "--site", "Green"}), 0)
        << Err.str();
    EXPECT_EQ(Out.str().rfind("Night: 2026-12-09 to 2026-12-10\nSite: Green\n"
                              "Position: 52,0,0\nSunset: ",
                              0),
              0u)
        << Out.str();
    // The Sun's events in their order, each a local clock time.
    const char* const names[] = {
        "Sunset",        "Civil dusk", "Nautical dusk", "Astronomical dusk", "Astronomical dawn",
        "Nautical dawn", "Civil dawn", "Sunrise"};
    std::vector<std::string> times;
    for (const char* name : names) {
        times.push_back(Line(name));
        EXPECT_EQ(times.back().size(), 5u) << name << ": " << times.back();
    }
    EXPECT_EQ(times.front().substr(0, 3), "15:"); // about 15:50 at 52 degrees north
    EXPECT_EQ(times.back().substr(0, 3), "07:");  // about 07:55
    EXPECT_NE(Line("Moonrise"), "(missing)");
    EXPECT_NE(Line("Moonset"), "(missing)");
    EXPECT_EQ(Line("Moon illuminated at midnight").size(), 4u) << Out.str();
    EXPECT_EQ(Err.str(), "");

    // Two hours east of the zone above, every clock time moves by two hours.
    const std::string utcSunset = times.front();
    const TScopedEnv east("TZ", "EET-2");
    Out.str("");
    ASSERT_EQ(RunEphemeris({"2026-12-09", "--position", "52,0"}), 0);
    EXPECT_EQ(Line("Sunset"), "17:" + utcSunset.substr(3));
}

TEST_F(HeadlessEphemeris, PolarDayAndNightAreSaidInWords) {
    ASSERT_EQ(RunEphemeris({"2026-06-21", "--position", "78,15"}), 0);
    EXPECT_EQ(Line("Sunset"), "none (polar day: the Sun stays up all night)");
    EXPECT_EQ(Line("Astronomical dusk"),
              "none (the Sun stays less than 18 degrees below the horizon)");
    Out.str("");
    ASSERT_EQ(RunEphemeris({"2026-12-21", "--position", "78,15"}), 0);
    EXPECT_EQ(Line("Sunrise"), "none (polar night: the Sun stays down from noon to noon)");
    EXPECT_EQ(Line("Civil dawn"),
              "none (the Sun stays more than 6 degrees below the horizon from noon to noon)");
}

TEST_F(HeadlessEphemeris, TheSavedSiteServesAndOptionsOverrideIt) {
    WriteBytes(Home.File("nightlux.ini"),
               "[Site]\r\nName=Roof\r\nLatitude=-33.9\r\nLongitude=18.4\r\nElevation=10\r\n");
    ASSERT_EQ(RunEphemeris({"2026-12-09"}), 0) << Err.str();
    EXPECT_NE(Out.str().find("\nSite: Roof\nPosition: -33.9,18.4,10\n"), std::string::npos)
        << Out.str();
    Out.str("");
    ASSERT_EQ(RunEphemeris({"2026-12-09", "--position", "10,20", "--site", "Field"}), 0);
    EXPECT_NE(Out.str().find("\nSite: Field\nPosition: 10,20,0\n"), std::string::npos) << Out.str();
}

TEST_F(HeadlessEphemeris, AMissingOrBrokenSiteIsRefusedClearly) {
    EXPECT_EQ(RunEphemeris({}), 2);
    EXPECT_EQ(Err.str(), "nightlux-read: No site is known: give --position LAT,LON[,ELEV], or "
                         "enter the site in the Nightlux window (Ctrl+Shift+S).\n");
    EXPECT_EQ(Out.str(), "");
    Err.str("");
    WriteBytes(Home.File("nightlux.ini"), "[Site]\r\nLatitude=north\r\nLongitude=0\r\n");
    EXPECT_EQ(RunEphemeris({}), 2);
    EXPECT_NE(Err.str().find("the latitude \"north\" is not a number"), std::string::npos)
        << Err.str();
    // A position on the command line replaces the broken one.
    Err.str("");
    EXPECT_EQ(RunEphemeris({"--position", "0,0"}), 0);
    EXPECT_EQ(Err.str(), "");
}

// Sharing follows each good reading, and its failures never fail the reading.
TEST_F(HeadlessReader, ReadingsAreSharedToTheNightsSkyglowFile) {
    const std::string folder = Home.File("sky");
    std::filesystem::create_directory(folder);
    ASSERT_EQ(Run({"--skyglow", folder, "--position", "52,0,10", "--site", "Roof", "--file",
                   Home.File("readings.txt")}),
              0)
        << Err.str();
    EXPECT_EQ(Err.str(), "");
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        files.push_back(entry.path());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(files[0].filename().string().ends_with("_SQM-LE-Roof.dat")) << files[0];
    const std::string skyglow = ReadBytes(files[0].string());
    EXPECT_NE(skyglow.find("# Position (lat, lon, elev(m)): 52, 0, 10\r\n"), std::string::npos)
        << skyglow;
    EXPECT_NE(ReadBytes(Home.File("readings.txt")), "");
}

// A missing skyglow folder is made, as the readings folder is; one that cannot be made
// refuses the run before any reading.
TEST_F(HeadlessReader, AMissingSkyglowFolderIsMadeAndOneThatCannotBeRefusesTheRun) {
    const std::string folder = Home.File("sky/night");
    ASSERT_EQ(Run({"--skyglow", folder, "--position", "52,0,10", "--site", "D\xC3\xBAn"}), 0)
        << Err.str();
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    ASSERT_EQ(names.size(), 1u);
    EXPECT_NE(ReadBytes(folder + "/" + names[0]).find("# Location name: Dun\r\n"),
              std::string::npos);

    WriteBytes(Home.File("not-a-folder"), "x");
    const int connections = Meter.GetCounts().Connections;
    Err.str("");
    EXPECT_EQ(
        Run({"--skyglow", Home.File("not-a-folder/sky"), "--file", Home.File("readings.txt")}), 2);
    EXPECT_NE(Err.str().find("Could not make the skyglow folder"), std::string::npos) << Err.str();
    EXPECT_NE(Err.str().find("not-a-folder/sky"), std::string::npos) << Err.str();
    EXPECT_EQ(Meter.GetCounts().Connections, connections);
    EXPECT_FALSE(std::filesystem::exists(Home.File("readings.txt")));
}

// A link the user gives as the readings file is resolved once: its target is written.
TEST_F(HeadlessReader, AReadingsFileLinkGivenByTheUserIsWrittenThrough) {
    std::filesystem::create_directory(Home.File("data"));
    ASSERT_EQ(::symlink(Home.File("data/readings.txt").c_str(), Home.File("link.txt").c_str()), 0);
    ASSERT_EQ(Run({"--file", Home.File("link.txt")}), 0) << Err.str();
    EXPECT_NE(ReadBytes(Home.File("data/readings.txt")), "");
    EXPECT_TRUE(std::filesystem::is_symlink(Home.File("link.txt")));
}

// A loopback port that nothing listens on: bound for a moment, then let go.
std::uint16_t ClosedPort() {
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    EXPECT_EQ(::bind(socket, reinterpret_cast<sockaddr*>(&address), length), 0);
    EXPECT_EQ(::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length), 0);
    ::close(socket);
    return ntohs(address.sin_port);
}

TEST_F(HeadlessReader, ABrokerThatIsDownLosesNoReading) {
    ASSERT_EQ(Run({"--mqtt", "127.0.0.1:" + std::to_string(ClosedPort()), "--every-seconds", "1",
                   "--count", "3", "--csv", "--file", Home.File("readings.txt")}),
              0)
        << Err.str();
    const std::string stored = ReadBytes(Home.File("readings.txt"));
    EXPECT_EQ(std::count(stored.begin(), stored.end(), '\n'), 5) << stored;
    const std::string told = Err.str();
    EXPECT_LE(std::count(told.begin(), told.end(), '\n'), 1) << told;
}

TEST_F(HeadlessReader, SharingSettingsThatCannotWorkStopTheRunBeforeAnyReading) {
    WriteBytes(Home.File("nightlux.ini"), "[MQTT]\r\nHost=127.0.0.1\r\nPort=99999\r\n");
    EXPECT_EQ(Run({}), 2);
    EXPECT_NE(Err.str().find("The MQTT port \"99999\""), std::string::npos) << Err.str();
    EXPECT_EQ(Meter.GetCounts().Connections, 0);
    Err.str("");
    // A broken site stops only a run that shares.
    WriteBytes(Home.File("nightlux.ini"), "[Site]\r\nLatitude=north\r\nLongitude=0\r\n");
    EXPECT_EQ(Run({}), 0) << Err.str();
    EXPECT_EQ(Run({"--skyglow", Home.GetPath()}), 2);
    EXPECT_NE(Err.str().find("the latitude \"north\" is not a number"), std::string::npos)
        << Err.str();
    EXPECT_EQ(Meter.GetCounts().Connections, 1);
    Err.str("");
    std::filesystem::remove(Home.File("nightlux.ini"));
    EXPECT_EQ(Run({"--mqtt", "127.0.0.1", "--mqtt-credentials", Home.File("missing")}), 2);
    EXPECT_NE(Err.str().find(Home.File("missing")), std::string::npos) << Err.str();
    // A credentials file that others may read, or that is no file, stops the run too.
    WriteBytes(Home.File("mqtt"), "username=sky\npassword=s3cret\n");
    ASSERT_EQ(::chmod(Home.File("mqtt").c_str(), 0644), 0);
    for (const char* name : {"mqtt", "/dev/zero"}) {
        Err.str("");
        const std::string file = name[0] == '/' ? name : Home.File(name);
        EXPECT_EQ(Run({"--mqtt", "127.0.0.1", "--mqtt-credentials", file}), 2);
        EXPECT_NE(Err.str().find(name[0] == '/' ? "is not a regular file" : "chmod 600 " + file),
                  std::string::npos)
            << Err.str();
    }
    EXPECT_EQ(Meter.GetCounts().Connections, 1);
}

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
