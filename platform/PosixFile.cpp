#include "platform/PosixFile.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

bool TPosixFile::Open(const std::string& path, int flags, mode_t mode) {
    Fd.Reset(); // before open, so that errno stays the one open sets
    Fd = TFileDescriptor(::open(path.c_str(), flags | O_CLOEXEC, mode));
    return Fd.IsValid();
}

void TPosixFile::Attach(int fd) {
    Fd = TFileDescriptor(fd);
}

int TPosixFile::WriteAll(const std::string& data) const {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(Fd.Get(), data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return EIO;
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

int TPosixFile::Close() {
    const int fd = Fd.Release();
    if (fd < 0)
        return 0;
    // Linux releases the descriptor even when close fails, EINTR included: never retry.
    return ::close(fd) == 0 ? 0 : errno;
}
