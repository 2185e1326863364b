#pragma once

#include "platform/FileDescriptor.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <termios.h>

// A bare pseudo-terminal that nobody serves: what is written to the device stays unread,
// so a writer that fills it waits.
class TPtyPair {
public:
    TPtyPair() {
        Master = TFileDescriptor(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
        EXPECT_TRUE(Master.IsValid());
        EXPECT_EQ(::grantpt(Master.Get()), 0);
        EXPECT_EQ(::unlockpt(Master.Get()), 0);
        char name[128] = {};
        EXPECT_EQ(::ptsname_r(Master.Get(), name, sizeof name), 0);
        Path = name;
    }

    const std::string& DevicePath() const { return Path; }

    // Writes to the device until its output to the master is full.
    void FillOutput() {
        TFileDescriptor writer(::open(Path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        ASSERT_TRUE(writer.IsValid());
        termios t{};
        ASSERT_EQ(::tcgetattr(writer.Get(), &t), 0);
        ::cfmakeraw(&t);
        ASSERT_EQ(::tcsetattr(writer.Get(), TCSANOW, &t), 0);
        // The kernel moves written bytes on to the master's side in the background and
        // so makes room again: fill until a pause frees none.
        const std::string block(4096, 'f');
        for (bool tookMore = true; tookMore;) {
            tookMore = false;
            while (::write(writer.Get(), block.data(), block.size()) > 0)
                tookMore = true;
            ASSERT_EQ(errno, EAGAIN);
            ::usleep(100000);
        }
    }

private:
    TFileDescriptor Master;
    std::string Path;
};
