#include "meter/ExclusivePort.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>

TExclusivePort& TExclusivePort::operator=(TExclusivePort&& other) noexcept {
    if (this != &other) {
        Reset();
        Fd = std::move(other.Fd);
    }
    return *this;
}

TExclusivePort TExclusivePort::Open(const std::string& path) {
    TExclusivePort port;
    if (path.empty())
        return port;
    port.Fd = TFileDescriptor(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!port.IsValid() || ::flock(port.Get(), LOCK_EX | LOCK_NB) != 0) {
        port.Fd.Reset(); // not exclusive yet: nothing to give up
        return port;
    }
    if (::ioctl(port.Get(), TIOCEXCL) != 0 && errno != ENOTTY)
        port.Reset();
    return port;
}

void TExclusivePort::Reset() noexcept {
    if (Fd.IsValid())
        ::ioctl(Fd.Get(), TIOCNXCL); // fails harmlessly on a device without the mode
    Fd.Reset();
}
