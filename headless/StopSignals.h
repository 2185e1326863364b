#pragma once

#include <chrono>
#include <csignal>
#include <string>

// What a reading loop waits with: the time until its next reading, cut short by a request
// to stop. The loop also tells it how the run goes, for a service manager that watches it.
class TStopWaiter {
public:
    using TClock = std::chrono::steady_clock;

    virtual ~TStopWaiter() = default;
    virtual bool IsStopRequested() const = 0;
    // Waits until time; false, without waiting further, once a stop is requested.
    virtual bool WaitUntil(TClock::time_point time) = 0;

    // The run is set up and takes its first reading.
    virtual void Started() {}
    // A reading was taken or failed; status says so in one line.
    virtual void Progress(const std::string& status) { static_cast<void>(status); }
    // The run ends: no reading follows.
    virtual void Stopping() {}
};

// SIGINT, SIGTERM and SIGHUP as a request to stop. While the object lives the signals are
// blocked, so they never interrupt a read cycle or a write: they stay pending until
// WaitUntil lets them through, and then end its wait at once. One object at a time.
//
// The program has threads (the MQTT publisher's), and a signal mask belongs to a thread.
// The rule they rely on: the stop signals are blocked in every thread, and only the thread
// that made this object lets them through, inside WaitUntil. So a stop signal is always
// taken by the waiting thread and always ends its wait. Make the object before any other
// thread starts (threads inherit the mask of the thread that starts them); a thread that
// may start otherwise blocks the signals itself, as the MQTT publisher's threads do.
class TStopSignals : public TStopWaiter {
public:
    TStopSignals();
    TStopSignals(const TStopSignals&) = delete;
    TStopSignals& operator=(const TStopSignals&) = delete;
    ~TStopSignals() override;

    bool IsStopRequested() const override;
    bool WaitUntil(TClock::time_point time) override;
    // Which signal asked to stop; 0 while none has.
    int GetStopSignal() const;

private:
    sigset_t Previous;
    struct sigaction PreviousInt;
    struct sigaction PreviousTerm;
    struct sigaction PreviousHup;
};
