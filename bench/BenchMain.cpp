// The benchmarks of Nightlux against the simulated meter, followed by a table that sets
// each figure beside its floor and says whether its target is met.

#include "bench/FloorSummary.h"

#include <cstdio>

namespace {

const TMeasure Milliseconds{"", "ms", 1e3, 3};
const TMeasure Nanoseconds{"", "ns", 1e9, 0};
const TMeasure Microseconds{"", "us", 1e6, 2};
const TMeasure PeakResident{"peak_rss_MB", "MB", 1.0, 2};
const TMeasure CpuTime{"cpu_ms", "ms", 1.0, 2};

const std::vector<TFloorRow> Rows{
    {"Ethernet read cycle", "EthernetLinkCycle", "EthernetRawExchange", Milliseconds,
     TTargetKind::AboveFloor, 0.2},
    {"Serial read cycle (pty)", "SerialLinkCycle", "SerialRawExchange", Milliseconds,
     TTargetKind::AboveFloor, 0.2},
    {"Reply fields cut and converted", "ReplyFieldsCutAndConverted", "ReplyFieldsRawConverted",
     Nanoseconds},
    {"Readings file append", "ReadingsFileAppend", "ReadingsFileRawAppend", Microseconds},
    {"nightlux-read one shot, wall", "NightluxReadOneShot", "RawReadOneShot", Milliseconds},
    {"nightlux-read one shot, peak resident", "NightluxReadOneShot", "RawReadOneShot", PeakResident,
     TTargetKind::AtMost, 5.0},
    {"nightlux-read one shot, CPU", "NightluxReadOneShot", "RawReadOneShot", CpuTime,
     TTargetKind::AtMost, 10.0},
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 2;
    TRunCollector runs;
    benchmark::RunSpecifiedBenchmarks(&runs);
    benchmark::Shutdown();
    std::fputs(FloorSummary(Rows, runs).c_str(), stdout);
    return runs.AnyFailed() ? 1 : 0;
}
