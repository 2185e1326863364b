#include "platform/TcpClient.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

namespace {

using Clock = std::chrono::steady_clock;

std::string ErrorText(int error) {
    const char* text = strerrordesc_np(error);
    return text != nullptr ? text : "Unknown error";
}

[[noreturn]] void ThrowSocketError(const std::string& operation, int error) {
    throw ESocketError(operation + " failed: " + ErrorText(error) + " (error " +
                           std::to_string(error) + ").",
                       error);
}

// Milliseconds left until the deadline, rounded up, as poll() takes them.
int MillisecondsUntil(Clock::time_point deadline) {
    if (deadline == Clock::time_point::max())
        return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, INT_MAX));
}

// Waits until fd is ready for events (or has an error) or the deadline passes; false on
// time-out. EINTR resumes the wait against the same deadline.
bool WaitFor(int fd, short events, Clock::time_point deadline, const std::string& operation) {
    for (;;) {
        pollfd p{fd, events, 0};
        const int ready = ::poll(&p, 1, MillisecondsUntil(deadline));
        if (ready > 0)
            return true;
        if (ready == 0) {
            if (Clock::now() >= deadline)
                return false;
            continue;
        }
        const int error = errno;
        if (error != EINTR)
            ThrowSocketError(operation, error);
    }
}

struct TAddrInfoDeleter {
    void operator()(addrinfo* info) const { freeaddrinfo(info); }
};

} // namespace

ESocketError::ESocketError(const std::string& message, int lastError)
    : ETcpError(message), Code(lastError) {}

std::string TTcpClient::Endpoint() const {
    return Host + " port " + std::to_string(Port);
}

Clock::time_point TTcpClient::DeadlineAfter(std::chrono::milliseconds timeout) const {
    if (timeout <= std::chrono::milliseconds::zero())
        return Clock::time_point::max();
    return Clock::now() + timeout;
}

void TTcpClient::CheckCanConnect() {
    if (Host.empty())
        throw ETcpUsageError("No host given to connect to.");
    if (Port < 1 || Port > 65535)
        throw ETcpUsageError("Port " + std::to_string(Port) + " is outside 1 to 65535.");
    if (Connected())
        throw ETcpUsageError("Already connected to " + Endpoint() + ".");
}

void TTcpClient::Connect() {
    CheckCanConnect();
    Disconnect(); // a connection the other side has closed

    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int status = getaddrinfo(Host.c_str(), nullptr, &hints, &found);
    const int error = errno;
    const std::unique_ptr<addrinfo, TAddrInfoDeleter> owner(found);
    if (status != 0) {
        const int code = status == EAI_SYSTEM ? error : status;
        const std::string reason = status == EAI_SYSTEM ? ErrorText(error) : gai_strerror(status);
        throw ESocketError("Could not resolve host \"" + Host + "\": " + reason + ".", code);
    }
    sockaddr_in address{};
    std::memcpy(&address, found->ai_addr, sizeof address);
    address.sin_port = htons(static_cast<std::uint16_t>(Port));

    Socket = OpenConnection(address);
    Input.clear();
    TimedOut = false;
    if (OnConnected)
        OnConnected();
}

