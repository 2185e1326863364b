#pragma once

#include <chrono>
#include <optional>
#include <string>

// The service manager's notification socket, as systemd hands it to a service of
// Type=notify: one datagram per message to $NOTIFY_SOCKET ("READY=1", "WATCHDOG=1",
// "STATUS=...", "STOPPING=1"). Without the variable nothing is sent.
class TServiceNotifier {
public:
    // Inactive: sends nothing.
    TServiceNotifier() = default;
    // address: a socket path, or an abstract name written with a leading '@'.
    // watchdog: the interval within which the manager wants "WATCHDOG=1".
    TServiceNotifier(std::string address, std::optional<std::chrono::microseconds> watchdog);

    // From $NOTIFY_SOCKET, and from $WATCHDOG_USEC when $WATCHDOG_PID is unset or names this
    // process.
    static TServiceNotifier FromEnvironment();

    bool IsActive() const { return !Address.empty(); }
    const std::optional<std::chrono::microseconds>& GetWatchdogInterval() const { return Watchdog; }

    // Sends the message as one datagram; false, with errno set, when it could not be sent.
    // Never blocks.
    bool Notify(const std::string& message) const;

private:
    std::string Address;
    std::optional<std::chrono::microseconds> Watchdog;
};
