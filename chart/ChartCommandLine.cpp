#include "chart/ChartCommandLine.h"

#include "history/ReadingsFileReader.h"
#include "history/SkyOfNight.h"
#include "history/StationHistory.h"
#include "platform/Exception.h"
#include "window/chart/ChartPalette.h"
#include "window/chart/ChartPicture.h"
#include "window/chart/NightChartView.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <ostream>
#include <sstream>

namespace {

constexpr int LargestSide = 10000;
constexpr std::size_t DamagedLinesNamed = 10;

QSize ParseSize(const std::string& text) {
    int width = 0, height = 0;
    const char* end = text.data() + text.size();
    const auto [x, e1] = std::from_chars(text.data(), end, width);
    const bool separated = e1 == std::errc() && x != end && (*x == 'x' || *x == 'X');
    const auto [last, e2] = separated ? std::from_chars(x + 1, end, height)
                                      : std::from_chars_result{x, std::errc::invalid_argument};
    if (e2 != std::errc() || last != end || width < 200 || height < 150 || width > LargestSide ||
        height > LargestSide)
        throw Exception("Option --size takes WIDTHxHEIGHT in pixels, from 200x150 to " +
                        std::to_string(LargestSide) + "x" + std::to_string(LargestSide) +
                        ", not '" + text + "'.");
    return {width, height};
}

std::string DamageReport(const std::string& fileName, const std::vector<std::size_t>& lines,
                         std::size_t count) {
    std::string text = fileName + ": " + std::to_string(count) +
                       (count == 1 ? " damaged line" : " damaged lines") + " skipped (line" +
                       (count == 1 ? " " : "s ");
    for (std::size_t i = 0; i < lines.size() && i < DamagedLinesNamed; ++i)
        text += (i ? ", " : "") + std::to_string(lines[i]);
    return text + (count > DamagedLinesNamed ? ", ...)" : ")");
}

// The site given on the command line, else the saved one; --site names either. None when
// neither a position nor settings are given.
std::optional<TSkySite> ChartSite(const TChartCommandLine& command) {
    TSkySite site;
    if (command.Position)
        site = SkySiteOf(TSite{command.SiteName.value_or(""), command.Position});
    else if (!command.SettingsFile.empty())
        site = SavedSkySite(command.SettingsFile);
    else
        return std::nullopt;
    if (command.SiteName && !command.Position && site.Site) {
        TSite named{*command.SiteName,
                    TPosition{site.Site->Latitude, site.Site->Longitude, site.Site->Elevation}};
        site = SkySiteOf(named);
    }
    if (!site.Site)
        site.Note += " Give one with --position LAT,LON[,ELEV].";
    return site;
}

// The per-night statistics of all the paths into the CSV file; what was skipped to err.
void WriteStats(const TChartCommandLine& command, std::ostream& out, std::ostream& err) {
    THistoryOptions options;
    options.Paths = command.Paths;
    options.From = command.From;
    options.To = command.To;
    if (const std::optional<TSkySite> site = ChartSite(command); site && site->Site) {
        options.Site = site->Site;
        options.SiteName = site->Name;
    }
    const TStationHistory history = LoadStationHistory(options);
    const TLoadReport& report = history.Report;
    for (const std::string& skipped : report.SkippedFiles)
        err << "Skipped " << skipped << '\n';
    if (report.DamagedLines) {
        err << report.DamagedLines
            << (report.DamagedLines == 1 ? " damaged line" : " damaged lines") << " skipped (";
        for (std::size_t i = 0; i < report.FirstDamaged.size(); ++i)
            err << (i ? ", " : "") << report.FirstDamaged[i];
        err << (report.DamagedLines > report.FirstDamaged.size() ? ", ...)\n" : ")\n");
    }
    std::ostringstream csv;
    WriteNightStatsCsv(csv, history.Nights);
    // Written beside it and renamed over it, so a failed write leaves the old file whole.
    const std::string temporary = command.StatsFile + ".part";
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file << csv.str();
    file.close();
    if (!file || std::rename(temporary.c_str(), command.StatsFile.c_str()) != 0) {
        const int error = errno;
        std::remove(temporary.c_str());
        throw Exception("Could not write " + command.StatsFile + ": " + std::strerror(error));
    }
    out << history.Nights.size() << (history.Nights.size() == 1 ? " night" : " nights") << " of "
        << report.Readings << " readings from " << report.Files
        << (report.Files == 1 ? " file" : " files");
    if (report.Duplicates)
        out << " (" << report.Duplicates << " found twice, counted once)";
    out << " written to " << command.StatsFile << ".\n";
}

} // namespace

