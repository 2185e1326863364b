#include "history/StationHistory.h"

#include "astro/Night.h"
#include "history/ClearSky.h"
#include "history/HistoryFile.h"
#include "history/SkyTrack.h"
#include "platform/LocalTime.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <ostream>

namespace {

constexpr std::size_t DamagedNamed = 10;
constexpr double SameSiteDegrees = 0.01;
constexpr long MostNights = 40000; // a century

namespace fs = std::filesystem;
using namespace std::chrono;

class TProgress {
public:
    explicit TProgress(const std::function<bool(double)>& callback) : Callback(callback) {}
    void operator()(double fraction) const {
        if (Callback && !Callback(std::clamp(fraction, 0.0, 1.0)))
            throw EHistoryCancelled();
    }

private:
    const std::function<bool(double)>& Callback;
};

// The files of the paths: a folder's regular files, searched through, in name order.
std::vector<std::string> FilesOf(const std::vector<std::string>& paths, TLoadReport& report) {
    std::vector<std::string> files;
    for (const std::string& path : paths) {
        std::error_code error;
        if (!fs::is_directory(path, error)) {
            files.push_back(path); // the reader names what is wrong with it
            continue;
        }
        std::vector<std::string> found;
        fs::recursive_directory_iterator it(path, fs::directory_options::skip_permission_denied,
                                            error);
        if (error) {
            report.SkippedFiles.push_back(path + ": " + error.message());
            continue;
        }
        for (; it != fs::recursive_directory_iterator(); it.increment(error)) {
            if (error) {
                report.SkippedFiles.push_back(path + ": " + error.message());
                break;
            }
            if (it->is_regular_file(error))
                found.push_back(it->path().string());
        }
        std::sort(found.begin(), found.end());
        files.insert(files.end(), found.begin(), found.end());
    }
    return files;
}

std::size_t SizeOf(const std::string& file) {
    std::error_code error;
    const auto size = fs::file_size(file, error);
    return error ? 0 : std::size_t(size);
}

bool SameSite(const TPosition& a, const TPosition& b) {
    return std::fabs(a.Latitude - b.Latitude) <= SameSiteDegrees &&
           std::fabs(a.Longitude - b.Longitude) <= SameSiteDegrees;
}

std::string SiteText(const TPosition& site) {
    char text[64];
    std::snprintf(text, sizeof text, "%.4f, %.4f", site.Latitude, site.Longitude);
    return text;
}

bool InPeriod(const year_month_day& night, const THistoryOptions& options) {
    const sys_days day{night};
    return (!options.From || day >= sys_days{*options.From}) &&
           (!options.To || day <= sys_days{*options.To});
}

// The same reading from two files (at or after the earlier one); a readings file drops the
// milliseconds.
bool SameReading(const THistoryReading& earlier, std::int64_t utcMs, float mpsas) {
    return earlier.UtcMs == utcMs ||
           (utcMs - earlier.UtcMs < 1000 && utcMs / 1000 == earlier.UtcMs / 1000 &&
            std::fabs(earlier.Mpsas - mpsas) < 0.005f);
}

constexpr double SunsetAltitude = -0.8333; // the upper limb at the horizon, with refraction
constexpr double AstronomicalAltitude = -18.0;
constexpr std::int64_t ScanStepMs = std::int64_t(10) * 60000;

std::int64_t LocalNoonMs(const year_month_day& date) {
    return LocalToUnixTime(int(date.year()), int(unsigned(date.month())), int(unsigned(date.day())),
                           12, 0, 0) *
           1000;
}

// The events of a night from the Sun's and the Moon's altitude every 10 minutes, each crossing
// placed between its two samples by linear interpolation.
TNightEvents EventsOf(const year_month_day& night, TSkyTrack& sky) {
    const double none = std::numeric_limits<double>::quiet_NaN();
    TNightEvents events{night, none, none, none, none, none, none};
    const std::int64_t start = LocalNoonMs(night);
    const std::int64_t end = LocalNoonMs(year_month_day{sys_days{night} + days{1}});
    const double localNoon = double(sys_days{night}.time_since_epoch().count()) * 24.0 + 12.0;
    const auto hours = [&](std::int64_t t0, double a0, double a1, double level) {
        const double f = (level - a0) / (a1 - a0);
        const std::int64_t t = t0 + std::int64_t(f * double(ScanStepMs));
        const std::int64_t seconds = t / 1000; // whole seconds, as the clock keeps them
        return double(seconds + GetUtcOffsetAt(seconds)) / 3600.0 - localNoon;
    };
    TSkyTrack::TSky previous = sky.At(start);
    for (std::int64_t t = start; t < end; t += ScanStepMs) {
        const std::int64_t next = std::min(t + ScanStepMs, end);
        const TSkyTrack::TSky now = sky.At(next);
        const auto crossing = [&](double a0, double a1, double level, double& down, double& up,
                                  bool firstOnly) {
            if (a0 >= level && a1 < level && (!firstOnly || std::isnan(down)))
                down = hours(t, a0, a1, level);
            else if (a0 < level && a1 >= level && (!firstOnly || std::isnan(up)))
                up = hours(t, a0, a1, level);
        };
        double sunsetLast = events.Sunset, duskLast = events.DuskAstronomical;
        crossing(previous.SunAltitude, now.SunAltitude, SunsetAltitude, sunsetLast, events.Sunrise,
                 false);
        crossing(previous.SunAltitude, now.SunAltitude, AstronomicalAltitude, duskLast,
                 events.DawnAstronomical, false);
        // The evening's events are the first of the night, the morning's the last.
        if (std::isnan(events.Sunset))
            events.Sunset = sunsetLast;
        if (std::isnan(events.DuskAstronomical))
            events.DuskAstronomical = duskLast;
        crossing(previous.MoonAltitude, now.MoonAltitude, 0.0, events.Moonset, events.Moonrise,
                 true);
        previous = now;
    }
    return events;
}

std::int64_t LocalMidnightMs(const year_month_day& night) {
    const year_month_day next{sys_days{night} + days{1}};
    return LocalToUnixTime(int(next.year()), int(unsigned(next.month())), int(unsigned(next.day())),
                           0, 0, 0) *
           1000;
}

TNightStats StatsOf(const year_month_day& night, const THistoryReading* begin,
                    const THistoryReading* end, std::vector<double>& dark) {
    TNightStats stats;
    stats.Night = night;
    stats.Readings = std::size_t(end - begin);
    dark.clear();
    std::size_t clear = 0;
    for (const THistoryReading* r = begin; r != end; ++r)
        if (r->Dark) {
            dark.push_back(double(r->Mpsas));
            clear += r->Clear;
        }
    stats.DarkReadings = dark.size();
    if (!dark.empty()) {
        stats.Darkest = *std::max_element(dark.begin(), dark.end());
        stats.ClearFraction = double(clear) / double(dark.size());
        stats.DarkMedian = MedianOf(std::move(dark));
    }
    stats.MoonFraction = MoonFractionOfNight(night);
    return stats;
}

} // namespace

