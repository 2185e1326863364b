#pragma once

#include "headless/StopSignals.h"
#include "platform/ServiceNotify.h"

// A waiter that tells the service manager how the run goes: READY=1 when it starts, the last
// reading in STATUS=, STOPPING=1 at its end, and WATCHDOG=1 after each reading and, while it
// waits, at least every half watchdog interval. A run that hangs in a reading stops the
// pings, so the manager restarts it; a long wait or a meter outage (each failed reading
// bounded by the link's time-outs) does not.
class TWatchedWaiter : public TStopWaiter {
public:
    TWatchedWaiter(TStopWaiter& waiter, const TServiceNotifier& notifier)
        : Waiter(waiter), Notifier(notifier) {}

    bool IsStopRequested() const override { return Waiter.IsStopRequested(); }
    bool WaitUntil(TClock::time_point time) override;
    void Started() override;
    void Progress(const std::string& status) override;
    void Stopping() override;

private:
    void Ping();

    TStopWaiter& Waiter;
    const TServiceNotifier& Notifier;
    TClock::time_point LastPing = TClock::now();
};
