#pragma once

#include "core/Nelm.h"
#include "history/NightReading.h"

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// One night, named by the local date of its evening: from 12:00 that day to 12:00 the next.
class TNight {
public:
    explicit TNight(std::chrono::year_month_day evening);

    // The night a local time belongs to (12:00:00 starts a new night).
    static TNight Of(TLocalTime time);
    // "YYYY-MM-DD"; raises Exception naming the text for anything else or an impossible date.
    static TNight Parse(const std::string& text);

    std::chrono::year_month_day GetEvening() const { return Evening; }
    TLocalTime GetStart() const;
    TLocalTime GetEnd() const; // the first second after the night
    bool Contains(TLocalTime time) const { return time >= GetStart() && time < GetEnd(); }
    // Hours since the night's start.
    double HoursOf(TLocalTime time) const;
    std::string AsText() const; // "YYYY-MM-DD"

    bool operator==(const TNight&) const = default;

private:
    std::chrono::year_month_day Evening;
};

// The readings of one night in time order (readings of the same second keep file order).
std::vector<TNightReading> SelectNight(const std::vector<TNightReading>& readings,
                                       const TNight& night);

// The readings of a night from the file and from this session together, in time order; a
// session reading that the file holds already (same second, same MPSAS to 0.01) counts once.
std::vector<TNightReading> MergeReadings(const std::vector<TNightReading>& stored,
                                         const std::vector<TNightReading>& session,
                                         const TNight& night);

// The night of the latest reading; none for no readings.
std::optional<TNight> LatestNight(const std::vector<TNightReading>& readings);

// Darkest (highest MPSAS), brightest (lowest MPSAS) and mean MPSAS of a set of readings; the
// first of equal readings is taken.
struct TNightSummary {
    std::size_t Count = 0;
    TNightReading Darkest;
    TNightReading Brightest;
    double MeanMagnitude = 0.0;
};
std::optional<TNightSummary> SummarizeNight(const std::vector<TNightReading>& readings);
