#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

// A program run as a child process, its standard output and error caught in files. The
// child's environment is the test's with the given variables replaced. A child still
// running at destruction is killed.
class TChildProcess {
public:
    TChildProcess(const std::string& program, const std::vector<std::string>& args,
                  const std::map<std::string, std::string>& environment,
                  const std::string& outputFolder);
    TChildProcess(const TChildProcess&) = delete;
    TChildProcess& operator=(const TChildProcess&) = delete;
    ~TChildProcess();

    void Signal(int signal) const;
    // The exit status once the child has ended, or nullopt if it is still running after
    // timeout. An end by a signal gives 128 + the signal.
    std::optional<int> Wait(std::chrono::milliseconds timeout);

    std::string GetOutput() const; // what the child wrote to standard output so far
    std::string GetErrors() const; // and to standard error

private:
    pid_t Pid = -1;
    std::optional<int> Status;
    std::string OutputFile;
    std::string ErrorFile;
};

// Waits until condition holds, checking every 10 ms; false if it did not within timeout.
template <class Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        struct timespec pause {
            0, 10'000'000
        };
        nanosleep(&pause, nullptr);
    }
    return true;
}
