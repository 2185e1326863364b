#include "window/CloseOnSignal.h"

#include <QPointer>
#include <QSocketNotifier>
#include <QWidget>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The signal handler only writes a byte; the event loop reads it and closes the window.
int SignalPipe[2] = {-1, -1};

extern "C" void OnQuitSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(SignalPipe[1], &byte, 1);
}

constexpr int QuitSignals[] = {SIGINT, SIGTERM, SIGHUP};

} // namespace

TCloseOnSignal::TCloseOnSignal(QWidget* window) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, SignalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(SignalPipe[0], QSocketNotifier::Read, this);
    QPointer<QWidget> target(window);
    connect(notifier, &QSocketNotifier::activated, this, [target] {
        char byte = 0;
        [[maybe_unused]] const ssize_t got = ::read(SignalPipe[0], &byte, 1);
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
    for (int signal : QuitSignals)
        std::signal(signal, SIG_DFL);
    for (int& fd : SignalPipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}
