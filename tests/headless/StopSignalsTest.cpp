#include "headless/StopSignals.h"

#include <csignal>
#include <gtest/gtest.h>
#include <pthread.h>
#include <thread>

namespace {

using namespace std::chrono_literals;
using TClock = TStopWaiter::TClock;

TEST(StopSignals, WaitUntilReturnsAtItsTimeWithoutASignal) {
    TStopSignals stop;
    const auto until = TClock::now() + 50ms;
    EXPECT_TRUE(stop.WaitUntil(until));
    EXPECT_GE(TClock::now(), until);
    EXPECT_FALSE(stop.IsStopRequested());
}

TEST(StopSignals, ASignalBeforeTheWaitIsHeldAndEndsTheWaitAtOnce) {
    TStopSignals stop;
    raise(SIGTERM);
    // Blocked outside the wait: the program goes on undisturbed.
    EXPECT_FALSE(stop.IsStopRequested());
    const auto started = TClock::now();
    EXPECT_FALSE(stop.WaitUntil(started + 60s));
    EXPECT_LT(TClock::now() - started, 10s);
    EXPECT_EQ(stop.GetStopSignal(), SIGTERM);
    EXPECT_FALSE(stop.WaitUntil(TClock::now() + 60s)) << "a stop stays requested";
}

TEST(StopSignals, ASignalDuringTheWaitEndsItAtOnce) {
    TStopSignals stop;
    const pthread_t waiting = pthread_self();
    std::thread sender([waiting] {
        std::this_thread::sleep_for(100ms);
        pthread_kill(waiting, SIGINT);
    });
    const auto started = TClock::now();
    EXPECT_FALSE(stop.WaitUntil(started + 60s));
    EXPECT_LT(TClock::now() - started, 10s);
    EXPECT_EQ(stop.GetStopSignal(), SIGINT);
    sender.join();
}

TEST(StopSignals, SighupEndsTheWaitLikeSigterm) {
    TStopSignals stop;
    raise(SIGHUP);
    EXPECT_FALSE(stop.IsStopRequested()) << "held outside the wait";
    EXPECT_FALSE(stop.WaitUntil(TClock::now() + 60s));
    EXPECT_EQ(stop.GetStopSignal(), SIGHUP);
}

TEST(StopSignals, EndingRestoresTheSignalMask) {
    sigset_t before;
    pthread_sigmask(SIG_BLOCK, nullptr, &before);
    { TStopSignals stop; }
    sigset_t after;
    pthread_sigmask(SIG_BLOCK, nullptr, &after);
    EXPECT_EQ(sigismember(&after, SIGINT), sigismember(&before, SIGINT));
    EXPECT_EQ(sigismember(&after, SIGTERM), sigismember(&before, SIGTERM));
    EXPECT_EQ(sigismember(&after, SIGHUP), sigismember(&before, SIGHUP));
}

} // namespace
