#pragma once

#include "platform/FileDescriptor.h"

#include <cstdint>
#include <string>

// Sockets on 127.0.0.1 for the simulated meter and for tests of failing connections.
// Failures raise ESocketError.

enum class TReuse { Exclusive, ReuseAddress };

// A TCP socket bound to 127.0.0.1 at port (0 = a free port), not yet listening;
// close-on-exec and non-blocking. With ReuseAddress (SO_REUSEADDR) a second such socket
// may bind the same port while neither listens.
TFileDescriptor BindLoopback(std::uint16_t port, TReuse reuse = TReuse::Exclusive);
std::uint16_t LocalPort(const TFileDescriptor& socket);
// Makes the socket's close reset the connection instead of closing it in order.
void ResetOnClose(const TFileDescriptor& socket);
[[noreturn]] void ThrowLoopbackError(const std::string& operation, int error);

// A port that refuses every connection: bound, so nobody else takes it, but not listening.
class TRefusedPort {
public:
    TRefusedPort();
    std::uint16_t GetPort() const { return Port; }

private:
    TFileDescriptor Socket;
    std::uint16_t Port = 0;
};

// A port where connects never complete: it listens with no room in its backlog, which one
// connection of its own fills, and never accepts. Further connects go unanswered.
class TUnansweredPort {
public:
    TUnansweredPort();
    std::uint16_t GetPort() const { return Port; }

private:
    TFileDescriptor Listener;
    TFileDescriptor Filler;
    std::uint16_t Port = 0;
};
