#include "tools/sim/LoopbackSocket.h"

#include "platform/TcpClient.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {

sockaddr_in LoopbackAddress(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

} // namespace

void ThrowLoopbackError(const std::string& operation, int error) {
    throw ESocketError(operation + " on 127.0.0.1 failed: " + std::strerror(error) + " (error " +
                           std::to_string(error) + ").",
                       error);
}

TFileDescriptor BindLoopback(std::uint16_t port, TReuse reuse) {
    TFileDescriptor socket(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!socket)
        ThrowLoopbackError("Creating a socket", errno);
    const int on = 1;
    if (reuse == TReuse::ReuseAddress &&
        ::setsockopt(socket.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0)
        ThrowLoopbackError("Setting SO_REUSEADDR", errno);
    const sockaddr_in address = LoopbackAddress(port);
    if (::bind(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        ThrowLoopbackError("Binding port " + std::to_string(port), errno);
    return socket;
}

std::uint16_t LocalPort(const TFileDescriptor& socket) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(socket.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        ThrowLoopbackError("Reading the socket's port", errno);
    return ntohs(address.sin_port);
}

void ResetOnClose(const TFileDescriptor& socket) {
    const linger abort{1, 0};
    ::setsockopt(socket.Get(), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
}

TRefusedPort::TRefusedPort() : Socket(BindLoopback(0)), Port(LocalPort(Socket)) {}

TUnansweredPort::TUnansweredPort() : Listener(BindLoopback(0)), Port(LocalPort(Listener)) {
    if (::listen(Listener.Get(), 0) != 0)
        ThrowLoopbackError("Listening", errno);
    Filler = TFileDescriptor(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!Filler)
        ThrowLoopbackError("Creating a socket", errno);
    const sockaddr_in address = LoopbackAddress(Port);
    if (::connect(Filler.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        ThrowLoopbackError("Filling the backlog of port " + std::to_string(Port), errno);
}
