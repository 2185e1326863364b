#pragma once

#include "astro/Site.h"
#include "chart/ChartViews.h"

#include <QSize>
#include <chrono>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

// nightlux-chart READINGS-FILE --png OUT [--night YYYY-MM-DD] [--dark] [--size WxH]
//                [--position LAT,LON[,ELEV]] [--site NAME] [--style NAME]
// nightlux-chart FILE-OR-FOLDER... --stats OUT.csv [--from YYYY-MM-DD] [--to YYYY-MM-DD]
//                [--position LAT,LON[,ELEV]] [--site NAME]
//                [--view NAME] [--noon-to-noon]
struct TChartCommandLine {
    bool Help = false;
    std::string ReadingsFile;       // the first of Paths
    std::vector<std::string> Paths; // files and folders
    std::string PngFile;
    std::string StatsFile; // the per-night statistics as CSV
    std::optional<std::chrono::year_month_day> From, To;
    std::optional<std::string> Night; // default: the night of the file's latest reading
    bool Dark = false;
    std::optional<std::string> Style; // one of the window's styles, applied by the caller
    QSize Size{1000, 600};
    std::optional<TPosition> Position; // default: the site saved in the settings
    std::optional<std::string> SiteName;
    // --view and its options: a history view instead of the night chart.
    TChartViewOptions View;
    // The settings that hold the saved site; empty for none.
    std::string SettingsFile;
};

// Reads the arguments (without the program name); raises Exception naming what is wrong.
TChartCommandLine ParseChartCommandLine(const std::vector<std::string>& args);

std::string ChartUsage();

// Draws the chart as asked; the summary goes to out, damaged lines and failures to err.
// Returns the exit status: 0 done, 1 failed. Needs a QApplication.
int RunChartCommand(const TChartCommandLine& command, std::ostream& out, std::ostream& err);
