#include "platform/PosixFile.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

TPosixFile::~TPosixFile() {
    Close();
}

bool TPosixFile::Open(const std::string& path, int flags, mode_t mode) {
    Close();
    Fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    return Fd >= 0;
}

void TPosixFile::Attach(int fd) {
    Close();
    Fd = fd;
}

int TPosixFile::WriteAll(const std::string& data) const {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(Fd, data.data() + done, data.size() - done);
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
    if (Fd < 0)
        return 0;
    // Linux releases the descriptor even when close fails, EINTR included: never retry.
    const int rc = ::close(Fd);
    Fd = -1;
    return rc == 0 ? 0 : errno;
}
