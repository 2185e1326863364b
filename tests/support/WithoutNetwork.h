#pragma once

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <sched.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

// Runs body in a child process inside a network namespace of its own, which holds only a
// loopback interface that is down: nothing the body does reaches another machine, a name
// server look-up included. Returns what the body returns; nullopt, with whyNot set, where no
// such namespace can be made (then the body does not run at all).
inline std::optional<std::string> RunWithoutNetwork(const std::function<std::string()>& body,
                                                    std::string& whyNot) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        whyNot = std::string("pipe: ") + std::strerror(errno);
        return std::nullopt;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        whyNot = std::string("fork: ") + std::strerror(errno);
        ::close(ends[0]);
        ::close(ends[1]);
        return std::nullopt;
    }
    if (child == 0) {
        ::close(ends[0]);
        // Root may make the namespace directly; others through a user namespace of their own.
        std::string report;
        if (::unshare(CLONE_NEWNET) != 0 && ::unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) {
            report = std::string("-no network namespace can be made here (unshare: ") +
                     std::strerror(errno) + "), so a look-up would reach the real name servers";
        } else {
            try {
                report = "+" + body();
            } catch (const std::exception& e) {
                report = std::string("+unexpected exception: ") + e.what();
            }
        }
        for (std::size_t done = 0; done < report.size();) {
            const ssize_t n = ::write(ends[1], report.data() + done, report.size() - done);
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        ::_exit(0);
    }
    ::close(ends[1]);
    std::string report;
    char chunk[512];
    for (ssize_t n; (n = ::read(ends[0], chunk, sizeof chunk)) != 0;) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            break;
        report.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(ends[0]);
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) || report.empty())
        return "the child process ended without a report";
    if (report[0] == '-') {
        whyNot = report.substr(1);
        return std::nullopt;
    }
    return report.substr(1);
}
