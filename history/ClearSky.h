#pragma once

#include "history/HistoryReading.h"

#include <cstdint>
#include <vector>

// The clear-sky classification of dark readings by the roughness of the night's curve (the
// method and its limits: docs/history.md). A dark reading is clear when the consecutive
// differences of the dark readings within HalfWindow of it scatter (standard deviation) by at
// most Roughness magnitudes, over at least MinDifferences differences. Readings further apart
// than MaxGap, or with a reading that is not dark between them, are not compared.
struct TClearSkyOptions {
    std::int64_t HalfWindowMs = 30 * 60000;
    std::int64_t MaxGapMs = 15 * 60000;
    double Roughness = 0.05; // mag/arcsec^2
    std::size_t MinDifferences = 4;
};

// Sets Clear of every reading (false for those not dark); readings in time order.
void ClassifyClear(std::vector<THistoryReading>& readings, const TClearSkyOptions& options = {});
