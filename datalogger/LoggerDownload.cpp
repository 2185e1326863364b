#include "datalogger/LoggerDownload.h"

#include "core/Reading.h"
#include "core/ReadingsFile.h"
#include "history/ReadingsFileReader.h"
#include "meter/Dm_SQMBase.h"
#include "platform/Exception.h"
#include "sharing/SharedReading.h"
#include "sharing/SkyglowWriter.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <sys/stat.h>

namespace {

constexpr double SecondsPerDay = 86400.0;
constexpr double UnixEpoch = 25569.0; // 1970-01-01 in days since 1899-12-30

std::int64_t UnixSeconds(TDateTime time) {
    return std::llround((double(time) - UnixEpoch) * SecondsPerDay);
}

// A signed field as the reading reply writes it: a blank or "-", then the absolute value.
std::string SignedField(double value, const char* layout) {
    char digits[32];
    std::snprintf(digits, sizeof digits, layout, std::fabs(value));
    return std::string(value < 0 ? "-" : " ") + digits;
}

// A logger record in the shape of a reading, so that the readings file's writer and the
// skyglow writer take it as they take a reading: the reading reply carries the record's
// brightness and temperature in their columns (the sensor fields are zero: a record has
// none), the unit information is the meter's own.
class TRecordLink : public TDmSQMBase {
public:
    TRecordLink(const TLoggerRecord& record, TDateTime localTime, const std::string& unitInfo) {
        ReadingReply = "r," + SignedField(record.Magnitude, "%05.2f") +
                       "m,0000000000Hz,0000000000c,0000000.000s," +
                       SignedField(record.Temperature, "%05.1f") + "C";
        ReadingTime = localTime;
        UnitInfoReply = unitInfo;
    }
    void Connect() override {}
    void Disconnect() override {}
    void ReadReading() override {}
    void ReadUnitInfo() override {}
    void ReadCalibration() override {}
};

std::pair<std::int64_t, long long> Key(TLocalTime time, double magnitude) {
    return {time.time_since_epoch().count(), std::llround(magnitude * 100.0)};
}

} // namespace

TDateTime UtcNow() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
    return TDateTime(double(ms) / 1000.0 / SecondsPerDay + UnixEpoch);
}

TDateTime LoggerLocalTime(TDateTime meterTime, TLoggerClock clock) {
    if (clock == TLoggerClock::Local)
        return meterTime;
    const std::time_t seconds = static_cast<std::time_t>(UnixSeconds(meterTime));
    tzset(); // localtime_r need not read TZ again
    std::tm local{};
    if (localtime_r(&seconds, &local) == nullptr)
        throw EConvertError("The meter's time " + LoggerTimeText(meterTime) +
                            " cannot be converted to local time");
    return EncodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                          local.tm_min, local.tm_sec > 59 ? 59 : local.tm_sec, 0);
}

TDateTime LoggerUniversalTime(TDateTime meterTime, TLoggerClock clock) {
    return clock == TLoggerClock::Utc ? meterTime : UniversalTimeOf(meterTime);
}

TDateTime LoggerClockNow(TLoggerClock clock) {
    return clock == TLoggerClock::Utc ? UtcNow() : Now();
}

std::string LoggerTimeText(TDateTime time) {
    const TDateTimeFields f = DecodeDateTime(time);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", f.Year, f.Month, f.Day,
                  f.Hour, f.Minute, f.Second);
    return text;
}

std::string LoggerTimeSynchronization(TLoggerClock clock) {
    return clock == TLoggerClock::Utc ? "SQM-LU-DL clock, kept in UTC"
                                      : "SQM-LU-DL clock, kept in local time";
}

std::int64_t TLoggerLayout::Slots() const {
    if (Wrapped && Capacity)
        return *Capacity;
    return Capacity ? std::min(Pointer, *Capacity) : Pointer;
}

std::int64_t TLoggerLayout::SlotAt(std::int64_t index) const {
    if (!Wrapped || !Capacity)
        return index;
    return (Pointer + index) % *Capacity;
}

TLoggerLayout ReadLoggerLayout(TDataLogger& logger, int featureVersion) {
    TLoggerLayout layout;
    layout.Pointer = logger.ReadPointer();
    if (featureVersion >= 27) {
        layout.Capacity = logger.ReadCapacity();
        if (layout.Pointer > *layout.Capacity)
            throw ELoggerReply("The SQM-LU-DL's record pointer " + std::to_string(layout.Pointer) +
                               " lies beyond its capacity of " + std::to_string(*layout.Capacity) +
                               " records.");
        // A slot at the pointer that holds a record: the log went round and the pointer marks
        // the oldest record. A slot that cannot be read says nothing.
        if (layout.Pointer < *layout.Capacity) {
            try {
                layout.Wrapped = logger.ReadRecord(layout.Pointer).has_value();
            } catch (const ELoggerGone&) {
                throw;
            } catch (const ESqm&) {
            }
        }
    }
    return layout;
}

