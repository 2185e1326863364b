// The benchmarks of Nightlux against the simulated meter, followed by a table that sets
// each figure beside its floor and says whether its target is met.

#include "bench/FloorSummary.h"

#include <cstdio>
#include <cstdlib>

namespace {

const TMeasure Milliseconds{TSource::RealTime, "ms", 1e3, 3, ""};
const TMeasure CpuMicroseconds{TSource::CpuTime, "us", 1e6, 1, ""};
const TMeasure CpuMilliseconds{TSource::CpuTime, "ms", 1e3, 1, ""};
const TMeasure CpuNanoseconds{TSource::CpuTime, "ns", 1e9, 0, ""};
const TMeasure PeakResident{TSource::Counter, "MB", 1.0, 2, "peak_rss_MB"};
const TMeasure ChildCpu{TSource::Counter, "ms", 1.0, 2, "cpu_ms"};

// Targets of a view's opening, in milliseconds (docs/performance.md).
constexpr double NightChartTarget = 250.0;
constexpr double HistoryTarget = 2000.0;
constexpr double FindMetersTarget = 100.0;

const std::vector<TFloorRow> Rows{
    {"Ethernet read cycle", "EthernetLinkCycle", "EthernetRawExchange", Milliseconds,
     TTargetKind::AboveFloor, 0.2},
    {"Ethernet read cycle, CPU of the caller", "EthernetLinkCycle", "EthernetRawExchange",
     CpuMicroseconds},
    {"Serial read cycle (pty)", "SerialLinkCycle", "SerialRawExchange", Milliseconds,
     TTargetKind::AboveFloor, 0.2},
    {"Serial read cycle, CPU of the caller", "SerialLinkCycle", "SerialRawExchange",
     CpuMicroseconds},
    {"Reply fields cut and converted, CPU", "ReplyFieldsCutAndConverted", "ReplyFieldsRawConverted",
     CpuNanoseconds},
    {"Readings file append, CPU", "ReadingsFileAppend", "ReadingsFileRawAppend", CpuMicroseconds},
    {"Data logger download, 10,000 records (pty)", "LoggerDownload", "LoggerRawExchanges",
     Milliseconds, TTargetKind::TimesFloor, 1.2},
    {"Data logger download, CPU of the caller", "LoggerDownload", "LoggerRawExchanges",
     CpuMilliseconds},
    {"nightlux-read one shot, wall", "NightluxReadOneShot", "RawReadOneShot", Milliseconds},
    {"nightlux-read one shot, peak resident", "NightluxReadOneShot", "RawReadOneShot", PeakResident,
     TTargetKind::AtMost, 5.0},
    {"nightlux-read one shot, CPU", "NightluxReadOneShot", "RawReadOneShot", ChildCpu,
     TTargetKind::AtMost, 10.0},
    {"History of a year, read and summed up", "HistoryLoadYear", "HistoryFloorYear", Milliseconds,
     TTargetKind::AtMost, 1000.0},
    {"History of a year, beside reading alone", "HistoryLoadYear", "HistoryFloorYear", Milliseconds,
     TTargetKind::TimesFloor, 6.0},
    {"History of five years, beside one year", "HistoryLoadFiveYears", "HistoryLoadYear",
     Milliseconds, TTargetKind::TimesFloor, 5.0},
    {"History of a year, peak resident (program)", "HistoryYearStatsProgram", "", PeakResident,
     TTargetKind::AtMost, 150.0},
    {"Hourglass of a year to a PNG (program)", "HistoryHourglassPng", "", Milliseconds,
     TTargetKind::AtMost, 2000.0},
    {"Window start-up to mapped (Xvfb)", "WindowStartUp", "BareWindowStartUp", Milliseconds,
     TTargetKind::TimesFloor, 1.3},
    {"Window start-up, peak resident", "WindowStartUp", "BareWindowStartUp", PeakResident,
     TTargetKind::TimesFloor, 1.3},
    {"Window start-up, CPU", "WindowStartUp", "BareWindowStartUp", ChildCpu},
    // A view's opening to its first complete paint has no bare floor.
    {"Night Chart opened, a full night", "NightChartOpening", "", Milliseconds, TTargetKind::AtMost,
     NightChartTarget},
    {"History opened, a year read and drawn", "HistoryOpening", "", Milliseconds,
     TTargetKind::AtMost, HistoryTarget},
    {"Find Meters opened", "FindMetersOpening", "", Milliseconds, TTargetKind::AtMost,
     FindMetersTarget},
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 2;
    std::vector<TFloorRow> rows = Rows;
    if (const char* earlier = std::getenv("NIGHTLUX_BENCH_EARLIER_WINDOW"); earlier && *earlier) {
        rows.push_back({"Earlier window start-up to mapped", "EarlierWindowStartUp",
                        "BareWindowStartUp", Milliseconds, TTargetKind::TimesFloor, 1.3});
        rows.push_back({"Earlier window start-up, peak resident", "EarlierWindowStartUp",
                        "BareWindowStartUp", PeakResident, TTargetKind::TimesFloor, 1.3});
        rows.push_back({"Earlier window start-up, CPU", "EarlierWindowStartUp", "BareWindowStartUp",
                        ChildCpu});
    }
    TRunCollector runs;
    benchmark::RunSpecifiedBenchmarks(&runs);
    benchmark::Shutdown();
    std::fputs(FloorSummary(rows, runs).c_str(), stdout);
    return runs.AnyFailed() ? 1 : 0;
}
