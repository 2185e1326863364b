#pragma once

#include "platform/FileDescriptor.h"

#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>

// A second handle on a serial device, opened before the program takes the device: once
// the program holds it exclusively, only root could open another.
class TPortObserver {
public:
    explicit TPortObserver(const std::string& device)
        : Fd(::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
        EXPECT_TRUE(Fd.IsValid()) << device;
    }

    termios GetSettings() const {
        termios t{};
        EXPECT_EQ(::tcgetattr(Fd.Get(), &t), 0);
        return t;
    }

    // Bytes received by the device that nobody has read.
    int Waiting() const {
        int waiting = -1;
        EXPECT_EQ(::ioctl(Fd.Get(), FIONREAD, &waiting), 0);
        return waiting;
    }

    // Waits until at least bytes are waiting unread; false if they did not come in time.
    bool WaitForInput(int bytes, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (Waiting() < bytes) {
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            pollfd p{Fd.Get(), POLLIN, 0};
            // With some bytes waiting already, poll does not wait for the rest.
            if (::poll(&p, 1, 10) > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

private:
    TFileDescriptor Fd;
};
