#pragma once

#include "tools/sim/MeterReplies.h"
#include "tools/sim/UdpDiscoveryResponder.h"

#include <optional>
#include <string>
#include <vector>

// What the simulated meter program was asked to do.
struct TSimCommandLine {
    bool Help = false;
    std::optional<int> TcpPort; // --tcp PORT; 0 = a free port
    bool Pty = false;           // --pty: a USB meter on a pseudo-terminal
    std::string LinkPath;       // --link PATH: a stable name for that pseudo-terminal
    TMeterOptions Meter;
    // --udp-discovery MAC: answer the network discovery query (with --udp-address,
    // --udp-port, --udp-from, --udp-delay).
    std::optional<TUdpDiscoveryOptions> Discovery;
};

// Reads the program's arguments (without the program name); raises Exception with a
// message naming the offending argument.
TSimCommandLine ParseSimCommandLine(const std::vector<std::string>& args);

std::string SimUsage();
