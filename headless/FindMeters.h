#pragma once

#include "meter/EthernetDiscovery.h"
#include "meter/MeterIdentify.h"

#include <chrono>
#include <iosfwd>
#include <string>
#include <vector>

// What nightlux-read --find looks for, and where.
struct TFindRequest {
    std::vector<std::string> Targets; // addresses and subnets to query as well
    bool Identify = false;            // ask each likely meter with "ix"
    std::uint16_t DiscoveryPort = ::DiscoveryPort;
    std::chrono::milliseconds Listen{2000};
    TEthernetIdentifyOptions Ethernet; // the meters' TCP port and time-outs
    std::chrono::milliseconds SerialTimeout{2000};
    std::string SysRoot = "/sys"; // where the USB serial ports are read from
    std::string DevRoot = "/dev";
};

// Looks for meters, prints one line per device found to out and problems to err. Returns
// 0 when at least one meter was found, 1 when none was; an address that cannot be read
// raises EDiscoveryError before anything is sent.
int FindMeters(const TFindRequest& request, std::ostream& out, std::ostream& err);

// The model's --model name for a unit information model number and link: "LU-DL" for model
// 6, otherwise "LE" over Ethernet and "LU" on a serial port.
std::string ModelOptionOf(const std::string& modelNumber, bool ethernet);
