#include "meter/SerialComm.h"

#include "meter/ReplyCollector.h"
#include "meter/SerialSettings.h"
#include "platform/DebugOutput.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Lowers DTR and RTS; a device without modem lines (a pseudo-terminal) has none to lower.
bool LowerModemLines(int port) {
    int lines = TIOCM_DTR | TIOCM_RTS;
    if (::ioctl(port, TIOCMBIC, &lines) == 0)
        return true;
    return errno == ENOTTY || errno == EINVAL;
}

bool Configure(int port, int baudRate, int parity, int stopBits) {
    const auto wanted = MakeLineSettings(baudRate, parity, stopBits);
    if (!wanted || ::tcsetattr(port, TCSANOW, &*wanted) != 0)
        return false;
    termios actual{};
    if (::tcgetattr(port, &actual) != 0 || !LineSettingsApplied(*wanted, actual))
        return false;
    return LowerModemLines(port);
}

// Waits until the port is ready for events or the deadline passes; false on time-out
// and when the device has gone (hang-up, error).
bool WaitUntil(int port, short events, Clock::time_point deadline) {
    for (;;) {
        const auto remaining = deadline - Clock::now();
        if (remaining <= Clock::duration::zero())
            return false;
        pollfd p{port, events, 0};
        const int timeout =
            static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(remaining).count());
        const int ready = ::poll(&p, 1, timeout);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0 || (p.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0)
            return false;
        if ((p.revents & events) != 0)
            return true;
    }
}

int WriteWithin(int port, const char* data, int count, Clock::time_point deadline) {
    int written = 0;
    while (written < count) {
        const ssize_t n = ::write(port, data + written, static_cast<std::size_t>(count - written));
        if (n > 0) {
            written += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if ((n < 0 && errno != EAGAIN) || !WaitUntil(port, POLLOUT, deadline))
            break;
    }
    return written;
}

// With VMIN = VTIME = 0 a read returns at once: 0 when nothing is waiting. The interval
// time-out runs once the reply has begun.
int ReadWithin(int port, TReplyCollector& reply, Clock::time_point total,
               Clock::duration interval) {
    Clock::time_point deadline = total;
    char chunk[512];
    while (!reply.IsComplete()) {
        // Never read past the end of the reply, so what follows it stays in the port.
        const ssize_t n = ::read(port, chunk, std::min(sizeof chunk, reply.Room()));
        if (n > 0) {
            reply.Take(chunk, static_cast<std::size_t>(n));
            if (reply.HasBegun())
                deadline = std::min(total, Clock::now() + interval);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if ((n < 0 && errno != EAGAIN) || !WaitUntil(port, POLLIN, deadline))
            break;
    }
    return static_cast<int>(reply.GetReply().size());
}

} // namespace

ESerial::ESerial(const std::string& text) : Exception("Serial communication error: " + text) {}

void TSerialComm::Connect() {
    if (IsConnected())
        throw ESerial("Serial port is already open");
    if (PortName.empty() || BaudRate == 0)
        throw ESerial("No serial port is configured");
    // A port that fails here is let go again as port goes.
    TExclusivePort port = TExclusivePort::Open(SerialDevicePath(PortName));
    if (!port.IsValid())
        throw ESerial("Failed to open port " + PortName);
    if (!Configure(port.Get(), BaudRate, Parity, StopBits))
        throw ESerial("Failed to configure port");
    Handle = std::move(port);
}

void TSerialComm::Disconnect() {
    Handle.Reset();
}

void TSerialComm::Send(const char* data, int count) {
    int written = 0;
    if (IsConnected() && count > 0)
        written = WriteWithin(Handle.Get(), data, count, Clock::now() + Timeouts.WriteTotal);
    if (written != count)
        throw ESerial("Wrong number of bytes sent: " +
                      std::to_string(static_cast<unsigned long>(written)));
}

int TSerialComm::Receive(char* buffer, int count) {
    if (!IsConnected() || count <= 0)
        return 0;
    return ReceiveFrom({}, buffer, count);
}

int TSerialComm::ReceiveFrom(std::string_view marker, char* buffer, int count) {
    if (!IsConnected() || count <= 0)
        return 0;
    TReplyCollector reply(marker, static_cast<std::size_t>(count));
    const int received =
        ReadWithin(Handle.Get(), reply, Clock::now() + Timeouts.ReadTotal, Timeouts.ReadInterval);
    std::copy(reply.GetReply().begin(), reply.GetReply().end(), buffer);
    return received;
}

void TSerialComm::ClearReceiver() {
    if (!IsConnected())
        return;
    if (::tcflush(Handle.Get(), TCIFLUSH) != 0) {
        const int error = errno;
        OutputDebugString("COM error " + std::to_string(error));
    }
}
