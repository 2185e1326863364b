#include "tools/sim/PtyMeter.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace {

[[noreturn]] void ThrowSystemError(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

bool IsCommandLetter(char c) {
    return c == 'r' || c == 'i' || c == 'c';
}

// The meter's own line: 115200 baud, 8 data bits, no parity, one stop bit, raw.
void MakeRaw(int slave) {
    termios t{};
    if (::tcgetattr(slave, &t) != 0)
        ThrowSystemError("tcgetattr");
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    ::cfsetispeed(&t, B115200);
    ::cfsetospeed(&t, B115200);
    if (::tcsetattr(slave, TCSANOW, &t) != 0)
        ThrowSystemError("tcsetattr");
}

} // namespace

TPtyMeter::TPtyMeter(TMeterOptions options) : Replies(std::move(options)) {
    if (Replies.Options().Logger)
        Logger = std::make_unique<TLoggerFlash>(*Replies.Options().Logger,
                                                Replies.Options().FeatureVersion);
    Master = TFileDescriptor(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!Master.IsValid())
        ThrowSystemError("posix_openpt");
    if (::grantpt(Master.Get()) != 0 || ::unlockpt(Master.Get()) != 0)
        ThrowSystemError("unlockpt");
    char name[128];
    if (const int error = ::ptsname_r(Master.Get(), name, sizeof name); error != 0)
        throw std::system_error(error, std::generic_category(), "ptsname_r");
    Path = name;
    Slave = TFileDescriptor(::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!Slave.IsValid())
        ThrowSystemError("open pseudo-terminal");
    MakeRaw(Slave.Get());
    if (::fcntl(Master.Get(), F_SETFL, O_NONBLOCK) != 0)
        ThrowSystemError("fcntl");
    int wake[2];
    if (::pipe2(wake, O_CLOEXEC) != 0)
        ThrowSystemError("pipe2");
    WakeRead = TFileDescriptor(wake[0]);
    WakeWrite = TFileDescriptor(wake[1]);
    Worker = std::thread([this] { Run(); });
}

TPtyMeter::~TPtyMeter() {
    const char stop = 0;
    [[maybe_unused]] const ssize_t n = ::write(WakeWrite.Get(), &stop, 1);
    Worker.join();
}

void TPtyMeter::Inject(const std::string& bytes) {
    WriteAll(bytes);
}

void TPtyMeter::Run() {
    char previous = 0;
    for (;;) {
        pollfd fds[2] = {{Master.Get(), POLLIN, 0}, {WakeRead.Get(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents != 0)
            return;
        char bytes[256];
        const ssize_t n = ::read(Master.Get(), bytes, sizeof bytes);
        if (n <= 0) {
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            return;
        }
        // A command is a letter followed by "x"; anything else is ignored, as the meter
        // ignores it.
        for (ssize_t i = 0; i < n; ++i) {
            const char c = bytes[i];
            // A data logger's command runs from "L" to "x".
            if (Logger && (c == 'L' || !LoggerCommand.empty())) {
                if (c == 'L' || LoggerCommand.size() > 64)
                    LoggerCommand.clear();
                LoggerCommand += c;
                if (c == 'x' && !AnswerLogger(std::exchange(LoggerCommand, {})))
                    return;
                previous = 0;
                continue;
            }
            if (c == 'x' && IsCommandLetter(previous)) {
                const std::string reply = Replies.Answer(std::string{previous, c});
                if (Replies.Options().DropConnection) {
                    Unplug();
                    CountCommand();
                    return;
                }
                CountCommand();
                Answer(reply);
                previous = 0;
            } else {
                previous = c;
            }
        }
    }
}

bool TPtyMeter::AnswerLogger(const std::string& command) {
    const TLoggerFlash::TAnswer answer = Logger->Answer(command);
    if (answer.Unplug || Replies.Options().DropConnection) {
        Unplug();
        CountCommand();
        return false;
    }
    CountCommand();
    Answer(answer.Reply);
    return true;
}

void TPtyMeter::Answer(const std::string& reply) {
    const TMeterOptions& opts = Replies.Options();
    if (opts.Silent || reply.empty() || !Pause(opts.ReplyDelay))
        return;
    if (opts.ByteDelay.count() == 0) {
        WriteAll(reply);
        return;
    }
    const std::size_t piece = std::max<std::size_t>(opts.PieceBytes, 1);
    for (std::size_t i = 0; i < reply.size(); i += piece) {
        if ((i > 0 && !Pause(opts.ByteDelay)) || !WriteAll(reply.substr(i, piece)))
            return;
    }
}

bool TPtyMeter::Pause(std::chrono::milliseconds delay) const {
    if (delay.count() <= 0)
        return true;
    pollfd wake{WakeRead.Get(), POLLIN, 0};
    const auto until = std::chrono::steady_clock::now() + delay;
    for (;;) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return true;
        const int ready = ::poll(&wake, 1, static_cast<int>(left.count()));
        if (ready > 0)
            return false;
        if (ready < 0 && errno != EINTR)
            return false;
    }
}

bool TPtyMeter::WriteAll(const std::string& bytes) {
    std::lock_guard lock(WriteLock);
    std::size_t done = 0;
    while (done < bytes.size()) {
        if (Unplugged)
            return false;
        const ssize_t n = ::write(Master.Get(), bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        pollfd fds[2] = {{Master.Get(), POLLOUT, 0}, {WakeRead.Get(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            return false;
        if (fds[1].revents != 0)
            return false;
    }
    return true;
}

void TPtyMeter::Unplug() {
    std::lock_guard lock(WriteLock);
    Unplugged = true;
    Slave.Reset();
    Master.Reset();
}

void TPtyMeter::CountCommand() {
    {
        const std::lock_guard lock(CommandLock);
        ++Commands;
    }
    CommandCounted.notify_all();
}

bool TPtyMeter::WaitForCommands(int count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(CommandLock);
    return CommandCounted.wait_for(lock, timeout, [&] { return Commands.load() >= count; });
}
