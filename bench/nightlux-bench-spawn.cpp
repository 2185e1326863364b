// Runs a program and reports what it used, as wait4 gives it:
//   nightlux-bench-spawn PROGRAM [ARGUMENT...]
// prints "status=S maxrss_kib=M utime_us=U stime_us=T" on standard output; the program's
// own standard output goes to /dev/null, its standard error is kept. A SIGTERM sent to the
// launcher is passed on to the program.
//
// Linked statically and kept tiny on purpose: a child's peak resident size starts from the
// size of the process it was forked from, so the measured program must be started from a
// small process, not from the benchmark.

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char** environ;

namespace {

volatile sig_atomic_t Child = 0;

void PassOn(int signal) {
    if (Child > 0)
        kill(Child, signal);
}

long Microseconds(const timeval& t) {
    return t.tv_sec * 1000000L + t.tv_usec;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: nightlux-bench-spawn PROGRAM [ARGUMENT...]\n", stderr);
        return 2;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    struct sigaction action {};
    action.sa_handler = &PassOn;
    sigaction(SIGTERM, &action, nullptr);
    const int error = posix_spawn(&child, argv[1], &actions, nullptr, argv + 1, environ);
    posix_spawn_file_actions_destroy(&actions);
    Child = child;
    if (error != 0) {
        std::fprintf(stderr, "nightlux-bench-spawn: cannot run %s (error %d)\n", argv[1], error);
        return 1;
    }
    int status = 0;
    rusage usage{};
    while (wait4(child, &status, 0, &usage) < 0) {
        if (errno != EINTR) {
            std::perror("nightlux-bench-spawn: wait4");
            return 1;
        }
    }
    const int exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::printf("status=%d maxrss_kib=%ld utime_us=%ld stime_us=%ld\n", exitStatus, usage.ru_maxrss,
                Microseconds(usage.ru_utime), Microseconds(usage.ru_stime));
    return 0;
}
