// nightlux-meter-sim: a simulated Sky Quality Meter for people without one.

#include "platform/Exception.h"
#include "tools/sim/DeviceLink.h"
#include "tools/sim/PtyMeter.h"
#include "tools/sim/SimCommandLine.h"
#include "tools/sim/TcpMeterServer.h"
#include "tools/sim/UdpDiscoveryResponder.h"

#include <csignal>
#include <iostream>
#include <optional>
#include <pthread.h>

namespace {

// Blocks SIGINT and SIGTERM in this thread and every thread started after, so that only
// sigwait() sees them.
sigset_t BlockStopSignals() {
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    return stop;
}

// Serves until SIGINT or SIGTERM. The signals are blocked before the server's thread
// starts, so that thread inherits the mask and only sigwait() sees them.
int RunTcp(int port, const TMeterOptions& options) {
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);

    const TTcpMeterServer server(options, static_cast<std::uint16_t>(port));
    std::cout << "Simulated SQM-LE listening on 127.0.0.1:" << server.GetPort() << std::endl;
    int signal = 0;
    sigwait(&stop, &signal);
    return 0;
}

// Serves on a pseudo-terminal until SIGINT or SIGTERM, in the same way.
int RunPty(const std::string& linkPath, const TMeterOptions& options) {
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);

    const TPtyMeter meter(options);
    std::optional<TDeviceLink> link;
    if (!linkPath.empty())
        link.emplace(linkPath, meter.DevicePath());
    std::cout << (options.Logger ? "Simulated SQM-LU-DL on " : "Simulated SQM-LU on ")
              << meter.DevicePath() << std::endl;
    if (link)
        std::cout << "Linked as " << link->Path() << std::endl;
    int signal = 0;
    sigwait(&stop, &signal);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    TSimCommandLine line;
    try {
        line = ParseSimCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const Exception& e) {
        std::cerr << "nightlux-meter-sim: " << e.what() << "\nTry --help.\n";
        return 2;
    }
    if (line.Help) {
        std::cout << SimUsage();
        return 0;
    }
    if (!line.TcpPort && !line.Pty && !line.Discovery) {
        std::cerr << "nightlux-meter-sim: nothing to simulate; give --tcp PORT, --pty or "
                     "--udp-discovery MAC.\n"
                     "Try --help.\n";
        return 2;
    }
    try {
        std::optional<TUdpDiscoveryResponder> discovery;
        if (line.Discovery) {
            sigset_t stop = BlockStopSignals();
            discovery.emplace(*line.Discovery);
            std::cout << "Simulated SQM-LE module answering discovery on UDP "
                      << line.Discovery->BindAddress << ":" << discovery->GetPort() << std::endl;
            if (!line.TcpPort && !line.Pty) {
                int signal = 0;
                sigwait(&stop, &signal);
                return 0;
            }
        }
        return line.Pty ? RunPty(line.LinkPath, line.Meter) : RunTcp(*line.TcpPort, line.Meter);
    } catch (const std::exception& e) {
        std::cerr << "nightlux-meter-sim: " << e.what() << "\n";
        return 1;
    }
}
