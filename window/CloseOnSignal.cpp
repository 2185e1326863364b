#include "window/CloseOnSignal.h"

#include <QPointer>
#include <QSocketNotifier>
#include <QWidget>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The signal handler only sends a byte; the event loop reads it and closes the window.
// Once the object is gone its read end is closed and the byte goes nowhere: a repeated
// stop request during the rest of the shutdown is ignored. The write end stays open for the
// handler, so its number is never reused under it.
int SignalRead = -1;
std::atomic<int> SignalWrite{-1};

extern "C" void OnQuitSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t sent =
        ::send(SignalWrite.load(), &byte, 1, MSG_DONTWAIT | MSG_NOSIGNAL);
    errno = saved;
}

constexpr int QuitSignals[] = {SIGINT, SIGTERM, SIGHUP};

} // namespace

TCloseOnSignal::TCloseOnSignal(QWidget* window) {
    int pair[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return;
    SignalRead = pair[0];
    const int oldWrite = SignalWrite.exchange(pair[1]);
    if (oldWrite >= 0)
        ::close(oldWrite);
    auto* notifier = new QSocketNotifier(SignalRead, QSocketNotifier::Read, this);
    QPointer<QWidget> target(window);
    connect(notifier, &QSocketNotifier::activated, this, [target] {
        char bytes[64];
        [[maybe_unused]] const ssize_t got = ::read(SignalRead, bytes, sizeof bytes);
        if (target)
            target->close();
    });
    struct sigaction action = {};
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : QuitSignals)
        ::sigaction(signal, &action, nullptr);
}

TCloseOnSignal::~TCloseOnSignal() {
    // The handler stays: unlike ignoring the signals, it is not passed on to child programs.
    if (SignalRead >= 0)
        ::close(SignalRead);
    SignalRead = -1;
}
