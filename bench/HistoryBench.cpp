// A station's history: one and five simulated years of one-minute readings read, given their
// Sun and Moon and summed up per night, beside the floor of reading and splitting the same
// files with no astronomy.

#include "bench/BenchSupport.h"
#include "history/HistoryFile.h"
#include "history/StationHistory.h"
#include "tests/support/TempFolder.h"
#include "tools/year/SimulatedYear.h"

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
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

void HistoryLoad(benchmark::State& state) {
    const std::string& folder = Years(int(state.range(0)));
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
void HistoryFloor(benchmark::State& state) {
    const std::vector<std::string> files = FilesOf(Years(int(state.range(0))));
    EachIteration(state, [&] {
        std::size_t readings = 0;
        for (const std::string& file : files)
            readings += ReadHistoryFile(file).Readings.size();
        benchmark::DoNotOptimize(readings);
    });
}

} // namespace

BENCHMARK(HistoryLoad)->Arg(1)->Arg(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(HistoryFloor)->Arg(1)->Arg(5)->Unit(benchmark::kMillisecond)->UseRealTime();
