// nightlux-reader-soak: the headless reader's own loop (RunHeadlessReader, as nightlux-read
// runs it) through many readings with the readings file, a skyglow file and MQTT (a loopback
// mosquitto broker) on, against the in-process simulated meter. The waiter does not wait, so
// a reading follows the last at once. Resident memory is sampled as the run goes; the run
// fails when it grows after the warm-up.
//   nightlux-reader-soak [--readings N]        (default 20000)

#include "headless/HeadlessReader.h"
#include "headless/StopSignals.h"
#include "tests/soak/ProcessState.h"
#include "tests/support/TempFolder.h"
#include "tools/sim/TcpMeterServer.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <iostream>
#include <netinet/in.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

constexpr long MemoryMarginKb = 128;

// Standard output as the journal takes it: written and gone.
class TDiscard : public std::streambuf {
protected:
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
};
constexpr int WarmUp = 1000;

// Counts the readings and samples the process between them; asks nothing to stop.
class TSamplingWaiter : public TStopWaiter {
public:
    TSamplingWaiter(TTcpMeterServer& meter, int readings) : Meter(meter), Readings(readings) {}
    bool IsStopRequested() const override { return false; }
    // A moment between readings, so that the MQTT link drains its queue as at a real pace
    // (a reading a minute) instead of filling it faster than the broker takes it.
    bool WaitUntil(TClock::time_point) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return true;
    }
    void Progress(const std::string& status) override {
        ++Taken;
        if (status.find("failed") != std::string::npos)
            ++Failed;
        // The simulated meter's record of what it received is the test's, not the reader's.
        Meter.ForgetReceived();
        if (Taken == WarmUp)
            Warm = TProcessState::Read();
        if (Taken % (Readings / 10 > 0 ? Readings / 10 : 1) == 0)
            std::cout << "  " << Taken << " readings: " << TProcessState::Read().Describe()
                      << std::endl;
    }

    TTcpMeterServer& Meter;
    int Readings;
    int Taken = 0;
    int Failed = 0;
    TProcessState Warm;
};

// A loopback port that nothing listens on at this moment.
std::uint16_t FreePort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(s, reinterpret_cast<sockaddr*>(&address), length);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(s);
    return ntohs(address.sin_port);
}

bool Accepts(std::uint16_t port) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(s);
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    int readings = 20000;
    for (int i = 1; i + 1 < argc; i += 2)
        if (std::string(argv[i]) == "--readings")
            readings = std::stoi(argv[i + 1]);

    const TTempFolder home;
    const std::uint16_t brokerPort = FreePort();
    const std::string config = home.File("mosquitto.conf");
    WriteBytes(config, "listener " + std::to_string(brokerPort) +
                           " 127.0.0.1\nallow_anonymous true\npersistence false\nlog_dest none\n");
    std::string program = "mosquitto";
    std::string option = "-c";
    std::string file = config;
    char* brokerArgs[] = {program.data(), option.data(), file.data(), nullptr};
    pid_t broker = -1;
    if (posix_spawnp(&broker, "mosquitto", nullptr, nullptr, brokerArgs, environ) != 0) {
        std::cerr << "nightlux-reader-soak: mosquitto could not be started" << std::endl;
        return 1;
    }
    for (int i = 0; i < 500 && !Accepts(brokerPort); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));

    TMeterOptions options;
    options.RefuseSecondClient = false;
    TTcpMeterServer meter(options);
    std::filesystem::create_directory(home.File("skyglow"));
    const std::vector<std::string> args = {"--model",
                                           "LE",
                                           "--host",
                                           "127.0.0.1",
                                           "--port",
                                           std::to_string(meter.GetPort()),
                                           "--every-seconds",
                                           "1",
                                           "--count",
                                           std::to_string(readings),
                                           "--csv",
                                           "--file",
                                           home.File("SQMReadings.txt"),
                                           "--skyglow",
                                           home.File("skyglow"),
                                           "--position",
                                           "52.25,-7.11,30",
                                           "--site",
                                           "Soak",
                                           "--mqtt",
                                           "127.0.0.1:" + std::to_string(brokerPort)};
    TDiscard discard;
    std::ostream out(&discard);
    std::ostringstream err;
    TSamplingWaiter waiter(meter, readings);
    std::cout << "Reader soak: " << readings << " readings with the readings file, skyglow and "
              << "MQTT\nAt the start: " << TProcessState::Read().Describe() << std::endl;
    const auto started = std::chrono::steady_clock::now();
    const int status = RunHeadlessReader(args, home.File("nightlux.ini"), out, err, waiter);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const TProcessState end = TProcessState::Read();
    ::kill(broker, SIGTERM);
    ::waitpid(broker, nullptr, 0);

    std::cout << "After " << WarmUp << " readings: " << waiter.Warm.Describe()
              << "\nAt the end: " << end.Describe() << "\n"
              << waiter.Taken << " readings in " << seconds << " s, " << waiter.Failed
              << " failed, exit status " << status << std::endl;
    if (!err.str().empty())
        std::cout << "Messages:\n" << err.str().substr(0, 2000);
    if (status != 0 || waiter.Taken != readings) {
        std::cout << "FAILED: not every reading was taken and stored" << std::endl;
        return 1;
    }
    if (readings > WarmUp && end.ResidentKb > waiter.Warm.ResidentKb + MemoryMarginKb) {
        std::cout << "FAILED: resident memory grew by " << end.ResidentKb - waiter.Warm.ResidentKb
                  << " kB after the warm-up" << std::endl;
        return 1;
    }
    return 0;
}
