#pragma once

#include "platform/FileDescriptor.h"

#include <string>

// An open terminal device that nobody else may open while it is held: an advisory lock
// keeps out every careful opener (root included), the terminal's exclusive mode every
// other one but root. Exclusive mode belongs to the device, not to the descriptor, and
// outlives it while anyone else keeps the device open, so every way of letting go of the
// device gives it up first.
class TExclusivePort {
public:
    TExclusivePort() = default;
    TExclusivePort(TExclusivePort&& other) noexcept = default;
    TExclusivePort& operator=(TExclusivePort&& other) noexcept;
    TExclusivePort(const TExclusivePort&) = delete;
    TExclusivePort& operator=(const TExclusivePort&) = delete;
    ~TExclusivePort() { Reset(); }

    // Opens path for reading and writing without waiting and takes it exclusively; an
    // invalid port when the device is missing or held by someone else. A device that is
    // not a terminal is opened and locked but has no exclusive mode.
    static TExclusivePort Open(const std::string& path);

    int Get() const noexcept { return Fd.Get(); }
    bool IsValid() const noexcept { return Fd.IsValid(); }

    // Gives up exclusive mode and closes the device; harmless when nothing is open.
    void Reset() noexcept;

private:
    TFileDescriptor Fd;
};
