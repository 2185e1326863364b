#pragma once

// A station's history: readings files and skyglow data files of any producer read together,
// every reading placed in its night with the Sun and the Moon, dark and clear readings told
// apart, and statistics per night.

#include "astro/Sky.h"
#include "history/HistoryReading.h"
#include "history/NightReading.h"
#include "platform/Exception.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

struct THistoryOptions {
    std::vector<std::string> Paths; // files and folders (folders are searched through)
    // The site when no file names its own; a file's own position line wins.
    std::optional<TPosition> Site;
    std::string SiteName;
    std::optional<std::chrono::year_month_day> From, To; // nights, both included
    double SunLimit = -18.0;                             // degrees
    double MoonLimit = 0.0;                              // degrees
};

struct TLoadReport {
    std::size_t Files = 0;    // files read
    std::size_t Readings = 0; // readings kept (in the period, duplicates removed)
    std::size_t Duplicates = 0;
    std::size_t DamagedLines = 0;
    std::vector<std::string> FirstDamaged; // "file:line", the first few
    std::vector<std::string> SkippedFiles; // "file: reason"
};

struct TNightStats {
    std::chrono::year_month_day Night;
    std::size_t Readings = 0;
    std::size_t DarkReadings = 0;
    std::optional<double> Darkest;    // highest MPSAS of the dark readings
    std::optional<double> DarkMedian; // median MPSAS of the dark readings
    double ClearFraction = 0;         // clear readings / dark readings, 0 for none
    double MoonFraction = 0;          // the Moon's illuminated fraction at local midnight
};

// Hours since the night's local noon; NaN when the event does not happen that night.
struct TNightEvents {
    std::chrono::year_month_day Night;
    double Sunset, Sunrise, DuskAstronomical, DawnAstronomical, Moonrise, Moonset;
};

struct TStationHistory {
    TPosition Site;
    std::string SiteName;
    std::vector<THistoryReading> Readings; // in time order, duplicates removed
    std::vector<TNightStats> Nights;       // nights with readings, in night order
    std::vector<TNightEvents> Events;      // one per night of the period
    TLoadReport Report;
};

// The progress callback said stop.
class EHistoryCancelled : public Exception {
public:
    EHistoryCancelled() : Exception("Loading the history was cancelled.") {}
};

// Reads the files and folders of the options. A damaged line is skipped and counted; a file
// that is neither a readings file nor a skyglow data file, or cannot be read, is named in the
// report and skipped. Raises Exception when no site is known (no file's position line and
// none in the options) or nothing at all could be read. progress(fraction 0..1) returning
// false cancels: EHistoryCancelled is raised.
TStationHistory LoadStationHistory(const THistoryOptions& options,
                                   const std::function<bool(double)>& progress = {});

// "night,readings,dark_readings,darkest,dark_median,clear_fraction,moon_fraction" and a row
// per night.
void WriteNightStatsCsv(std::ostream& out, const std::vector<TNightStats>& nights);

// The night of a local time: the local date of (local - 12 h).
std::chrono::year_month_day NightOf(TLocalTime local);

// The median of the values (the mean of the middle two for an even count); none for none.
std::optional<double> MedianOf(std::vector<double> values);

// The Moon's illuminated fraction at the local midnight of a night.
double MoonFractionOfNight(std::chrono::year_month_day night);

// A reading is dark when the Sun is below its limit and the Moon below its own.
inline bool IsDark(double sunAltitude, double moonAltitude, double sunLimit = -18.0,
                   double moonLimit = 0.0) {
    return sunAltitude < sunLimit && moonAltitude < moonLimit;
}

// Which readings of a file (local clock times, by the platform's time zone rules) were taken
// dark at a site. Raises astro::ESiteError for an impossible site.
std::vector<bool> DarkReadingsAt(const TPosition& site, const std::vector<TNightReading>& readings,
                                 double sunLimit = -18.0, double moonLimit = 0.0);
