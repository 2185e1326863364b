#pragma once

#include "platform/Exception.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Finding the network modules of Ethernet meters: a 4-byte query to UDP port 30718, broadcast
// on each interface that can broadcast and sent to the addresses the user names, and the
// 30-byte answers that come back. Nothing but the query is ever sent to that port.

// A search that cannot be made as asked: a target that is not an IPv4 address or subnet.
class EDiscoveryError : public Exception {
public:
    using Exception::Exception;
};

constexpr std::uint16_t DiscoveryPort = 30718;
// The one datagram sent to the discovery port, and the first bytes of its answer.
constexpr std::array<std::uint8_t, 4> DiscoveryQuery = {0x00, 0x00, 0x00, 0xF6};
constexpr std::array<std::uint8_t, 4> DiscoveryAnswerStart = {0x00, 0x00, 0x00, 0xF7};
constexpr std::size_t DiscoveryAnswerSize = 30;
// The first three bytes of the MAC address of the module that SQM-LE meters carry.
constexpr std::array<std::uint8_t, 3> SqmModulePrefix = {0x00, 0x80, 0xA3};

// One device that answered.
struct TDiscoveredDevice {
    std::string Address; // the sender's IPv4 address, dotted
    std::array<std::uint8_t, 6> Mac{};

    // "00:80:A3:12:34:56".
    std::string MacText() const;
    // True when the MAC carries the prefix of the meters' module; others answer the query
    // too, but are no SQM.
    bool HasSqmPrefix() const;
    bool operator==(const TDiscoveredDevice&) const = default;
};

struct TDiscoveryOptions {
    bool Broadcast = true;            // on every interface that can broadcast
    std::vector<std::string> Targets; // addresses ("192.168.1.20") and subnets ("10.0.0.0/24")
    std::uint16_t Port = DiscoveryPort;
    std::chrono::milliseconds Listen{2000}; // how long answers are awaited after the last query
    // The pause between two queries to single addresses, which bounds the rate at which a
    // subnet is probed.
    std::chrono::microseconds UnicastGap{5000};
};

// The host addresses of a target, in host byte order: the address itself, or every host
// address of a subnet (its network and broadcast addresses left out, except in /31 and /32).
// Raises EDiscoveryError for anything but a dotted IPv4 address with an optional prefix
// length from 16 to 32, and for unspecified and multicast addresses.
std::vector<std::uint32_t> TargetHosts(const std::string& target);

// The device of an answer from sender; false for a datagram that is not an answer (wrong
// size or start).
bool ParseDiscoveryAnswer(const std::uint8_t* data, std::size_t size, std::uint32_t sender,
                          TDiscoveredDevice& device);

// A search in progress and what it found.
class TEthernetDiscovery {
public:
    explicit TEthernetDiscovery(TDiscoveryOptions options);

    // Sends the queries and collects the answers until the listening time after the last
    // query is over, or until stop becomes true (checked at least every 100 ms). Each device
    // found for the first time is passed to found, on the calling thread. Returns the devices
    // sorted by address; each (address, MAC) appears once however often it answered. Targets
    // that cannot be read raise EDiscoveryError before anything is sent.
    std::vector<TDiscoveredDevice>
    Run(const std::function<void(const TDiscoveredDevice&)>& found = {},
        const std::atomic<bool>* stop = nullptr);

    // What went wrong on the way without stopping the search (an interface that could not be
    // used, an address that could not be reached), one sentence each.
    const std::vector<std::string>& Problems() const { return Notes; }
    // The interfaces a broadcast was sent on, as "name (address)".
    const std::vector<std::string>& BroadcastInterfaces() const { return Interfaces; }

private:
    TDiscoveryOptions Options;
    std::vector<std::string> Notes;
    std::vector<std::string> Interfaces;
};

// Dotted text of an IPv4 address in host byte order.
std::string Ipv4Text(std::uint32_t address);
