// Appending one record to the readings file (flushed to the device, and without the
// flush), beside a bare append of the same line.

#include "bench/BenchSupport.h"
#include "core/Reading.h"
#include "core/ReadingsFile.h"
#include "core/Versioninfo.h"
#include "meter/Dm_SQMLE.h"
#include "platform/DateTime.h"
#include "tests/support/TempFolder.h"

#include <cerrno>
#include <fcntl.h>
#include <stdexcept>
#include <system_error>
#include <unistd.h>

namespace {

// A link holding a reading as the meter gives it, without a connection.
void HoldReading(TDmSQMLE& link) {
    const TMeterReplies replies(BenchMeterOptions());
    link.ReadingReply = replies.ReadingLine(19.53, 5.3);
    link.UnitInfoReply = replies.UnitInfoLine();
    link.ReadingTime = EncodeDateTime(2026, 12, 9, 23, 15, 0, 0);
}

void ReadingsFileAppend(benchmark::State& state) {
    const TTempFolder folder;
    const std::string fileName = folder.File("readings.csv");
    TDmSQMLE link;
    HoldReading(link);
    // The header lines are written once, before the measured appends.
    if (!SaveReadingToFile(fileName, ReadingOf(link))) {
        state.SkipWithError("the readings file cannot be made");
        return;
    }
    EachIteration(state, [&] {
        if (!SaveReadingToFile(fileName, ReadingOf(link)))
            throw std::runtime_error("a reading could not be saved to " + fileName);
    });
}

// The record file's system calls without fdatasync: what the flush costs.
class TWithoutFlush : public TRecordFileCalls {
public:
    int DataSync(int) const override { return 0; }
    int FolderSync(int) const override { return 0; }
};

void ReadingsFileAppendWithoutFlush(benchmark::State& state) {
    const TTempFolder folder;
    const std::string fileName = folder.File("readings.csv");
    TDmSQMLE link;
    HoldReading(link);
    const TWithoutFlush calls;
    const TVersionInfo version{std::string()};
    if (!SaveReadingToFile(fileName, ReadingOf(link), version, calls)) {
        state.SkipWithError("the readings file cannot be made");
        return;
    }
    EachIteration(state, [&] {
        if (!SaveReadingToFile(fileName, ReadingOf(link), version, calls))
            throw std::runtime_error("a reading could not be saved to " + fileName);
    });
}

void ReadingsFileRawAppend(benchmark::State& state) {
    const TTempFolder folder;
    const std::string fileName = folder.File("readings.csv");
    TDmSQMLE link;
    HoldReading(link);
    const std::string line = ReadingRecordLine(ReadingOf(link)) + "\r\n";
    EachIteration(state, [&] {
        const int fd = ::open(fileName.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0)
            throw std::system_error(errno, std::generic_category(), "open");
        const ssize_t written = ::write(fd, line.data(), line.size());
        const int error = errno;
        ::close(fd);
        if (written != static_cast<ssize_t>(line.size()))
            throw std::system_error(error, std::generic_category(), "write");
    });
}

} // namespace

BENCHMARK(ReadingsFileAppend)->Unit(benchmark::kMicrosecond);
BENCHMARK(ReadingsFileAppendWithoutFlush)->Unit(benchmark::kMicrosecond);
BENCHMARK(ReadingsFileRawAppend)->Unit(benchmark::kMicrosecond);
