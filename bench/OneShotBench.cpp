// nightlux-read taking one reading as a process of its own, beside the least program that
// performs the same exchange. Each run is started through nightlux-bench-spawn, so its
// peak resident size and CPU time are its own.

#include "bench/BenchSupport.h"
#include "bench/ChildUsage.h"
#include "tests/support/TempFolder.h"
#include "tools/sim/TcpMeterServer.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The benchmark's environment, with the home and configuration folders replaced by an
// empty folder: the program finds no saved settings and touches no real ones.
std::vector<std::string> IsolatedEnvironment(const TTempFolder& home) {
    std::vector<std::string> environment{"HOME=" + home.GetPath(),
                                         "XDG_CONFIG_HOME=" + home.File("config")};
    for (const char* const name : {"PATH", "LANG", "LC_ALL", "TZ"})
        if (const char* value = std::getenv(name))
            environment.push_back(std::string(name) + "=" + value);
    return environment;
}

// Runs the command once per iteration and reports the child's peak resident size (the
// largest of all runs) and its CPU time (the mean), user and system apart.
void RunOneShots(benchmark::State& state, const std::vector<std::string>& command,
                 const std::vector<std::string>& environment) {
    long maxRssKiB = 0;
    double userSeconds = 0.0;
    double systemSeconds = 0.0;
    EachIteration(state, [&] {
        const TChildUsage usage = MeasureChild(NIGHTLUX_BENCH_SPAWN, command, environment);
        if (usage.Status != 0)
            throw std::runtime_error(command.front() + " ended with status " +
                                     std::to_string(usage.Status));
        maxRssKiB = std::max(maxRssKiB, usage.MaxRssKiB);
        userSeconds += usage.UserSeconds;
        systemSeconds += usage.SystemSeconds;
    });
    using benchmark::Counter;
    state.counters["peak_rss_MB"] = static_cast<double>(maxRssKiB) * 1024.0 / 1e6;
    state.counters["cpu_ms"] =
        Counter((userSeconds + systemSeconds) * 1e3, Counter::kAvgIterations);
    state.counters["user_ms"] = Counter(userSeconds * 1e3, Counter::kAvgIterations);
    state.counters["sys_ms"] = Counter(systemSeconds * 1e3, Counter::kAvgIterations);
}

void NightluxReadOneShot(benchmark::State& state) {
    const TTcpMeterServer meter(BenchMeterOptions());
    const TTempFolder home;
    RunOneShots(state,
                {NIGHTLUX_READ, "--model", "LE", "--host", "127.0.0.1", "--port",
                 std::to_string(meter.GetPort()), "--timeout", "5"},
                IsolatedEnvironment(home));
}

void RawReadOneShot(benchmark::State& state) {
    const TTcpMeterServer meter(BenchMeterOptions());
    const TTempFolder home;
    RunOneShots(state, {NIGHTLUX_BENCH_RAW_READ, std::to_string(meter.GetPort())},
                IsolatedEnvironment(home));
}

} // namespace

BENCHMARK(NightluxReadOneShot)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(RawReadOneShot)->UseRealTime()->Unit(benchmark::kMillisecond);