std::optional<double> MedianOf(std::vector<double> values) {
    if (values.empty())
        return std::nullopt;
    const std::size_t middle = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + long(middle), values.end());
    double median = values[middle];
    if (values.size() % 2 == 0)
        median = (median + *std::max_element(values.begin(), values.begin() + long(middle))) / 2;
    return median;
}

double MoonFractionOfNight(year_month_day night) {
    const astro::TJde midnight(astro::UnixEpochJd + double(LocalMidnightMs(night)) / 86400000.0);
    return astro::GetMoonIlluminatedFraction(midnight);
}

std::vector<bool> DarkReadingsAt(const TPosition& site, const std::vector<TNightReading>& readings,
                                 double sunLimit, double moonLimit) {
    TSkyTrack sky(site);
    std::vector<bool> dark;
    dark.reserve(readings.size());
    for (const TNightReading& reading : readings) {
        const year_month_day date{floor<days>(reading.Time)};
        const hh_mm_ss clock{reading.Time - floor<days>(reading.Time)};
        const std::int64_t utcMs =
            LocalToUnixTime(int(date.year()), int(unsigned(date.month())),
                            int(unsigned(date.day())), int(clock.hours().count()),
                            int(clock.minutes().count()), int(clock.seconds().count())) *
            1000;
        const TSkyTrack::TSky at = sky.At(utcMs);
        dark.push_back(IsDark(at.SunAltitude, at.MoonAltitude, sunLimit, moonLimit));
    }
    return dark;
}

year_month_day NightOf(TLocalTime local) {
    return year_month_day{floor<days>(local - hours{12})};
}

