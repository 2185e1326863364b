#pragma once

#include "platform/FileDescriptor.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// How the simulated network module answers the discovery query.
struct TUdpDiscoveryOptions {
    std::array<std::uint8_t, 6> Mac = {0x00, 0x80, 0xA3, 0x5A, 0x15, 0x9D};
    std::string BindAddress = "127.0.0.1"; // "0.0.0.0" also hears broadcasts
    std::uint16_t Port = 30718;            // 0 = a free port
    // The address the answer is sent from; empty: the one the system picks. Lets several
    // simulated modules that all hear one broadcast answer from addresses of their own.
    std::string AnswerFrom;
    std::chrono::milliseconds Delay{0}; // answer this late
    bool Silent = false;                // hear but never answer
};

// A simulated network module of an SQM-LE on a UDP port: it answers each 4-byte discovery
// query with the 30-byte answer carrying its MAC, and ignores every other datagram. Several
// may share a port (SO_REUSEADDR), so each hears a broadcast. Answers on a thread of its own
// from construction to destruction; raises ESocketError when the port cannot be had.
class TUdpDiscoveryResponder {
public:
    explicit TUdpDiscoveryResponder(TUdpDiscoveryOptions options = {});
    TUdpDiscoveryResponder(const TUdpDiscoveryResponder&) = delete;
    TUdpDiscoveryResponder& operator=(const TUdpDiscoveryResponder&) = delete;
    ~TUdpDiscoveryResponder();

    std::uint16_t GetPort() const { return Port; }
    // The answer to the query, as sent.
    std::vector<std::uint8_t> Answer() const;
    // Every datagram received so far, whatever it held.
    std::vector<std::vector<std::uint8_t>> Received() const;
    // Waits until at least count datagrams have arrived; false if not within timeout.
    bool WaitForDatagrams(std::size_t count, std::chrono::milliseconds timeout) const;

private:
    void Run();

    TUdpDiscoveryOptions Options;
    TFileDescriptor Socket;
    TFileDescriptor WakeRead;
    TFileDescriptor WakeWrite;
    std::uint16_t Port = 0;
    mutable std::mutex Lock;
    mutable std::condition_variable Arrived;
    std::vector<std::vector<std::uint8_t>> Datagrams;
    std::thread Worker;
};

// Reads "00:80:A3:12:34:56" (or with '-'); false when the text is no MAC address.
bool ParseMac(const std::string& text, std::array<std::uint8_t, 6>& mac);
