#pragma once

#include "tools/sim/MeterReplies.h"

#include <benchmark/benchmark.h>
#include <exception>

// A steady simulated meter that serves one client after another without refusing any:
// a cycle may connect again before the meter has noticed the last close.
inline TMeterOptions BenchMeterOptions() {
    TMeterOptions options;
    options.Magnitude = 19.53;
    options.Temperature = 5.3;
    options.RefuseSecondClient = false;
    return options;
}

// Runs body once per iteration; the first exception ends the benchmark as failed, with its
// message.
template <class Body>
void EachIteration(benchmark::State& state, Body body) {
    for (auto _ : state) {
        try {
            body();
        } catch (const std::exception& e) {
            state.SkipWithError(e.what());
            break;
        }
    }
}
