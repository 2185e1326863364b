#include "platform/WholeFile.h"

#include "platform/PosixFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int ReadWholeFile(const std::string& path, std::size_t limit, std::string& content,
                  int extraFlags) {
    content.clear();
    TPosixFile file;
    if (!file.Open(path, O_RDONLY | O_NOCTTY | O_NONBLOCK | extraFlags))
        return errno;
    struct stat status {};
    if (::fstat(file.Get(), &status) != 0)
        return errno;
    if (S_ISDIR(status.st_mode))
        return EISDIR;
    if (!S_ISREG(status.st_mode))
        return ENODEV;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(file.Get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return 0;
        if (content.size() + static_cast<std::size_t>(n) > limit) {
            content.clear();
            return EFBIG;
        }
        content.append(buffer, static_cast<std::size_t>(n));
    }
}

int ReadFileStart(int fd, std::size_t limit, std::string& content) {
    content.assign(limit, '\0');
    std::size_t size = 0;
    while (size < limit) {
        const ssize_t n = ::pread(fd, content.data() + size, limit - size, off_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            content.clear();
            return error;
        }
        if (n == 0)
            break;
        size += static_cast<std::size_t>(n);
    }
    content.resize(size);
    return 0;
}

std::string ReadFailureText(int error, std::size_t limit) {
    switch (error) {
    case EISDIR:
        return "it is a folder";
    case ENODEV:
        return "it is not a regular file";
    case EFBIG:
        return "it is larger than " + std::to_string(limit / 1024) + " KiB";
    default:
        return std::strerror(error);
    }
}
