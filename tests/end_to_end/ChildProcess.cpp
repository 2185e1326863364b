#include "tests/end_to_end/ChildProcess.h"

#include "tests/support/TempFolder.h"

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

TChildProcess::TChildProcess(const std::string& program, const std::vector<std::string>& args,
                             const std::map<std::string, std::string>& environment,
                             const std::string& outputFolder)
    : OutputFile(outputFolder + "/child-stdout"), ErrorFile(outputFolder + "/child-stderr") {
    std::vector<std::string> words{program};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    std::vector<std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string variable = *entry;
        if (!environment.contains(variable.substr(0, variable.find('='))))
            variables.push_back(variable);
    }
    for (const auto& [name, value] : environment)
        variables.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (std::string& variable : variables)
        envp.push_back(variable.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, OutputFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, ErrorFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    // The child starts with no signal blocked, whatever the test's threads have blocked.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    const int error =
        posix_spawn(&Pid, program.c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        throw std::runtime_error("posix_spawn " + program + " failed");
}

TChildProcess::~TChildProcess() {
    if (!Status) {
        kill(Pid, SIGKILL);
        waitpid(Pid, nullptr, 0);
    }
}

void TChildProcess::Signal(int signal) const {
    kill(Pid, signal);
}

std::optional<int> TChildProcess::Wait(std::chrono::milliseconds timeout) {
    WaitFor(
        [this] {
            if (Status)
                return true;
            int status = 0;
            if (waitpid(Pid, &status, WNOHANG) != Pid)
                return false;
            Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return true;
        },
        timeout);
    return Status;
}

std::string TChildProcess::GetOutput() const {
    return ReadBytes(OutputFile);
}

std::string TChildProcess::GetErrors() const {
    return ReadBytes(ErrorFile);
}