TChartCommandLine ParseChartCommandLine(const std::vector<std::string>& args) {
    TChartCommandLine command;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size())
                throw Exception("Option " + arg + " needs a value.");
            return args[++i];
        };
        if (arg == "--help" || arg == "-h")
            command.Help = true;
        else if (arg == "--png")
            command.PngFile = value();
        else if (arg == "--stats")
            command.StatsFile = value();
        else if (arg == "--from")
            command.From = TNight::Parse(value()).GetEvening();
        else if (arg == "--to")
            command.To = TNight::Parse(value()).GetEvening();
        else if (arg == "--night")
            command.Night = value();
        else if (arg == "--dark")
            command.Dark = true;
        else if (arg == "--style")
            command.Style = value();
        else if (arg == "--size")
            command.Size = ParseSize(value());
        else if (arg == "--position")
            command.Position = ParsePosition(value());
        else if (arg == "--site")
            command.SiteName = ParseSiteName(value());
        else if (ParseViewOption(args, i, command.View))
            continue;
        else if (arg.starts_with("-") && arg != "-")
            throw Exception("Unknown option " + arg + ".");
        else
            command.Paths.push_back(arg);
    }
    if (command.Help)
        return command;
    if (command.Paths.empty())
        throw Exception("Name the readings file to draw.");
    command.ReadingsFile = command.Paths.front();
    if (command.PngFile.empty() && command.StatsFile.empty())
        throw Exception("Name the picture to write with --png FILE, or the statistics with "
                        "--stats FILE.");
    // A view reads any number of files and folders; the night chart draws one file.
    if (!command.PngFile.empty() && !command.View.View && command.Paths.size() > 1)
        throw Exception("Only one readings file for a night's picture, please: '" +
                        command.Paths[1] + "' is one too many (--view night reads several).");
    if (command.From && command.To &&
        std::chrono::sys_days{*command.To} < std::chrono::sys_days{*command.From})
        throw Exception("The period ends (--to) before it begins (--from).");
    if (command.Night)
        TNight::Parse(*command.Night);
    return command;
}

std::string ChartUsage() {
    return "Usage: nightlux-chart READINGS-FILE --png OUT.png [--night YYYY-MM-DD] [--dark]\n"
           "                      [--size WIDTHxHEIGHT] [--position LAT,LON[,ELEV]] [--site NAME]\n"
           "                      [--style NAME]\n"
           "       nightlux-chart FILE-OR-FOLDER... --view NAME --png OUT.png [--noon-to-noon]\n"
           "                      [--from YYYY-MM-DD] [--to YYYY-MM-DD] [OPTION]...\n"
           "Draws one night's sky brightness from a Nightlux readings file as a PNG picture,\n"
           "or with --view a view of any number of readings files and skyglow data files\n"
           "(folders are searched through); no display is needed.\n"
           "  --png FILE    the picture to write (replaced if it exists)\n"
           "  --night DATE  the night that begins on that local date, noon to noon\n"
           "                (default: the night of the file's latest reading)\n"
           "  --dark        dark colours\n"
           "  --style NAME  the colours of one of the window's styles\n"
           "  --size WxH    picture size in pixels (default 1000x600)\n"
           "  --position LAT,LON[,ELEV]\n"
           "                the site, for twilight and the Moon: degrees north, degrees\n"
           "                east, metres (default: the site saved in the settings)\n"
           "  --site NAME   the site's name\n" +
           ViewOptionsUsage() +
           "  -h, --help    print this help and exit\n"
           "Damaged lines of the readings file are skipped and reported.\n"
           "\n"
           "Usage: nightlux-chart FILE-OR-FOLDER... --stats OUT.csv [--from YYYY-MM-DD]\n"
           "                      [--to YYYY-MM-DD] [--position LAT,LON[,ELEV]] [--site NAME]\n"
           "Writes one line per night of readings files and skyglow data files (any\n"
           "producer; folders are searched through): the night, its readings, its dark\n"
           "readings (Sun below -18 degrees, Moon below the horizon), their highest and\n"
           "median MPSAS, the fraction of them classified clear, the Moon's illuminated\n"
           "fraction at midnight.\n"
           "  --stats FILE  the CSV file to write (replaced if it exists)\n"
           "  --from DATE   the first night, of the statistics and the views (a night is\n"
           "                named by its evening's date)\n"
           "  --to DATE     the last night\n"
           "A skyglow file's own position line gives the site; else --position, else the\n"
           "settings.\n";
}

