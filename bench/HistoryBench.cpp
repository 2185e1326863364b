// A station's history: one and five simulated years of one-minute readings read, given their
// Sun and Moon and summed up per night, beside the floor of reading and splitting the same
// files with no astronomy; and, as processes of their own, nightlux-chart's statistics of a
// year (its peak resident size) and its hourglass of a year drawn to a PNG.

#include "bench/BenchSupport.h"
#include "bench/ChildUsage.h"
#include "history/HistoryFile.h"
#include "history/StationHistory.h"
#include "tests/support/TempFolder.h"
#include "tools/year/SimulatedYear.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>
#include <sys/resource.h>

namespace {

// The simulated years, written once per run (TZ=UTC so that they are the same everywhere).
const std::string& Years(int years) {
    static std::map<int, std::unique_ptr<TTempFolder>> folders;
    auto& folder = folders[years];
    if (!folder) {
        ::setenv("TZ", "UTC", 1);
        folder = std::make_unique<TTempFolder>();
        TSimulatedYearOptions options;
        options.Folder = folder->GetPath();
        options.Years = years;
        WriteSimulatedYear(options);
    }
    return folder->GetPath();
}

std::vector<std::string> FilesOf(const std::string& folder) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        files.push_back(entry.path().string());
    return files;
}

void HistoryLoad(benchmark::State& state, int years) {
    const std::string& folder = Years(years);
    std::size_t readings = 0;
    EachIteration(state, [&] {
        THistoryOptions options;
        options.Paths = {folder};
        const TStationHistory history = LoadStationHistory(options);
        readings = history.Readings.size();
        benchmark::DoNotOptimize(history.Nights.data());
    });
    state.counters["readings"] = double(readings);
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MB"] = double(usage.ru_maxrss) / 1024.0;
}

// The floor: the same files read and split into readings, with no Sun, Moon or nights.
void HistoryFloor(benchmark::State& state, int years) {
    const std::vector<std::string> files = FilesOf(Years(years));
    EachIteration(state, [&] {
        std::size_t readings = 0;
        for (const std::string& file : files)
            readings += ReadHistoryFile(file).Readings.size();
        benchmark::DoNotOptimize(readings);
    });
}

// Each benchmark has a name of its own, which the closing table goes by.
void HistoryLoadYear(benchmark::State& state) {
    HistoryLoad(state, 1);
}
void HistoryLoadFiveYears(benchmark::State& state) {
    HistoryLoad(state, 5);
}
void HistoryFloorYear(benchmark::State& state) {
    HistoryFloor(state, 1);
}
void HistoryFloorFiveYears(benchmark::State& state) {
    HistoryFloor(state, 5);
}

#ifdef NIGHTLUX_CHART
// nightlux-chart run on the simulated year with no saved settings (its files name the site).
void RunChart(benchmark::State& state, const std::vector<std::string>& args) {
    const TTempFolder home;
    std::vector<std::string> command{NIGHTLUX_CHART};
    command.insert(command.end(), args.begin(), args.end());
    const std::vector<std::string> environment{"HOME=" + home.GetPath(),
                                               "XDG_CONFIG_HOME=" + home.File("config"), "TZ=UTC",
                                               "QT_QPA_PLATFORM=offscreen", "PATH=/usr/bin:/bin"};
    long maxRssKiB = 0;
    EachIteration(state, [&] {
        const TChildUsage usage = MeasureChild(NIGHTLUX_BENCH_SPAWN, command, environment);
        if (usage.Status != 0)
            throw std::runtime_error("nightlux-chart ended with status " +
                                     std::to_string(usage.Status));
        maxRssKiB = std::max(maxRssKiB, usage.MaxRssKiB);
    });
    state.counters["peak_rss_MB"] = double(maxRssKiB) / 1024.0;
}

// The per-night statistics of a year as a process of its own: its peak resident size is the
// year's (with the program's Qt start-up on top).
void HistoryYearStatsProgram(benchmark::State& state) {
    const TTempFolder out;
    RunChart(state, {Years(1), "--stats", out.File("nights.csv")});
}

// The hourglass of a year drawn to a PNG, the reading included.
void HistoryHourglassPng(benchmark::State& state) {
    const TTempFolder out;
    RunChart(state, {Years(1), "--view", "hourglass", "--png", out.File("hourglass.png")});
}
#endif

} // namespace

BENCHMARK(HistoryLoadYear)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(HistoryLoadFiveYears)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(HistoryFloorYear)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(HistoryFloorFiveYears)->Unit(benchmark::kMillisecond)->UseRealTime();
#ifdef NIGHTLUX_CHART
BENCHMARK(HistoryYearStatsProgram)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(HistoryHourglassPng)->Unit(benchmark::kMillisecond)->UseRealTime();
#endif
