#pragma once

#include "history/StationHistory.h"
#include "window/history/HistoryPlots.h"

#include <QPalette>
#include <QSize>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

// The options that choose and shape a history view: --view NAME and --noon-to-noon.
struct TChartViewOptions {
    std::optional<THistoryView> View; // none: the night chart of a readings file
    bool NoonToNoon = false;
};

// Takes args[i] (and its value, advancing i) when it is one of the view options; false for any
// other argument. Raises Exception for an unknown view name or a missing value.
bool ParseViewOption(const std::vector<std::string>& args, std::size_t& i,
                     TChartViewOptions& options);

// The help lines of the view options.
std::string ViewOptionsUsage();

// Draws the view of a history into a PNG picture of the given size. Raises Exception when the
// view has nothing to show or the picture cannot be written. Needs a QApplication.
void SaveHistoryView(const TStationHistory& history, const TChartViewOptions& options,
                     const std::optional<std::chrono::year_month_day>& night,
                     const std::string& pngFile, QSize size, const QPalette& palette);

// Reads the history of the options and draws the view: a summary line to out, what was skipped
// and any failure to err. Returns the exit status: 0 done, 1 failed.
int RunViewCommand(const TChartViewOptions& view, const THistoryOptions& options,
                   const std::optional<std::string>& night, const std::string& pngFile, QSize size,
                   const QPalette& palette, std::ostream& out, std::ostream& err);
