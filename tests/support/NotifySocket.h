#pragma once

#include <chrono>
#include <optional>
#include <poll.h>
#include <stddef.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

// A datagram socket that a test binds to stand in for the service manager's notification
// socket: a path, or an abstract name given with a leading '@'.
class TNotifySocket {
public:
    explicit TNotifySocket(const std::string& address) : Address(address) {
        Fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un where{};
        where.sun_family = AF_UNIX;
        if (Fd < 0 || address.empty() || address.size() >= sizeof where.sun_path)
            throw std::runtime_error("cannot make the notification socket " + address);
        address.copy(where.sun_path, address.size());
        if (address[0] == '@')
            where.sun_path[0] = '\0';
        const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) +
                                                   address.size() + (address[0] == '@' ? 0 : 1));
        if (::bind(Fd, reinterpret_cast<const sockaddr*>(&where), length) != 0)
            throw std::runtime_error("cannot bind the notification socket " + address);
    }
    TNotifySocket(const TNotifySocket&) = delete;
    TNotifySocket& operator=(const TNotifySocket&) = delete;
    ~TNotifySocket() {
        ::close(Fd);
        if (Address[0] == '/')
            ::unlink(Address.c_str());
    }

    const std::string& GetAddress() const { return Address; }

    // The next message, or nullopt when none comes within timeout.
    std::optional<std::string> Receive(std::chrono::milliseconds timeout) const {
        pollfd p{Fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(timeout.count())) != 1)
            return std::nullopt;
        char buffer[4096];
        const ssize_t n = ::recv(Fd, buffer, sizeof buffer, 0);
        if (n < 0)
            return std::nullopt;
        return std::string(buffer, static_cast<std::size_t>(n));
    }

private:
    std::string Address;
    int Fd = -1;
};
