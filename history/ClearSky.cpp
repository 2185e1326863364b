#include "history/ClearSky.h"

#include <algorithm>
#include <cmath>

namespace {

// One run [begin, end): dark readings next to each other and no further apart than MaxGap.
void ClassifyRun(std::vector<THistoryReading>& readings, std::size_t begin, std::size_t end,
                 const TClearSkyOptions& options) {
    // Difference j (begin < j < end) is readings[j] - readings[j - 1]; sums over them.
    const std::size_t n = end - begin;
    std::vector<double> sum(n, 0.0), squares(n, 0.0);
    for (std::size_t j = 1; j < n; ++j) {
        const double d = double(readings[begin + j].Mpsas) - double(readings[begin + j - 1].Mpsas);
        sum[j] = sum[j - 1] + d;
        squares[j] = squares[j - 1] + d * d;
    }
    std::size_t low = 0, high = 0; // the window [low, high] of the run
    for (std::size_t i = 0; i < n; ++i) {
        const std::int64_t t = readings[begin + i].UtcMs;
        while (readings[begin + low].UtcMs < t - options.HalfWindowMs)
            ++low;
        while (high + 1 < n && readings[begin + high + 1].UtcMs <= t + options.HalfWindowMs)
            ++high;
        // Differences low+1 .. high.
        const std::size_t count = high - low;
        bool clear = false;
        if (count >= options.MinDifferences) {
            const double mean = (sum[high] - sum[low]) / double(count);
            const double variance =
                std::max(0.0, (squares[high] - squares[low]) / double(count) - mean * mean);
            clear = std::sqrt(variance) <= options.Roughness;
        }
        readings[begin + i].Clear = clear;
    }
}

} // namespace

void ClassifyClear(std::vector<THistoryReading>& readings, const TClearSkyOptions& options) {
    std::size_t i = 0;
    while (i < readings.size()) {
        if (!readings[i].Dark) {
            readings[i++].Clear = false;
            continue;
        }
        std::size_t end = i + 1;
        while (end < readings.size() && readings[end].Dark &&
               readings[end].UtcMs - readings[end - 1].UtcMs <= options.MaxGapMs)
            ++end;
        ClassifyRun(readings, i, end, options);
        i = end;
    }
}
