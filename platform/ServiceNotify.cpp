#include "platform/ServiceNotify.h"

#include "platform/FileDescriptor.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stddef.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// The variable's value as a whole decimal number greater than 0.
std::optional<unsigned long long> PositiveNumber(const char* name) {
    const char* text = std::getenv(name);
    if (!text || *text < '0' || *text > '9')
        return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (errno != 0 || *end != '\0' || value == 0)
        return std::nullopt;
    return value;
}

} // namespace

TServiceNotifier::TServiceNotifier(std::string address,
                                   std::optional<std::chrono::microseconds> watchdog)
    : Address(std::move(address)), Watchdog(watchdog) {}

TServiceNotifier TServiceNotifier::FromEnvironment() {
    const char* address = std::getenv("NOTIFY_SOCKET");
    if (!address || !*address)
        return {};
    std::optional<std::chrono::microseconds> watchdog;
    const auto usec = PositiveNumber("WATCHDOG_USEC");
    const auto pid = PositiveNumber("WATCHDOG_PID");
    if (usec && (!pid || *pid == static_cast<unsigned long long>(::getpid())))
        watchdog = std::chrono::microseconds(*usec);
    return TServiceNotifier(address, watchdog);
}

bool TServiceNotifier::Notify(const std::string& message) const {
    if (!IsActive())
        return true;
    sockaddr_un to{};
    to.sun_family = AF_UNIX;
    if ((Address[0] != '/' && Address[0] != '@') || Address.size() > sizeof to.sun_path) {
        errno = EINVAL;
        return false;
    }
    std::memcpy(to.sun_path, Address.data(), Address.size());
    // An abstract name begins with a NUL byte in place of the '@' and is not NUL-ended.
    socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + Address.size());
    if (Address[0] == '@')
        to.sun_path[0] = '\0';
    else if (Address.size() < sizeof to.sun_path)
        ++length;
    const TFileDescriptor socket(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!socket)
        return false;
    const ssize_t sent = ::sendto(socket.Get(), message.data(), message.size(), MSG_NOSIGNAL,
                                  reinterpret_cast<const sockaddr*>(&to), length);
    return sent == static_cast<ssize_t>(message.size());
}
