// Cutting the six fields the program uses out of the reading and unit information replies
// and converting the two numbers, beside a conversion at fixed byte offsets.

#include "bench/BenchSupport.h"
#include "meter/Dm_SQMLE.h"

#include <charconv>
#include <string>
#include <string_view>

namespace {

const std::string ReadingLine = TMeterReplies().ReadingLine(19.53, 5.3);
const std::string UnitInfoLine = TMeterReplies().UnitInfoLine();

void ReplyFieldsCutAndConverted(benchmark::State& state) {
    TDmSQMLE link;
    link.ReadingReply = ReadingLine;
    link.UnitInfoReply = UnitInfoLine;
    EachIteration(state, [&] {
        benchmark::DoNotOptimize(link.GetMagnitude());
        benchmark::DoNotOptimize(link.GetTemperature());
        benchmark::DoNotOptimize(link.GetProtocolVersion());
        benchmark::DoNotOptimize(link.GetModelNumber());
        benchmark::DoNotOptimize(link.GetFeatureVersion());
        benchmark::DoNotOptimize(link.GetSerialNumber());
    });
}

double RawNumber(std::string_view field) {
    while (!field.empty() && field.front() == ' ')
        field.remove_prefix(1);
    double value = 0.0;
    std::from_chars(field.data(), field.data() + field.size(), value);
    return value;
}

void ReplyFieldsRawConverted(benchmark::State& state) {
    const std::string_view reading = ReadingLine;
    const std::string_view unitInfo = UnitInfoLine;
    if (RawNumber(reading.substr(2, 6)) != 19.53 || RawNumber(reading.substr(48, 6)) != 5.3) {
        state.SkipWithError("the fixed offsets do not hold the reading's numbers");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(RawNumber(reading.substr(2, 6)));
        benchmark::DoNotOptimize(RawNumber(reading.substr(48, 6)));
        benchmark::DoNotOptimize(std::string(unitInfo.substr(2, 8)));
        benchmark::DoNotOptimize(std::string(unitInfo.substr(11, 8)));
        benchmark::DoNotOptimize(std::string(unitInfo.substr(20, 8)));
        benchmark::DoNotOptimize(std::string(unitInfo.substr(29, 8)));
    }
}

} // namespace

BENCHMARK(ReplyFieldsCutAndConverted);
BENCHMARK(ReplyFieldsRawConverted);