TStationHistory LoadStationHistory(const THistoryOptions& options,
                                   const std::function<bool(double)>& progressCallback) {
    const TProgress progress(progressCallback);
    progress(0);
    TStationHistory history;
    TLoadReport& report = history.Report;
    const std::vector<std::string> files = FilesOf(options.Paths, report);
    std::size_t totalBytes = 0, doneBytes = 0;
    for (const std::string& file : files)
        totalBytes += SizeOf(file);

    // Room for as many readings as the files can hold (hardly a line is shorter than 40 bytes),
    // so that they are not moved while growing; pages never written cost no memory. Capped, so
    // that a huge file of something else asks for no huge block.
    history.Readings.reserve(std::min<std::size_t>(totalBytes / 40 + 1, std::size_t(1) << 24));
    bool inOrder = true; // the readings so far in time order
    std::optional<TPosition> fileSite;
    std::string fileSiteName;
    for (const std::string& file : files) {
        THistoryFileContents contents;
        try {
            contents = ReadHistoryFile(file, DamagedNamed);
        } catch (const Exception& e) {
            std::string reason = e.what();
            const std::string prefix = "Could not read " + file + ": ";
            if (reason.starts_with(prefix))
                reason = reason.substr(prefix.size());
            report.SkippedFiles.push_back(file + ": " + reason);
            continue;
        }
        doneBytes += SizeOf(file);
        progress(totalBytes ? 0.6 * double(doneBytes) / double(totalBytes) : 0.6);
        if (contents.Kind == THistoryFileKind::Unknown) {
            report.SkippedFiles.push_back(file + ": " + contents.Problem);
            continue;
        }
        if (contents.Site) {
            if (!fileSite) {
                fileSite = contents.Site;
                fileSiteName = contents.SiteName;
            } else if (!SameSite(*fileSite, *contents.Site)) {
                report.SkippedFiles.push_back(file + ": its position " + SiteText(*contents.Site) +
                                              " is another site than " + SiteText(*fileSite) +
                                              "; read each site on its own");
                continue;
            }
        }
        ++report.Files;
        report.DamagedLines += contents.DamagedCount;
        for (const std::size_t line : contents.DamagedLines)
            if (report.FirstDamaged.size() < DamagedNamed)
                report.FirstDamaged.push_back(file + ":" + std::to_string(line));
        // Straight into the history: one copy of the readings held, not two. While they come
        // in time order (files read in name order nearly always do), a reading found twice is
        // dropped at once and no sort is needed: the load stays linear.
        std::vector<THistoryReading>& readings = history.Readings;
        for (const TFileReading& reading : contents.Readings) {
            if (!InPeriod(NightOf(reading.Local), options))
                continue;
            if (inOrder && !readings.empty()) {
                if (reading.UtcMs < readings.back().UtcMs) {
                    inOrder = false;
                } else if (SameReading(readings.back(), reading.UtcMs, reading.Mpsas)) {
                    ++report.Duplicates;
                    continue;
                }
            }
            THistoryReading& r = readings.emplace_back();
            r.UtcMs = reading.UtcMs;
            r.Local = reading.Local;
            r.Mpsas = reading.Mpsas;
        }
    }

    if (history.Readings.empty()) {
        std::string message = "No readings to show";
        if (options.From || options.To)
            message += " in the period asked for";
        message += report.Files ? "." : ": no readings file or skyglow data file was read.";
        if (!report.SkippedFiles.empty())
            message += " " + report.SkippedFiles.front() + ".";
        throw Exception(message);
    }
    if (fileSite) {
        history.Site = *fileSite;
        history.SiteName = fileSiteName.empty() ? options.SiteName : fileSiteName;
    } else if (options.Site) {
        history.Site = *options.Site;
        history.SiteName = options.SiteName;
    } else {
        throw Exception("No site is known for the Sun and the Moon: no file has a position line. "
                        "Give one with --position LAT,LON[,ELEV].");
    }

    if (!inOrder) {
        std::vector<THistoryReading>& readings = history.Readings;
        std::stable_sort(
            readings.begin(), readings.end(),
            [](const THistoryReading& a, const THistoryReading& b) { return a.UtcMs < b.UtcMs; });
        std::size_t kept = 0;
        for (std::size_t i = 0; i < readings.size(); ++i) {
            if (kept > 0 && SameReading(readings[kept - 1], readings[i].UtcMs, readings[i].Mpsas)) {
                ++report.Duplicates;
                continue;
            }
            readings[kept++] = readings[i];
        }
        readings.resize(kept);
    }
    report.Readings = history.Readings.size();

    TSkyTrack sky(history.Site);
    {
        const year_month_day from = options.From.value_or(NightOf(history.Readings.front().Local));
        const year_month_day to = options.To.value_or(NightOf(history.Readings.back().Local));
        const std::int64_t keepFrom = std::min(LocalNoonMs(from), history.Readings.front().UtcMs);
        const std::int64_t keepTo = std::max(LocalNoonMs(year_month_day{sys_days{to} + days{1}}),
                                             history.Readings.back().UtcMs);
        if (keepTo - keepFrom < std::int64_t(MostNights + 2) * 86400000)
            sky.Keep(keepFrom, keepTo);
    }
    // One pass over the readings gives each its Sun, Moon and night.
    const std::size_t count = history.Readings.size();
    std::vector<year_month_day> nightOf(count);
    bool nightsInOrder = true;
    for (std::size_t i = 0; i < count; ++i) {
        THistoryReading& r = history.Readings[i];
        nightOf[i] = NightOf(r.Local);
        nightsInOrder =
            nightsInOrder && (i == 0 || sys_days{nightOf[i - 1]} <= sys_days{nightOf[i]});
        const TSkyTrack::TSky at = sky.At(r.UtcMs);
        r.SunAltitude = float(at.SunAltitude);
        r.MoonAltitude = float(at.MoonAltitude);
        r.MoonFraction = float(at.MoonFraction);
        r.Dark = IsDark(at.SunAltitude, at.MoonAltitude, options.SunLimit, options.MoonLimit);
        if (i % 65536 == 65535)
            progress(0.6 + 0.3 * double(i) / double(count));
    }
    ClassifyClear(history.Readings);
    progress(0.9);

    // Nights with readings; a reading's night never goes back in time order except across a
    // change of clock at noon, so the nights are gathered by date. Where every night follows
    // the one before (nearly always), the readings are taken where they are.
    std::vector<double> dark;
    if (nightsInOrder) {
        const THistoryReading* first = history.Readings.data();
        for (std::size_t i = 0; i < count;) {
            std::size_t end = i;
            while (end < count && nightOf[end] == nightOf[i])
                ++end;
            history.Nights.push_back(StatsOf(nightOf[i], first + i, first + end, dark));
            i = end;
        }
    } else {
        std::vector<std::pair<year_month_day, std::size_t>> order; // night, reading index
        order.reserve(count);
        for (std::size_t i = 0; i < count; ++i)
            order.emplace_back(nightOf[i], i);
        std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) {
            return sys_days{a.first} < sys_days{b.first};
        });
        std::vector<THistoryReading> nightReadings;
        for (std::size_t i = 0; i < order.size();) {
            std::size_t end = i;
            nightReadings.clear();
            while (end < order.size() && order[end].first == order[i].first)
                nightReadings.push_back(history.Readings[order[end++].second]);
            history.Nights.push_back(StatsOf(order[i].first, nightReadings.data(),
                                             nightReadings.data() + nightReadings.size(), dark));
            i = end;
        }
    }

    const sys_days first{options.From.value_or(history.Nights.front().Night)};
    const sys_days lastNight{options.To.value_or(history.Nights.back().Night)};
    if ((lastNight - first).count() > MostNights)
        throw Exception("The period is too long: at most " + std::to_string(MostNights) +
                        " nights at once.");
    for (sys_days day = first; day <= lastNight; day += days{1}) {
        history.Events.push_back(EventsOf(year_month_day{day}, sky));
        if (history.Events.size() % 32 == 0)
            progress(0.9 +
                     0.1 * double((day - first).count()) / double((lastNight - first).count() + 1));
    }
    progress(1);
    return history;
}

void WriteNightStatsCsv(std::ostream& out, const std::vector<TNightStats>& nights) {
    const auto magnitude = [](const std::optional<double>& value) -> std::string {
        if (!value)
            return {};
        char text[32];
        std::snprintf(text, sizeof text, "%.3f", *value);
        std::string s = text;
        if (s.ends_with('0'))
            s.pop_back();
        return s;
    };
    out << "night,readings,dark_readings,darkest,dark_median,clear_fraction,moon_fraction\n";
    for (const TNightStats& night : nights) {
        char date[16], clear[16], moon[16];
        std::snprintf(date, sizeof date, "%04d-%02u-%02u", int(night.Night.year()),
                      unsigned(night.Night.month()), unsigned(night.Night.day()));
        std::snprintf(clear, sizeof clear, "%.3f", night.ClearFraction);
        std::snprintf(moon, sizeof moon, "%.2f", night.MoonFraction);
        out << date << ',' << night.Readings << ',' << night.DarkReadings << ','
            << magnitude(night.Darkest) << ',' << magnitude(night.DarkMedian) << ',' << clear << ','
            << moon << '\n';
    }
}
