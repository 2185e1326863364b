#include "headless/ServiceWatch.h"

#include <algorithm>

bool TWatchedWaiter::WaitUntil(TClock::time_point time) {
    const auto& interval = Notifier.GetWatchdogInterval();
    if (!interval)
        return Waiter.WaitUntil(time);
    const auto half = std::chrono::duration_cast<TClock::duration>(*interval) / 2;
    for (;;) {
        const TClock::time_point until = std::min(time, LastPing + half);
        if (!Waiter.WaitUntil(until))
            return false;
        if (until == time)
            return true;
        Ping();
    }
}

void TWatchedWaiter::Started() {
    Notifier.Notify("READY=1\nSTATUS=Taking the first reading.");
    LastPing = TClock::now();
}

void TWatchedWaiter::Progress(const std::string& status) {
    Notifier.Notify("STATUS=" + status + (Notifier.GetWatchdogInterval() ? "\nWATCHDOG=1" : ""));
    LastPing = TClock::now();
}

void TWatchedWaiter::Stopping() {
    Notifier.Notify("STOPPING=1");
}

void TWatchedWaiter::Ping() {
    Notifier.Notify("WATCHDOG=1");
    LastPing = TClock::now();
}
