// Runs the nightlux-meter-sim program as a person would.

#include "meter/Dm_SQMLUR.h"
#include "meter/EthernetDiscovery.h"
#include "platform/FileDescriptor.h"
#include "platform/TcpClient.h"
#include "tests/support/TempFolder.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace {

using namespace std::chrono_literals;

// The program running with the given arguments, its standard output read through a pipe.
class TSimProcess {
public:
    explicit TSimProcess(std::vector<std::string> args) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe");
        Output = TFileDescriptor(fds[0]);
        const TFileDescriptor write(fds[1]);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, write.Get(), STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        args.insert(args.begin(), NIGHTLUX_METER_SIM);
        std::vector<char*> argv;
        argv.reserve(args.size() + 1);
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        const int status =
            posix_spawn(&Pid, NIGHTLUX_METER_SIM, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (status != 0)
            throw std::runtime_error("posix_spawn");
    }

    ~TSimProcess() {
        if (Pid > 0) {
            ::kill(Pid, SIGKILL);
            ::waitpid(Pid, nullptr, 0);
        }
    }

    // Standard output up to the first line end, or what came within the timeout.
    std::string FirstLine() {
        std::string text;
        char c = 0;
        pollfd p{Output.Get(), POLLIN, 0};
        while (::poll(&p, 1, 5000) == 1 && ::read(Output.Get(), &c, 1) == 1 && c != '\n')
            text += c;
        return text;
    }

    // The exit status, or -1 if the program has not ended within the timeout.
    int Wait(std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (::waitpid(Pid, &status, WNOHANG) == Pid) {
                Pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(10ms);
        }
        return -1;
    }

    void Signal(int signal) const { ::kill(Pid, signal); }

private:
    pid_t Pid = -1;
    TFileDescriptor Output;
};

TEST(MeterSimProgram, ListensWhereItSaysAndAnswersUnitInformation) {
    TSimProcess sim({"--tcp", "0"});
    const std::string line = sim.FirstLine();
    const std::string said = "Simulated SQM-LE listening on 127.0.0.1:";
    ASSERT_EQ(line.substr(0, said.size()), said) << line;

    TTcpClient client;
    client.SetHost("127.0.0.1");
    client.SetPort(std::stoi(line.substr(said.size())));
    client.Connect();
    client.Write("ix");
    std::size_t received = 0;
    for (std::size_t now = 0; (now = client.CheckForInput(500ms)) > received;)
        received = now;
    EXPECT_EQ(received, 39u);
    EXPECT_EQ(client.ReadLn(), "i,00000004,00000003,00000076,00005533");

    sim.Signal(SIGTERM);
    EXPECT_EQ(sim.Wait(5s), 0);
}

TEST(MeterSimProgram, EndsOnInterrupt) {
    TSimProcess sim({"--tcp", "0", "--silent"});
    ASSERT_FALSE(sim.FirstLine().empty());
    sim.Signal(SIGINT);
    EXPECT_EQ(sim.Wait(5s), 0);
}

TEST(MeterSimProgram, ServesAReadCycleOnAPseudoTerminalUnderAStableName) {
    TTempFolder folder;
    const std::string linkPath = folder.File("sqm-lu");
    TSimProcess sim({"--pty", "--link", linkPath, "--magnitude", "20.1", "--temperature", "-3"});
    const std::string line = sim.FirstLine();
    const std::string said = "Simulated SQM-LU on ";
    ASSERT_EQ(line.substr(0, said.size()), said) << line;
    const std::string device = line.substr(said.size());
    EXPECT_EQ(sim.FirstLine(), "Linked as " + linkPath);
    EXPECT_EQ(std::filesystem::read_symlink(linkPath), device);

    TDmSQMLUR link;
    link.SetComPort(linkPath);
    link.Connect();
    link.ReadUnitInfo();
    EXPECT_EQ(link.GetSerialNumber(), "00005533");
    link.ReadReading();
    EXPECT_DOUBLE_EQ(link.GetMagnitude(), 20.1);
    EXPECT_DOUBLE_EQ(link.GetTemperature(), -3.0);
    link.Disconnect();

    sim.Signal(SIGTERM);
    EXPECT_EQ(sim.Wait(5s), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(linkPath)));
}

TEST(MeterSimProgram, RefusesToReplaceAFileWithItsLink) {
    TTempFolder folder;
    const std::string file = folder.File("notes.txt");
    WriteBytes(file, "keep me");
    TSimProcess sim({"--pty", "--link", file});
    EXPECT_EQ(sim.Wait(5s), 1);
    EXPECT_EQ(ReadBytes(file), "keep me");
}

TEST(MeterSimProgram, HelpAndBadArguments) {
    TSimProcess help({"--help"});
    EXPECT_EQ(help.FirstLine(), "Usage: nightlux-meter-sim --tcp PORT [options]");
    EXPECT_EQ(help.Wait(5s), 0);
    TSimProcess bad({"--tcp", "x"});
    EXPECT_EQ(bad.Wait(5s), 2);
    TSimProcess nothing({});
    EXPECT_EQ(nothing.Wait(5s), 2);
}

} // namespace

// The simulated network module answers the discovery query on loopback with the MAC given,
// alone or beside the simulated meter.
TEST(MeterSimProgram, AnswersTheDiscoveryQueryWithTheMacGiven) {
    TSimProcess sim({"--udp-discovery", "00:80:a3:01:02:03", "--udp-port", "0"});
    const std::string line = sim.FirstLine();
    const std::string said = "Simulated SQM-LE module answering discovery on UDP 127.0.0.1:";
    ASSERT_EQ(line.substr(0, said.size()), said) << line;

    TDiscoveryOptions options;
    options.Broadcast = false;
    options.Targets = {"127.0.0.1"};
    options.Port = static_cast<std::uint16_t>(std::stoi(line.substr(said.size())));
    options.Listen = 500ms;
    const std::vector<TDiscoveredDevice> found = TEthernetDiscovery(options).Run();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].Address, "127.0.0.1");
    EXPECT_EQ(found[0].MacText(), "00:80:A3:01:02:03");

    sim.Signal(SIGTERM);
    EXPECT_EQ(sim.Wait(5s), 0);
}
