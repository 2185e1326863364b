#pragma once

#include <benchmark/benchmark.h>
#include <map>
#include <optional>
#include <string>
#include <vector>

// What a row of the summary compares: wall or CPU time per iteration, or a counter of the
// run.
enum class TSource { RealTime, CpuTime, Counter };

struct TMeasure {
    TSource Source = TSource::RealTime;
    std::string Unit;       // as printed
    double PerSecond = 1.0; // Unit per second; ignored for a counter, which is in Unit already
    int Decimals = 3;
    std::string Counter; // the counter's name
};

enum class TTargetKind { None, AboveFloor, AtMost, TimesFloor };

// One figure beside its floor, optionally with a target: the figure at most Target above the
// floor, at most Target outright, or at most Target times the floor.
struct TFloorRow {
    std::string Title;
    std::string Figure; // benchmark names
    std::string Floor;
    TMeasure Measure;
    TTargetKind TargetKind = TTargetKind::None;
    double Target = 0.0;
};

// The console output of Google Benchmark, keeping every run for the summary: the median of
// repetitions where there are some, else the run itself.
class TRunCollector : public benchmark::ConsoleReporter {
public:
    // In colour only when standard output is a terminal.
    TRunCollector();
    void ReportRuns(const std::vector<Run>& runs) override;

    // The measure of the named benchmark; nullopt when it did not run or failed.
    std::optional<double> Value(const std::string& name, const TMeasure& measure) const;
    bool AnyFailed() const { return Failed; }

private:
    std::map<std::string, Run> Runs;
    bool Failed = false;
};

// The table of figures beside their floors, with the verdict on each target.
std::string FloorSummary(const std::vector<TFloorRow>& rows, const TRunCollector& runs);
