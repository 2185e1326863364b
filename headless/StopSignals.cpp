#include "headless/StopSignals.h"

#include <cerrno>
#include <ctime>
#include <poll.h>
#include <system_error>

namespace {

volatile std::sig_atomic_t StopSignal = 0;

extern "C" void OnStopSignal(int signal) {
    StopSignal = signal;
}

sigset_t StopSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

} // namespace

TStopSignals::TStopSignals() {
    StopSignal = 0;
    const sigset_t stop = StopSet();
    if (sigprocmask(SIG_BLOCK, &stop, &Previous) != 0)
        throw std::system_error(errno, std::generic_category(), "sigprocmask");
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &PreviousInt);
    sigaction(SIGTERM, &action, &PreviousTerm);
    sigaction(SIGHUP, &action, &PreviousHup);
}

TStopSignals::~TStopSignals() {
    // A signal still pending is taken by our handler before the old ones come back.
    sigprocmask(SIG_SETMASK, &Previous, nullptr);
    sigaction(SIGINT, &PreviousInt, nullptr);
    sigaction(SIGTERM, &PreviousTerm, nullptr);
    sigaction(SIGHUP, &PreviousHup, nullptr);
}

bool TStopSignals::IsStopRequested() const {
    return StopSignal != 0;
}

int TStopSignals::GetStopSignal() const {
    return StopSignal;
}

bool TStopSignals::WaitUntil(TClock::time_point time) {
    sigset_t open = Previous;
    sigdelset(&open, SIGINT);
    sigdelset(&open, SIGTERM);
    sigdelset(&open, SIGHUP);
    while (!IsStopRequested()) {
        const auto left = time - TClock::now();
        if (left <= TClock::duration::zero())
            return true;
        const auto whole = std::chrono::duration_cast<std::chrono::seconds>(left);
        const auto rest = std::chrono::duration_cast<std::chrono::nanoseconds>(left - whole);
        const timespec wait{static_cast<std::time_t>(whole.count()),
                            static_cast<long>(rest.count())};
        // The signals are let through only inside ppoll, which they end with EINTR.
        if (ppoll(nullptr, 0, &wait, &open) < 0 && errno != EINTR)
            throw std::system_error(errno, std::generic_category(), "ppoll");
    }
    return false;
}
