// Downloading a data logger's 10,000 records from the simulated SQM-LU-DL on its
// pseudo-terminal, beside the same "L4" exchanges done with bare system calls.

#include "bench/BenchSupport.h"
#include "datalogger/LoggerDownload.h"
#include "meter/Dm_SQMLUR.h"
#include "platform/FileDescriptor.h"
#include "tools/sim/PtyMeter.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <system_error>
#include <unistd.h>

namespace {

constexpr std::int64_t BenchRecords = 10'000;

TMeterOptions LoggerOptions() {
    TMeterOptions options = BenchMeterOptions();
    options.ModelNumber = 6;
    options.Logger.emplace();
    options.Logger->Records = BenchRecords;
    return options;
}

// The records read through the logger's commands and the download's loop; the sink only
// counts them, so the figure is the exchange's (a file's append is measured on its own).
void LoggerDownload(benchmark::State& state) {
    const TPtyMeter meter(LoggerOptions());
    EachIteration(state, [&] {
        TDmSQMLUR link;
        link.SetComPort(meter.DevicePath());
        link.Connect();
        link.ReadUnitInfo();
        TDataLogger logger(link.GetSerial());
        std::int64_t records = 0;
        const TLoggerDownloadResult result =
            TLoggerDownload::Run(logger, ReadLoggerLayout(logger, 76),
                                 [&records](const TLoggerRecord& record) {
                                     records += record.BatteryAdc > 0;
                                     return TLoggerStore::TOutcome::Stored;
                                 },
                                 {});
        if (!result.IsComplete() || records != BenchRecords)
            throw std::runtime_error("the download did not get every record");
    });
}

void Check(bool ok, const char* what) {
    if (!ok)
        throw std::system_error(errno, std::generic_category(), what);
}

// Each record asked for and its reply read to its LF: write, poll, read.
void LoggerRawExchanges(benchmark::State& state) {
    const TPtyMeter meter(LoggerOptions());
    EachIteration(state, [&] {
        const TFileDescriptor port(
            ::open(meter.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        Check(port.IsValid(), "open");
        char command[16];
        char reply[256];
        for (std::int64_t slot = 0; slot < BenchRecords; ++slot) {
            std::snprintf(command, sizeof command, "L4%010lldx", static_cast<long long>(slot));
            Check(::write(port.Get(), command, 13) == 13, "write");
            std::size_t got = 0;
            while (got == 0 || reply[got - 1] != '\n') {
                pollfd p{port.Get(), POLLIN, 0};
                Check(::poll(&p, 1, 5000) == 1, "poll");
                const ssize_t n = ::read(port.Get(), reply + got, sizeof reply - got);
                Check(n >= 0 || errno == EAGAIN, "read");
                got += n > 0 ? static_cast<std::size_t>(n) : 0;
                if (got == sizeof reply)
                    throw std::runtime_error("a reply without its line end");
            }
            benchmark::DoNotOptimize(reply);
        }
    });
}

} // namespace

BENCHMARK(LoggerDownload)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(LoggerRawExchanges)->UseRealTime()->Unit(benchmark::kMillisecond);
