#pragma once

#include <functional>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

// Runs check in a child process without root rights: as the user "nobody" when the test
// runs as root, as the test's own user otherwise. Returns the check's result, an exit code
// below 100; a child that cannot drop root rights or ends otherwise fails the test.
inline int RunUnprivileged(const std::function<int()>& check) {
    constexpr uid_t Nobody = 65534;
    const pid_t child = ::fork();
    if (child < 0) {
        ADD_FAILURE() << "fork failed";
        return -1;
    }
    if (child == 0) {
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(Nobody) != 0 || ::setuid(Nobody) != 0))
            ::_exit(100);
        ::_exit(check());
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        ADD_FAILURE() << "the unprivileged child did not end normally";
        return -1;
    }
    EXPECT_NE(WEXITSTATUS(status), 100) << "root rights could not be dropped";
    return WEXITSTATUS(status);
}
