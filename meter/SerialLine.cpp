#include "meter/SerialComm.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

enum class TWait { Ready, TimedOut, Gone };

TWait WaitForInput(int port, Clock::time_point deadline) {
    for (;;) {
        const auto remaining = deadline - Clock::now();
        if (remaining <= Clock::duration::zero())
            return TWait::TimedOut;
        pollfd p{port, POLLIN, 0};
        const int timeout =
            static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(remaining).count());
        const int ready = ::poll(&p, 1, timeout);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0 || (p.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0)
            return TWait::Gone;
        if (ready == 0)
            return TWait::TimedOut;
        if ((p.revents & POLLIN) != 0)
            return TWait::Ready;
    }
}

} // namespace

std::optional<std::string> TSerialComm::ReceiveLine(std::string_view marker,
                                                    std::size_t maxLength) {
    if (!IsConnected())
        throw ESerial("The port is not open");
    const Clock::time_point total = Clock::now() + Timeouts.ReadTotal;
    Clock::time_point deadline = total;
    std::string held;
    bool begun = marker.empty();
    char chunk[256];
    for (;;) {
        const ssize_t n = ::read(Handle.Get(), chunk, sizeof chunk);
        if (n > 0) {
            held.append(chunk, static_cast<std::size_t>(n));
            if (!begun) {
                const std::size_t at = held.find(marker);
                begun = at != std::string::npos;
                // Keep a tail that may be the start of a marker split between two reads.
                const std::size_t keep =
                    begun ? held.size() - at : std::min(held.size(), marker.size() - 1);
                held.erase(0, held.size() - keep);
            }
            if (begun) {
                deadline = std::min(total, Clock::now() + Timeouts.ReadInterval);
                const std::size_t end = held.find('\n');
                if (end != std::string::npos) {
                    held.resize(end);
                    if (!held.empty() && held.back() == '\r')
                        held.pop_back();
                    return held;
                }
                if (held.size() > maxLength)
                    return std::nullopt;
            }
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // With VMIN = VTIME = 0 a read of nothing returns 0; poll tells a hang-up apart.
        if (n < 0 && errno != EAGAIN)
            throw ESerial("The device has gone");
        switch (WaitForInput(Handle.Get(), deadline)) {
        case TWait::Ready:
            break;
        case TWait::TimedOut:
            return std::nullopt;
        case TWait::Gone:
            throw ESerial("The device has gone");
        }
    }
}
