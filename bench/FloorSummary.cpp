#include "bench/FloorSummary.h"

#include <cstdio>
#include <unistd.h>

TRunCollector::TRunCollector()
    : ConsoleReporter(::isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

void TRunCollector::ReportRuns(const std::vector<Run>& runs) {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
        if (run.error_occurred)
            Failed = true;
        const std::string& name = run.run_name.function_name;
        const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
        if (median || (run.run_type == Run::RT_Iteration && Runs.count(name) == 0))
            Runs.insert_or_assign(name, run);
    }
}

std::optional<double> TRunCollector::Value(const std::string& name, const TMeasure& measure) const {
    const auto found = Runs.find(name);
    if (found == Runs.end() || found->second.error_occurred)
        return std::nullopt;
    const Run& run = found->second;
    if (measure.Source == TSource::Counter) {
        const auto counter = run.counters.find(measure.Counter);
        if (counter == run.counters.end())
            return std::nullopt;
        return counter->second.value;
    }
    const double time =
        measure.Source == TSource::RealTime ? run.GetAdjustedRealTime() : run.GetAdjustedCPUTime();
    return time / benchmark::GetTimeUnitMultiplier(run.time_unit) * measure.PerSecond;
}

namespace {

std::string Number(std::optional<double> value, int decimals, bool sign = false) {
    if (!value)
        return "-";
    char text[32];
    std::snprintf(text, sizeof text, sign ? "%+.*f" : "%.*f", decimals, *value);
    return text;
}

std::string Verdict(const TFloorRow& row, std::optional<double> figure,
                    std::optional<double> floor) {
    const std::string target = Number(row.Target, row.Measure.Decimals) + " " + row.Measure.Unit;
    switch (row.TargetKind) {
    case TTargetKind::None:
        return "";
    case TTargetKind::AboveFloor:
        if (!figure || !floor)
            return "at most " + target + " above floor: not measured";
        return "at most " + target +
               " above floor: " + (*figure - *floor <= row.Target ? "met" : "MISSED");
    case TTargetKind::AtMost:
        if (!figure)
            return "at most " + target + ": not measured";
        return "at most " + target + ": " + (*figure <= row.Target ? "met" : "MISSED");
    case TTargetKind::TimesFloor: {
        char times[32];
        std::snprintf(times, sizeof times, "%.2fx", row.Target);
        if (!figure || !floor)
            return std::string("at most ") + times + " the floor: not measured";
        return std::string("at most ") + times + " the floor (" + Number(*figure / *floor, 2) +
               "x): " + (*figure <= row.Target * *floor ? "met" : "MISSED");
    }
    }
    return "";
}

} // namespace

std::string FloorSummary(const std::vector<TFloorRow>& rows, const TRunCollector& runs) {
    std::string text = "\nEach figure beside its floor, measured in this run\n";
    char line[256];
    std::snprintf(line, sizeof line, "%-46s %10s %10s %12s  %s\n", "", "figure", "floor",
                  "above floor", "target");
    text += line;
    for (const TFloorRow& row : rows) {
        const std::optional<double> figure = runs.Value(row.Figure, row.Measure);
        const std::optional<double> floor = runs.Value(row.Floor, row.Measure);
        std::optional<double> above;
        if (figure && floor)
            above = *figure - *floor;
        const std::string title = row.Title + " (" + row.Measure.Unit + ")";
        std::snprintf(line, sizeof line, "%-46s %10s %10s %12s  %s\n", title.c_str(),
                      Number(figure, row.Measure.Decimals).c_str(),
                      Number(floor, row.Measure.Decimals).c_str(),
                      Number(above, row.Measure.Decimals, true).c_str(),
                      Verdict(row, figure, floor).c_str());
        text += line;
    }
    return text;
}
