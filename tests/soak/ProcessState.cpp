#include "tests/soak/ProcessState.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Entries of a folder under /proc, without "." and "..".
int CountEntries(const char* folder) {
    DIR* dir = ::opendir(folder);
    if (dir == nullptr)
        return -1;
    int count = 0;
    while (const dirent* entry = ::readdir(dir))
        if (entry->d_name[0] != '.')
            ++count;
    ::closedir(dir);
    return count - (folder == std::string("/proc/self/fd") ? 1 : 0); // the folder's own
}

long StatusKb(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field + ":", 0) == 0)
            return std::atol(line.c_str() + field.size() + 1);
    return -1;
}

} // namespace

TProcessState TProcessState::Read() {
    TProcessState state;
    state.Descriptors = CountEntries("/proc/self/fd");
    state.Threads = CountEntries("/proc/self/task");
    state.Children = ::waitpid(-1, nullptr, WNOHANG) != -1 || errno != ECHILD;
    state.ResidentKb = StatusKb("VmRSS");
    state.PeakKb = StatusKb("VmHWM");
    return state;
}

std::string TProcessState::Describe() const {
    return std::to_string(Descriptors) + " descriptors, " + std::to_string(Threads) + " threads, " +
           (Children ? "a child left, " : "no child, ") + std::to_string(ResidentKb) +
           " kB resident (peak " + std::to_string(PeakKb) + " kB)";
}

TCapturedStderr::TCapturedStderr() {
    std::fflush(stderr);
    char name[] = "/tmp/nightlux-soak-XXXXXX";
    File = ::mkstemp(name);
    ::unlink(name);
    Saved = ::dup(2);
    ::dup2(File, 2);
}

TCapturedStderr::~TCapturedStderr() {
    Take();
}

std::string TCapturedStderr::Take() {
    if (Saved < 0)
        return {};
    std::fflush(stderr);
    ::dup2(Saved, 2);
    ::close(Saved);
    Saved = -1;
    std::string text;
    char buffer[256];
    ::lseek(File, 0, SEEK_SET);
    for (ssize_t n; (n = ::read(File, buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    ::close(File);
    File = -1;
    return text;
}
