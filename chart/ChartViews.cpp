#include "chart/ChartViews.h"

#include "history/Night.h"
#include "platform/Exception.h"

#include <ostream>
#include <qcustomplot.h>

bool ParseViewOption(const std::vector<std::string>& args, std::size_t& i,
                     TChartViewOptions& options) {
    const std::string& arg = args[i];
    if (arg == "--noon-to-noon") {
        options.NoonToNoon = true;
        return true;
    }
    if (arg != "--view")
        return false;
    if (i + 1 >= args.size())
        throw Exception("Option --view needs a value: night, sun, hourglass, jellyfish or "
                        "histogram.");
    const std::string& name = args[++i];
    options.View = HistoryViewNamed(name);
    if (!options.View)
        throw Exception("Option --view takes night, sun, hourglass, jellyfish or histogram, not '" +
                        name + "'.");
    return true;
}

std::string ViewOptionsUsage() {
    return "  --view NAME   the view to draw: night (one night's brightness against time),\n"
           "                sun (brightness against the Sun's altitude), hourglass (nights\n"
           "                across, time up, colour the brightness), jellyfish (time across,\n"
           "                brightness up, colour how often), histogram (dark readings)\n"
           "  --noon-to-noon\n"
           "                the night view from noon to noon (default: an hour before\n"
           "                sunset to an hour after sunrise)\n";
}

void SaveHistoryView(const TStationHistory& history, const TChartViewOptions& options,
                     const std::optional<std::chrono::year_month_day>& night,
                     const std::string& pngFile, QSize size, const QPalette& palette) {
    THistoryPlotOptions plotOptions;
    plotOptions.View = options.View.value_or(THistoryView::Night);
    plotOptions.Night = night;
    plotOptions.NoonToNoon = options.NoonToNoon;
    QCustomPlot plot;
    plot.setPalette(palette);
    DrawHistoryView(plot, history, plotOptions, palette);
    SaveHistoryPlot(plot, QString::fromStdString(pngFile), size);
}

int RunViewCommand(const TChartViewOptions& view, const THistoryOptions& options,
                   const std::optional<std::string>& night, const std::string& pngFile, QSize size,
                   const QPalette& palette, std::ostream& out, std::ostream& err) {
    try {
        std::optional<std::chrono::year_month_day> asked;
        if (night)
            asked = TNight::Parse(*night).GetEvening();
        const TStationHistory history = LoadStationHistory(options);
        const TLoadReport& report = history.Report;
        if (report.DamagedLines > 0) {
            err << report.DamagedLines
                << (report.DamagedLines == 1 ? " damaged line" : " damaged lines") << " skipped";
            for (std::size_t i = 0; i < report.FirstDamaged.size(); ++i)
                err << (i ? ", " : " (") << report.FirstDamaged[i];
            err << (report.FirstDamaged.empty()                        ? ""
                    : report.DamagedLines > report.FirstDamaged.size() ? ", ...)"
                                                                       : ")")
                << '\n';
        }
        for (const std::string& skipped : report.SkippedFiles)
            err << "Skipped " << skipped << '\n';
        SaveHistoryView(history, view, asked, pngFile, size, palette);
        out << HistoryViewName(view.View.value_or(THistoryView::Night)) << ": " << report.Readings
            << " readings, " << history.Nights.size()
            << (history.Nights.size() == 1 ? " night" : " nights") << ", written to " << pngFile
            << '\n';
        return 0;
    } catch (const Exception& e) {
        err << e.what() << '\n';
        return 1;
    }
}
