#pragma once

#include "fuzz/FuzzCheck.h"

#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <unistd.h>

// A folder of the fuzz target's own on a memory file system where there is one, removed at
// exit once empty. The name is never destroyed, so that the removal still has it.
inline const std::string& FuzzFolder() {
    static const std::string& folder = *new std::string([] {
        std::string pattern = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm/nightlux-fuzz-XXXXXX"
                                                              : "/tmp/nightlux-fuzz-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        return pattern;
    }());
    static const bool removedAtExit = std::atexit([] { ::rmdir(folder.c_str()); }) == 0;
    (void)removedAtExit;
    return folder;
}

inline void WriteFuzzFile(const std::string& name, std::string_view bytes) {
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    FUZZ_CHECK(fd >= 0);
    FUZZ_CHECK(::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()));
    ::close(fd);
}

// The whole file; empty when there is none.
inline std::string ReadFuzzFile(const std::string& name) {
    std::string bytes;
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return bytes;
    char buffer[65536];
    for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;)
        bytes.append(buffer, static_cast<std::size_t>(got));
    ::close(fd);
    return bytes;
}

inline bool FuzzFileExists(const std::string& name) {
    return ::access(name.c_str(), F_OK) == 0;
}

inline void RemoveFuzzFile(const std::string& name) {
    ::unlink(name.c_str());
}
