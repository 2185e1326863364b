#include "bench/ChildUsage.h"

#include "platform/FileDescriptor.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string ReadAll(int fd) {
    std::string text;
    char chunk[256];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n > 0)
            text.append(chunk, static_cast<std::size_t>(n));
        else if (n == 0 || errno != EINTR)
            return text;
    }
}

int WaitForExit(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

std::vector<char*> PointersTo(const std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (const std::string& text : texts)
        pointers.push_back(const_cast<char*>(text.c_str()));
    pointers.push_back(nullptr);
    return pointers;
}

TChildUsage MeasureChild(const std::string& launcher, const std::vector<std::string>& command,
                         const std::vector<std::string>& environment) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe2 failed");
    TFileDescriptor readEnd(ends[0]);
    TFileDescriptor writeEnd(ends[1]);

    std::vector<std::string> arguments{launcher};
    arguments.insert(arguments.end(), command.begin(), command.end());
    const std::vector<char*> argv = PointersTo(arguments);
    const std::vector<char*> envp = PointersTo(environment);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.Get(), 1);
    pid_t pid = 0;
    const int error =
        ::posix_spawn(&pid, launcher.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        throw std::runtime_error("cannot run " + launcher);
    writeEnd.Reset();
    const std::string report = ReadAll(readEnd.Get());
    const int launcherStatus = WaitForExit(pid);

    TChildUsage usage;
    long userUs = 0;
    long systemUs = 0;
    if (launcherStatus != 0 ||
        std::sscanf(report.c_str(), "status=%d maxrss_kib=%ld utime_us=%ld stime_us=%ld",
                    &usage.Status, &usage.MaxRssKiB, &userUs, &systemUs) != 4)
        throw std::runtime_error("no usage report from " + launcher + " for " + command.at(0));
    usage.UserSeconds = static_cast<double>(userUs) / 1e6;
    usage.SystemSeconds = static_cast<double>(systemUs) / 1e6;
    return usage;
}
