#pragma once

#include "platform/FileDescriptor.h"

#include <string>
#include <sys/types.h>

// An open file descriptor that is closed when the object goes. Close reports the result of
// closing, which matters for files written: a failed close can mean lost data.
class TPosixFile {
public:
    TPosixFile() = default;
    TPosixFile(const TPosixFile&) = delete;
    TPosixFile& operator=(const TPosixFile&) = delete;
    ~TPosixFile() = default;

    // Opens path with open(2); close-on-exec is always added. Returns false and keeps errno
    // of the failing call.
    bool Open(const std::string& path, int flags, mode_t mode = 0);
    // Takes an already open descriptor.
    void Attach(int fd);
    int Get() const { return Fd.Get(); }
    bool IsOpen() const { return Fd.IsValid(); }

    // Writes all of data, retrying short writes and EINTR. Returns 0 or the errno of the
    // failing call.
    int WriteAll(const std::string& data) const;
    // Closes the descriptor; returns 0 or the errno of close(2).
    int Close();
    // Gives up the descriptor without closing it.
    int Release() { return Fd.Release(); }

private:
    TFileDescriptor Fd;
};
