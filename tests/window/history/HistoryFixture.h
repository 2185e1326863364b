#pragma once

#include "history/StationHistory.h"

#include <chrono>
#include <cmath>
#include <limits>

// A small history made in memory: nights from 2026-03-01, a reading every ten minutes from
// 18:00 to 06:00, sunset at 18:30 and sunrise at 05:30 (hours 6.5 and 17.5 after noon),
// astronomical twilight ending 20:00 and starting 04:00. Readings between 20:00 and 04:00 are
// dark; of those, the ones on even nights are clear. MPSAS climbs from 17 at 18:00 to 21 at
// 20:00 and stays there, plus 0.1 per night.
inline TStationHistory MakeHistory(int nights) {
    using namespace std::chrono;
    TStationHistory history;
    history.Site = TPosition{48.5, -3.25, 120};
    history.SiteName = "Test Hill";
    const year_month_day first = year{2026} / March / 1;
    for (int n = 0; n < nights; ++n) {
        const year_month_day night{sys_days{first} + days{n}};
        TNightStats stats;
        stats.Night = night;
        stats.MoonFraction = 0.25;
        const local_seconds evening = local_days{night} + hours{18};
        for (int step = 0; step <= 72; ++step) {
            THistoryReading reading{};
            reading.Local = evening + minutes{10 * step};
            reading.UtcMs = duration_cast<milliseconds>(reading.Local.time_since_epoch()).count();
            const double hoursIn = step / 6.0;
            reading.Mpsas = static_cast<float>(std::min(21.0, 17.0 + 2.0 * hoursIn) + 0.1 * n);
            reading.SunAltitude = static_cast<float>(-3.0 - 4.0 * std::min(hoursIn, 12 - hoursIn));
            reading.MoonAltitude = -10.0f;
            reading.MoonFraction = 0.25f;
            reading.Dark = step >= 12 && step <= 60;
            reading.Clear = reading.Dark && n % 2 == 0;
            history.Readings.push_back(reading);
            ++stats.Readings;
            stats.DarkReadings += reading.Dark;
        }
        history.Nights.push_back(stats);
        const double none = std::numeric_limits<double>::quiet_NaN();
        history.Events.push_back(TNightEvents{night, 6.5, 17.5, 8.0, 16.0, none, none});
    }
    history.Report.Files = 1;
    history.Report.Readings = history.Readings.size();
    return history;
}
