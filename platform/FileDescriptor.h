#pragma once

#include <unistd.h>
#include <utility>

// Sole owner of a file descriptor (socket, port, pipe); closes it on destruction.
class TFileDescriptor {
public:
    TFileDescriptor() = default;
    explicit TFileDescriptor(int fd) noexcept : Fd(fd) {}
    TFileDescriptor(TFileDescriptor&& other) noexcept : Fd(std::exchange(other.Fd, -1)) {}
    TFileDescriptor& operator=(TFileDescriptor&& other) noexcept {
        if (this != &other) {
            Reset();
            Fd = std::exchange(other.Fd, -1);
        }
        return *this;
    }
    TFileDescriptor(const TFileDescriptor&) = delete;
    TFileDescriptor& operator=(const TFileDescriptor&) = delete;
    ~TFileDescriptor() { Reset(); }

    int Get() const noexcept { return Fd; }
    bool IsValid() const noexcept { return Fd >= 0; }
    explicit operator bool() const noexcept { return IsValid(); }

    // Gives up ownership and returns the descriptor (-1 when there is none).
    int Release() noexcept { return std::exchange(Fd, -1); }

    void Reset() noexcept {
        if (Fd >= 0)
            ::close(Fd);
        Fd = -1;
    }

private:
    int Fd = -1;
};
