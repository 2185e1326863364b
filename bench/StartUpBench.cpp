// The window's start-up, from the start of the process to its window mapped on an X
// server, beside the least Qt Widgets program; and the peak resident size of each, from
// wait4 once the program has been asked to close (SIGTERM).
//
// One Xvfb serves the whole run. "Mapped" is seen through one X connection that listens
// for MapNotify on the root window (SubstructureNotify): nothing polls the server.

#include "bench/BenchSupport.h"
#include "bench/ChildUsage.h"
#include "platform/FileDescriptor.h"
#include "tests/support/TempFolder.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#include <xcb/xcb.h>

namespace {

using Clock = std::chrono::steady_clock;

pid_t Spawn(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
            posix_spawn_file_actions_t* actions) {
    const std::vector<char*> argv = PointersTo(arguments);
    const std::vector<char*> envp = PointersTo(environment);
    pid_t pid = 0;
    if (::posix_spawn(&pid, arguments.at(0).c_str(), actions, nullptr, argv.data(), envp.data()) !=
        0)
        throw std::runtime_error("cannot run " + arguments.at(0));
    return pid;
}

void Reap(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

// An X server of the benchmark's own on a display number it chose itself (-displayfd).
class TXvfb {
public:
    TXvfb() {
        int ends[2];
        if (::pipe(ends) != 0)
            throw std::runtime_error("pipe failed");
        TFileDescriptor readEnd(ends[0]);
        TFileDescriptor writeEnd(ends[1]);
        ::fcntl(readEnd.Get(), F_SETFD, FD_CLOEXEC);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        std::vector<std::string> environment;
        if (const char* path = std::getenv("PATH"))
            environment.push_back(std::string("PATH=") + path);
        Pid = Spawn({NIGHTLUX_XVFB, "-displayfd", std::to_string(writeEnd.Get()), "-nolisten",
                     "tcp", "-screen", "0", "1280x1024x24", "-noreset"},
                    environment, &actions);
        posix_spawn_file_actions_destroy(&actions);
        writeEnd.Reset();
        std::string number;
        char c = 0;
        pollfd ready{readEnd.Get(), POLLIN, 0};
        while (::poll(&ready, 1, 30000) > 0 && ::read(readEnd.Get(), &c, 1) == 1 && c != '\n')
            number += c;
        if (number.empty()) {
            Stop();
            throw std::runtime_error("Xvfb did not start");
        }
        Display = ":" + number;
    }
    ~TXvfb() { Stop(); }
    TXvfb(const TXvfb&) = delete;
    TXvfb& operator=(const TXvfb&) = delete;

    const std::string& GetDisplay() const { return Display; }

private:
    void Stop() {
        if (Pid > 0) {
            ::kill(Pid, SIGTERM);
            Reap(Pid);
            Pid = 0;
        }
    }

    pid_t Pid = 0;
    std::string Display;
};

TXvfb& Server() {
    static TXvfb server;
    return server;
}

// One connection that hears every top-level window mapped on the server.
class TMapWatch {
public:
    explicit TMapWatch(const std::string& display) {
        Connection = xcb_connect(display.c_str(), nullptr);
        if (xcb_connection_has_error(Connection) != 0) {
            xcb_disconnect(Connection);
            throw std::runtime_error("cannot connect to " + display);
        }
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(Connection)).data;
        const std::uint32_t events = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_generic_error_t* error = xcb_request_check(
            Connection, xcb_change_window_attributes_checked(Connection, screen->root,
                                                             XCB_CW_EVENT_MASK, &events));
        if (error != nullptr) {
            std::free(error);
            xcb_disconnect(Connection);
            throw std::runtime_error("cannot watch the root window of " + display);
        }
    }
    ~TMapWatch() { xcb_disconnect(Connection); }
    TMapWatch(const TMapWatch&) = delete;
    TMapWatch& operator=(const TMapWatch&) = delete;

    // Waits for a window that is not override-redirect to be mapped.
    void WaitForMap(std::chrono::seconds limit) {
        const Clock::time_point end = Clock::now() + limit;
        for (;;) {
            while (xcb_generic_event_t* event = xcb_poll_for_event(Connection)) {
                const bool mapped =
                    (event->response_type & 0x7f) == XCB_MAP_NOTIFY &&
                    reinterpret_cast<xcb_map_notify_event_t*>(event)->override_redirect == 0;
                std::free(event);
                if (mapped)
                    return;
            }
            if (xcb_connection_has_error(Connection) != 0)
                throw std::runtime_error("the X connection failed");
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
            if (left.count() <= 0)
                throw std::runtime_error("no window was mapped");
            pollfd ready{xcb_get_file_descriptor(Connection), POLLIN, 0};
            ::poll(&ready, 1, static_cast<int>(left.count()));
        }
    }

    // Forgets what was heard (the windows closed by the last run).
    void Drain() {
        while (xcb_generic_event_t* event = xcb_poll_for_event(Connection))
            std::free(event);
    }

private:
    xcb_connection_t* Connection = nullptr;
};

std::vector<std::string> WindowEnvironment(const TTempFolder& home, const std::string& display) {
    std::vector<std::string> environment{
        "HOME=" + home.GetPath(), "XDG_CONFIG_HOME=" + home.File("config"),
        "XDG_RUNTIME_DIR=" + home.GetPath(), "DISPLAY=" + display, "QT_QPA_PLATFORM=xcb"};
    for (const char* const name : {"PATH", "LANG", "LC_ALL", "TZ"})
        if (const char* value = std::getenv(name))
            environment.push_back(std::string(name) + "=" + value);
    return environment;
}

// Starts the program through the launcher, waits for its window, asks it to close and
// reports the time to the window and the peak resident size.
void RunStartUps(benchmark::State& state, const char* program) {
    TXvfb& server = Server();
    const TTempFolder home;
    const std::vector<std::string> environment = WindowEnvironment(home, server.GetDisplay());
    TMapWatch watch(server.GetDisplay());
    long maxRssKiB = 0;
    double cpuSeconds = 0.0;
    EachIteration(state, [&] {
        watch.Drain();
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe2 failed");
        TFileDescriptor readEnd(ends[0]);
        TFileDescriptor writeEnd(ends[1]);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, writeEnd.Get(), 1);
        const Clock::time_point start = Clock::now();
        const pid_t launcher = Spawn({NIGHTLUX_BENCH_SPAWN, program}, environment, &actions);
        posix_spawn_file_actions_destroy(&actions);
        writeEnd.Reset();
        try {
            watch.WaitForMap(std::chrono::seconds(60));
        } catch (...) {
            ::kill(launcher, SIGTERM);
            Reap(launcher);
            throw;
        }
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        ::kill(launcher, SIGTERM);
        std::string report;
        char chunk[256];
        for (ssize_t n = 0; (n = ::read(readEnd.Get(), chunk, sizeof chunk)) != 0;)
            if (n > 0)
                report.append(chunk, static_cast<std::size_t>(n));
            else if (errno != EINTR)
                break;
        Reap(launcher);
        int status = 0;
        long rss = 0;
        long userUs = 0;
        long systemUs = 0;
        if (std::sscanf(report.c_str(), "status=%d maxrss_kib=%ld utime_us=%ld stime_us=%ld",
                        &status, &rss, &userUs, &systemUs) != 4)
            throw std::runtime_error(std::string("no usage report for ") + program);
        // The bare program is ended by the signal; the window closes on it.
        if (status != 0 && status != 128 + SIGTERM)
            throw std::runtime_error(std::string(program) + " ended with status " +
                                     std::to_string(status));
        maxRssKiB = std::max(maxRssKiB, rss);
        cpuSeconds += static_cast<double>(userUs + systemUs) / 1e6;
    });
    using benchmark::Counter;
    state.counters["peak_rss_MB"] = static_cast<double>(maxRssKiB) * 1024.0 / 1e6;
    state.counters["cpu_ms"] = Counter(cpuSeconds * 1e3, Counter::kAvgIterations);
}

void WindowStartUp(benchmark::State& state) {
    RunStartUps(state, NIGHTLUX_WINDOW);
}

void BareWindowStartUp(benchmark::State& state) {
    RunStartUps(state, NIGHTLUX_BENCH_BARE_WINDOW);
}

// Another build of the program (NIGHTLUX_BENCH_EARLIER_WINDOW), measured in the same run to
// set a change beside what was there before.
const bool EarlierRegistered = [] {
    const char* earlier = std::getenv("NIGHTLUX_BENCH_EARLIER_WINDOW");
    if (earlier == nullptr || *earlier == '\0')
        return false;
    static const std::string program = earlier;
    benchmark::RegisterBenchmark(
        "EarlierWindowStartUp",
        [](benchmark::State& state) { RunStartUps(state, program.c_str()); })
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    return true;
}();

} // namespace

BENCHMARK(WindowStartUp)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BareWindowStartUp)->UseManualTime()->Unit(benchmark::kMillisecond);