TFileDescriptor TTcpClient::OpenConnection(const sockaddr_in& address) const {
    const Clock::time_point deadline = DeadlineAfter(ConnectTimeout);
    TFileDescriptor fd(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd)
        ThrowSocketError("Creating a socket", errno);
    const std::string operation = "Connecting to " + Endpoint();
    if (::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        return fd;
    if (const int error = errno; error != EINPROGRESS)
        ThrowSocketError(operation, error);
    if (!WaitFor(fd.Get(), POLLOUT, deadline, operation))
        throw EConnectTimeout(operation + " timed out after " +
                              std::to_string(ConnectTimeout.count()) + " ms.");
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd.Get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        ThrowSocketError(operation, errno);
    if (error != 0)
        ThrowSocketError(operation, error);
    return fd;
}

void TTcpClient::Disconnect() noexcept {
    Socket.Reset();
    Input.clear();
}

bool TTcpClient::Connected() {
    if (!Socket)
        return false;
    if (!Input.empty())
        return true;
    char byte = 0;
    const ssize_t n = ::recv(Socket.Get(), &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n > 0)
        return true;
    if (n == 0)
        return false; // closed by the other side, nothing left unread
    const int error = errno;
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

void TTcpClient::Write(std::string_view bytes) {
    if (!Socket)
        throw ETcpUsageError("Not connected.");
    const Clock::time_point deadline = DeadlineAfter(ReadTimeout);
    const std::string operation = "Sending to " + Endpoint();
    while (!bytes.empty()) {
        const ssize_t n = ::send(Socket.Get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n >= 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        const int error = errno;
        if (error == EINTR)
            continue;
        if (error != EAGAIN && error != EWOULDBLOCK)
            ThrowSocketError(operation, error);
        if (!WaitFor(Socket.Get(), POLLOUT, deadline, operation))
            ThrowSocketError(operation, ETIMEDOUT);
    }
}

std::string TTcpClient::ReadLn() {
    return ReadLn(DeadlineAfter(ReadTimeout));
}

std::string TTcpClient::ReadLn(Clock::time_point deadline) {
    TimedOut = false;
    if (!Socket)
        throw ETcpUsageError("Not connected.");
    const std::string tooLong = "A line received from " + Endpoint() + " is longer than " +
                                std::to_string(MaxLineLength) + " bytes.";
    std::size_t searched = 0;
    for (;;) {
        const std::size_t lf = Input.find('\n', searched);
        if (lf != std::string::npos) {
            if (lf > MaxLineLength)
                throw ELineTooLong(tooLong);
            std::string line = Input.substr(0, lf);
            Input.erase(0, lf + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            for (char& c : line)
                if (static_cast<unsigned char>(c) > 127)
                    c = '?';
            return line;
        }
        if (Input.size() > MaxLineLength)
            throw ELineTooLong(tooLong);
        searched = Input.size();
        if (!Receive(deadline)) {
            TimedOut = true;
            return {};
        }
    }
}

bool TTcpClient::Receive(Clock::time_point deadline) {
    const std::string operation = "Receiving from " + Endpoint();
    for (;;) {
        char chunk[4096];
        const ssize_t n = ::recv(Socket.Get(), chunk, sizeof chunk, 0);
        if (n > 0) {
            Input.append(chunk, static_cast<std::size_t>(n));
            return true;
        }
        if (n == 0)
            throw EConnectionClosed("The connection to " + Endpoint() +
                                    " was closed by the other side.");
        const int error = errno;
        if (error == EINTR)
            continue;
        if (error != EAGAIN && error != EWOULDBLOCK)
            ThrowSocketError(operation, error);
        if (!WaitFor(Socket.Get(), POLLIN, deadline, operation))
            return false;
    }
}

std::size_t TTcpClient::CheckForInput(std::chrono::milliseconds timeout) {
    if (!Socket)
        throw ETcpUsageError("Not connected.");
    const std::string operation = "Receiving from " + Endpoint();
    const Clock::time_point deadline = Clock::now() + timeout;
    int waiting = 0;
    if (::ioctl(Socket.Get(), FIONREAD, &waiting) == 0 && waiting == 0 &&
        !WaitFor(Socket.Get(), POLLIN, deadline, operation))
        return Input.size();
    while (::ioctl(Socket.Get(), FIONREAD, &waiting) == 0 && waiting > 0 && Receive(deadline)) {
    }
    return Input.size();
}

void TTcpClient::DiscardInput() noexcept {
    Input.clear();
    if (!Socket)
        return;
    int waiting = 0;
    if (::ioctl(Socket.Get(), FIONREAD, &waiting) != 0)
        return;
    char chunk[4096];
    while (waiting > 0) {
        const auto want = std::min<std::size_t>(sizeof chunk, static_cast<std::size_t>(waiting));
        const ssize_t n = ::recv(Socket.Get(), chunk, want, MSG_DONTWAIT);
        if (n > 0)
            waiting -= static_cast<int>(n);
        else if (n < 0 && errno == EINTR)
            continue;
        else
            break;
    }
}