int RunChartCommand(const TChartCommandLine& command, std::ostream& out, std::ostream& err) {
    if (command.View.View) {
        if (!command.StatsFile.empty()) {
            try {
                WriteStats(command, out, err);
            } catch (const Exception& e) {
                err << e.what() << '\n';
                return 1;
            }
        }
        const std::optional<TSkySite> site = ChartSite(command);
        THistoryOptions options;
        options.Paths = command.Paths;
        options.From = command.From;
        options.To = command.To;
        if (site && site->Site) {
            options.Site = site->Site;
            options.SiteName = site->Name;
        }
        if (command.SiteName)
            options.SiteName = *command.SiteName;
        return RunViewCommand(command.View, options, command.Night, command.PngFile, command.Size,
                              command.Dark ? DarkWindowPalette() : QPalette(), out, err);
    }
    try {
        if (!command.StatsFile.empty()) {
            WriteStats(command, out, err);
            if (command.PngFile.empty())
                return 0;
        }
        std::optional<TNight> asked;
        if (command.Night)
            asked = TNight::Parse(*command.Night);
        TReadingsFileContents contents = ReadReadingsFileNight(command.ReadingsFile, asked);
        if (!contents.DamagedLines.empty())
            err << DamageReport(command.ReadingsFile, contents.DamagedLines, contents.DamagedCount)
                << '\n';
        if (!contents.Night)
            throw Exception(command.ReadingsFile + " holds no readings.");
        const TNight night = *contents.Night;
        std::stable_sort(
            contents.Readings.begin(), contents.Readings.end(),
            [](const TNightReading& a, const TNightReading& b) { return a.Time < b.Time; });
        const std::vector<TNightReading>& readings = contents.Readings;
        if (readings.empty())
            throw Exception(command.ReadingsFile + " has no readings for the night of " +
                            night.AsText() + ".");

        TNightChartView view(night);
        view.SetNoonToNoon(command.View.NoonToNoon);
        if (command.Dark)
            view.setPalette(DarkWindowPalette());
        view.SetReadings(readings);
        const std::optional<TSkySite> site = ChartSite(command);
        if (site && site->Site) {
            view.SetSite(site->Site, QString::fromStdString(site->Name));
            const TNightSky sky = GetNightSky(*site->Site, night);
            view.SetTwilight(sky.Twilight);
            view.SetMoonAltitude(sky.Moon);
        }
        SaveChartPicture(view, QString::fromStdString(command.PngFile), command.Size);
        out << "Night of " << night.AsText() << ": " << view.SummaryText().toStdString() << '\n';
        if (site)
            (site->Site ? out : err) << site->Note << '\n';
        return 0;
    } catch (const Exception& e) {
        err << e.what() << '\n';
        return 1;
    }
}
