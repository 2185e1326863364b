// A whole read cycle (connect, unit information, reading, disconnect) through each meter
// link, each beside the same exchange done with bare system calls against the same
// simulated meter.

#include "bench/BenchSupport.h"
#include "bench/RawExchange.h"
#include "meter/Dm_SQMLE.h"
#include "meter/Dm_SQMLUR.h"
#include "tools/sim/PtyMeter.h"
#include "tools/sim/TcpMeterServer.h"

namespace {

void ReadCycle(TDmSQMBase& link) {
    link.Connect();
    link.ReadUnitInfo();
    link.ReadReading();
    link.Disconnect();
    benchmark::DoNotOptimize(link.ReadingReply.data());
}

void EthernetLinkCycle(benchmark::State& state) {
    const TTcpMeterServer meter(BenchMeterOptions());
    TDmSQMLE link;
    link.Host = "127.0.0.1";
    link.Port = meter.GetPort();
    link.Timeout = 5000;
    EachIteration(state, [&] { ReadCycle(link); });
}

void EthernetRawExchange(benchmark::State& state) {
    const TTcpMeterServer meter(BenchMeterOptions());
    EachIteration(state, [&] { benchmark::DoNotOptimize(RawTcpExchange(meter.GetPort())); });
}

void SerialLinkCycle(benchmark::State& state) {
    const TPtyMeter meter(BenchMeterOptions());
    TDmSQMLUR link;
    link.SetComPort(meter.DevicePath());
    EachIteration(state, [&] { ReadCycle(link); });
}

void SerialRawExchange(benchmark::State& state) {
    const TPtyMeter meter(BenchMeterOptions());
    EachIteration(state, [&] { benchmark::DoNotOptimize(RawSerialExchange(meter.DevicePath())); });
}

} // namespace

BENCHMARK(EthernetLinkCycle)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(EthernetRawExchange)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(SerialLinkCycle)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(SerialRawExchange)->UseRealTime()->Unit(benchmark::kMicrosecond);
