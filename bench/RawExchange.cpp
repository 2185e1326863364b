#include "bench/RawExchange.h"

#include "platform/FileDescriptor.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <string_view>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>

namespace {

constexpr int ReplyTimeoutMs = 5000;
constexpr std::size_t UnitInfoLength = 39;
constexpr std::size_t ReadingLength = 57;

[[noreturn]] void ThrowErrno(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

// Waits up to the reply time-out until fd is ready for events.
void WaitFor(int fd, short events) {
    for (;;) {
        pollfd p{fd, events, 0};
        const int ready = ::poll(&p, 1, ReplyTimeoutMs);
        if (ready > 0)
            return;
        if (ready == 0)
            throw std::runtime_error("the meter did not answer");
        if (errno != EINTR)
            ThrowErrno("poll");
    }
}

void WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EAGAIN)
            WaitFor(fd, POLLOUT);
        else if (n < 0 && errno != EINTR)
            ThrowErrno("write");
        else if (n > 0)
            bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

// Reads once whatever has arrived, waiting up to the reply time-out for it.
std::size_t ReadSome(int fd, char* buffer, std::size_t size) {
    for (;;) {
        WaitFor(fd, POLLIN);
        const ssize_t n = ::read(fd, buffer, size);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n < 0)
            ThrowErrno("read");
        if (n == 0)
            throw std::runtime_error("the meter closed the line");
        return static_cast<std::size_t>(n);
    }
}

std::string TcpCommand(int fd, std::string_view command) {
    WriteAll(fd, command);
    std::string reply;
    char chunk[256];
    while (reply.empty() || reply.back() != '\n')
        reply.append(chunk, ReadSome(fd, chunk, sizeof chunk));
    return reply;
}

std::string SerialCommand(int fd, std::string_view command, std::size_t length) {
    WriteAll(fd, command);
    std::string reply(length, '\0');
    for (std::size_t got = 0; got < length;)
        got += ReadSome(fd, reply.data() + got, length - got);
    return reply;
}

} // namespace

TRawReplies RawTcpExchange(std::uint16_t port) {
    const TFileDescriptor socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket)
        ThrowErrno("socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        ThrowErrno("connect");
    TRawReplies replies;
    replies.UnitInfo = TcpCommand(socket.Get(), "ix");
    replies.Reading = TcpCommand(socket.Get(), "rx");
    return replies;
}

TRawReplies RawSerialExchange(const std::string& devicePath) {
    const TFileDescriptor port(
        ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!port)
        ThrowErrno("open");
    TRawReplies replies;
    replies.UnitInfo = SerialCommand(port.Get(), "ix", UnitInfoLength);
    replies.Reading = SerialCommand(port.Get(), "rx", ReadingLength);
    return replies;
}