TLoggerStore::TLoggerStore(TSetup setup) : Setup(std::move(setup)) {
    struct stat st {};
    if (!Setup.FileName.empty() && ::stat(Setup.FileName.c_str(), &st) == 0) {
        for (const TNightReading& reading : ReadReadingsFile(Setup.FileName).Readings)
            Known.insert(Key(reading.Time, reading.Magnitude));
    }
    if (!Setup.Skyglow.Folder.empty()) {
        TSkyglowSettings settings = Setup.Skyglow;
        settings.TimeSynchronization = LoggerTimeSynchronization(Setup.Clock);
        std::string calibration = Setup.CalibrationReply;
        Skyglow = std::make_unique<TSkyglowWriter>(settings, Setup.Site, "SQM-LU-DL",
                                                   [calibration] { return calibration; });
    }
}

TLoggerStore::~TLoggerStore() = default;

TLoggerStore::TOutcome TLoggerStore::Store(const TLoggerRecord& record) {
    const TDateTime local = LoggerLocalTime(record.Time, Setup.Clock);
    const auto key = Key(LocalTimeOf(local), record.Magnitude);
    if (Known.contains(key))
        return TOutcome::Duplicate;
    const TReading reading = ReadingOf(TRecordLink(record, local, Setup.UnitInfoReply));
    const TSaveResult saved = SaveReadingToFile(Setup.FileName, reading);
    Tell(saved.Notice.Text);
    if (!saved)
        return TOutcome::Failed;
    Known.insert(key);
    if (Skyglow) {
        TSharedReading shared =
            ReadSharedReading(reading, LoggerUniversalTime(record.Time, Setup.Clock));
        shared.ReadingReply = record.Reply; // what the meter sent, in the header's readout line
        Tell(Skyglow->Write(shared).Notice.Text);
    }
    return TOutcome::Stored;
}

void TLoggerStore::Tell(const std::string& notice) {
    if (!notice.empty() && Told.insert(notice).second)
        Notices.push_back(notice);
}

TLoggerDownloadResult TLoggerDownload::Run(TDataLogger& logger, const TLoggerLayout& layout,
                                           const TSink& sink, const TProgress& progress) {
    TLoggerDownloadResult result;
    result.Pointer = layout.Pointer;
    result.Slots = layout.Slots();
    int failuresInARow = 0;
    for (std::int64_t index = 0; index < result.Slots; ++index) {
        if (progress && !progress(index, result.Slots)) {
            result.Cancelled = true;
            return result;
        }
        const std::int64_t slot = layout.SlotAt(index);
        std::optional<TLoggerRecord> record;
        bool read = false;
        for (int attempt = 0; attempt < 2 && !read; ++attempt) {
            try {
                record = logger.ReadRecord(slot);
                read = true;
            } catch (const ELoggerGone& e) {
                result.Stopped = e.what();
                return result;
            } catch (const ESqm&) {
                // Asked once more, then noted.
            }
        }
        result.Read = index + 1;
        if (!read) {
            result.Unreadable.push_back(slot);
            if (++failuresInARow >= MaxFailuresInARow) {
                result.Stopped =
                    "The SQM-LU-DL stopped answering: " + std::to_string(MaxFailuresInARow) +
                    " records in a row could not be read.";
                return result;
            }
            continue;
        }
        failuresInARow = 0;
        if (!record) {
            ++result.Erased;
            continue;
        }
        ++result.Records;
        switch (sink(*record)) {
        case TLoggerStore::TOutcome::Stored:
            ++result.Stored;
            break;
        case TLoggerStore::TOutcome::Duplicate:
            ++result.Duplicates;
            break;
        case TLoggerStore::TOutcome::Failed:
            result.Stopped = "The record could not be stored.";
            return result;
        }
    }
    if (progress)
        progress(result.Slots, result.Slots);
    return result;
}

std::vector<std::string> DownloadSummary(const TLoggerDownloadResult& result) {
    std::vector<std::string> lines;
    lines.push_back("Downloaded: " + std::to_string(result.Records) + " records read, " +
                    std::to_string(result.Stored) + " stored, " +
                    std::to_string(result.Duplicates) + " already in the file, " +
                    std::to_string(result.Erased) + " erased slots skipped");
    for (const std::int64_t pointer : result.Unreadable)
        lines.push_back("The record at pointer " + std::to_string(pointer) +
                        " could not be read, twice.");
    if (result.Cancelled)
        lines.push_back("The download was cancelled after " + std::to_string(result.Read) + " of " +
                        std::to_string(result.Slots) +
                        " slots; the next download goes on from there.");
    else if (!result.Stopped.empty())
        lines.push_back(result.Stopped + " The download stopped after " +
                        std::to_string(result.Read) + " of " + std::to_string(result.Slots) +
                        " slots; the next download goes on from there.");
    return lines;
}
