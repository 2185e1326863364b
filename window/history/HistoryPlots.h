#pragma once

#include "history/StationHistory.h"

#include <QPalette>
#include <QSize>
#include <QString>
#include <chrono>
#include <optional>
#include <string>

class QCustomPlot;

// The views of a station's history. All are drawn with QCustomPlot: the hourglass and the
// jellyfish are colour maps with a colour scale, which Qt Charts cannot draw.
enum class THistoryView { Night, Sun, Hourglass, Jellyfish, Histogram };

// "night", "sun", "hourglass", "jellyfish", "histogram".
std::string HistoryViewName(THistoryView view);
// The view of a name above; none for any other text.
std::optional<THistoryView> HistoryViewNamed(const std::string& name);

struct THistoryPlotOptions {
    THistoryView View = THistoryView::Hourglass;
    // The night view's night; default the latest night with readings.
    std::optional<std::chrono::year_month_day> Night;
    // The night view from noon to noon instead of an hour before sunset to an hour after
    // sunrise.
    bool NoonToNoon = false;
};

// Replaces whatever the plot shows by the view of the history, in the colours of the palette.
// Raises Exception when the view has nothing to show (no readings, no dark readings for the
// histogram, no readings in the asked night).
void DrawHistoryView(QCustomPlot& plot, const TStationHistory& history,
                     const THistoryPlotOptions& options, const QPalette& palette);

// Writes the plot as a PNG picture of the given size; the file is replaced only once the whole
// picture is written. Raises Exception "Could not save the chart to <file>: <reason>".
void SaveHistoryPlot(QCustomPlot& plot, const QString& fileName, QSize size);

// The night view's night: the asked one, else the latest night with readings; none when the
// history has no readings.
std::optional<std::chrono::year_month_day> NightToShow(const TStationHistory& history,
                                                       const THistoryPlotOptions& options);

// The median MPSAS of the dark readings of one night; none when it has none.
std::optional<double> DarkMedianOf(const TStationHistory& history,
                                   std::chrono::year_month_day night);
