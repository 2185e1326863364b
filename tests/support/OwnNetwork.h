#pragma once

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <net/if.h>
#include <optional>
#include <sched.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

// A network of the test's own: runs body in a child process inside a new network namespace
// whose loopback interface is up, so that a broadcast or a query the body sends reaches
// nothing but what the body sets up there. Without root the namespace is made inside a user
// namespace in which the test's user is root, so programs the body starts (such as "ip")
// may change that network too. Returns what the body returns; nullopt, with whyNot set,
// where no such namespace can be made (then the body does not run at all).
namespace own_network {

inline bool WriteFile(const char* path, const std::string& text) {
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, text.data(), text.size()) == ssize_t(text.size());
    ::close(fd);
    return written;
}

// Enters the namespace; an empty text, or why not.
inline std::string Enter() {
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    if (::unshare(CLONE_NEWNET) != 0) {
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0)
            return std::string("unshare: ") + std::strerror(errno);
        if (!WriteFile("/proc/self/setgroups", "deny") ||
            !WriteFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
            !WriteFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1"))
            return std::string("writing the user namespace's maps: ") + std::strerror(errno);
    }
    const int socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq request{};
    std::strcpy(request.ifr_name, "lo");
    const bool up = socket >= 0 && ::ioctl(socket, SIOCGIFFLAGS, &request) == 0 &&
                    (request.ifr_flags |= IFF_UP, ::ioctl(socket, SIOCSIFFLAGS, &request) == 0);
    const int error = errno;
    if (socket >= 0)
        ::close(socket);
    return up ? "" : std::string("bringing up lo: ") + std::strerror(error);
}

} // namespace own_network

// Runs "ip" with the arguments inside the namespace; an empty text, or what went wrong.
inline std::string RunIp(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    std::string program = "ip";
    argv.push_back(program.data());
    std::vector<std::string> copies = args;
    for (std::string& a : copies)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        for (const char* path : {"/usr/sbin/ip", "/sbin/ip", "/usr/bin/ip", "/bin/ip"})
            ::execv(path, argv.data());
        ::_exit(127);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        std::string line = "ip";
        for (const std::string& a : args)
            line += " " + a;
        return "'" + line + "' failed (status " + std::to_string(WEXITSTATUS(status)) + ")";
    }
    return "";
}

inline std::optional<std::string> RunInOwnNetwork(const std::function<std::string()>& body,
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
        std::string report;
        const std::string failure = own_network::Enter();
        if (!failure.empty()) {
            report = "-no network namespace of the test's own can be made here (" + failure + ")";
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
