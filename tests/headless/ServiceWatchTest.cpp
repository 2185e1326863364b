#include "headless/ServiceWatch.h"

#include "tests/support/NotifySocket.h"

#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using TClock = TStopWaiter::TClock;

// Waits for real, and asks to stop once stopAt has passed.
class TSleepingWaiter : public TStopWaiter {
public:
    bool IsStopRequested() const override { return StopAt && TClock::now() >= *StopAt; }
    bool WaitUntil(TClock::time_point time) override {
        ++Waits;
        std::this_thread::sleep_until(StopAt ? std::min(time, *StopAt) : time);
        return !IsStopRequested();
    }

    std::optional<TClock::time_point> StopAt;
    int Waits = 0;
};

class ServiceWatch : public testing::Test {
protected:
    std::vector<std::string> Received() const {
        std::vector<std::string> messages;
        while (const auto message = Manager.Receive(0ms))
            messages.push_back(*message);
        return messages;
    }

    const TNotifySocket Manager{"@nightlux-watch-test-" + std::to_string(::getpid())};
    TSleepingWaiter Sleeper;
};

TEST_F(ServiceWatch, ALongWaitPingsTheWatchdogAtLeastEveryHalfInterval) {
    const TServiceNotifier notifier(Manager.GetAddress(), 100ms);
    TWatchedWaiter waiter(Sleeper, notifier);
    const auto until = TClock::now() + 520ms;
    EXPECT_TRUE(waiter.WaitUntil(until));
    EXPECT_GE(TClock::now(), until);
    const std::vector<std::string> pings = Received();
    // Every 50 ms of 520 ms: ten pings on an idle machine, fewer when sleeps overrun.
    EXPECT_GE(pings.size(), 3u);
    EXPECT_LE(pings.size(), 10u);
    for (const std::string& ping : pings)
        EXPECT_EQ(ping, "WATCHDOG=1");
}

TEST_F(ServiceWatch, AStopEndsTheWaitWithoutWaitingForTheNextPing) {
    const TServiceNotifier notifier(Manager.GetAddress(), 10s);
    TWatchedWaiter waiter(Sleeper, notifier);
    Sleeper.StopAt = TClock::now() + 50ms;
    const auto started = TClock::now();
    EXPECT_FALSE(waiter.WaitUntil(started + 60s));
    EXPECT_LT(TClock::now() - started, 4s);
    EXPECT_TRUE(waiter.IsStopRequested());
    EXPECT_TRUE(Received().empty());
}

TEST_F(ServiceWatch, TheRunsStagesAreToldAndEachReadingPingsWhenThereIsAWatchdog) {
    for (const bool watchdog : {false, true}) {
        SCOPED_TRACE(watchdog);
        const TServiceNotifier notifier(Manager.GetAddress(),
                                        watchdog ? std::optional<std::chrono::microseconds>(60s)
                                                 : std::nullopt);
        TWatchedWaiter waiter(Sleeper, notifier);
        waiter.Started();
        waiter.Progress("Last reading 12/10/26 22:00:00, 21.00 mag/arcsec\u00B2");
        EXPECT_TRUE(waiter.WaitUntil(TClock::now() + 10ms));
        waiter.Stopping();
        const std::string ping = watchdog ? "\nWATCHDOG=1" : "";
        EXPECT_EQ(Received(),
                  (std::vector<std::string>{
                      "READY=1\nSTATUS=Taking the first reading.",
                      "STATUS=Last reading 12/10/26 22:00:00, 21.00 mag/arcsec\u00B2" + ping,
                      "STOPPING=1"}));
    }
}

TEST_F(ServiceWatch, WithoutAWatchdogTheWaitIsPassedOnWhole) {
    const TServiceNotifier notifier(Manager.GetAddress(), std::nullopt);
    TWatchedWaiter waiter(Sleeper, notifier);
    EXPECT_TRUE(waiter.WaitUntil(TClock::now() + 120ms));
    EXPECT_EQ(Sleeper.Waits, 1);
    EXPECT_TRUE(Received().empty());
}

} // namespace
