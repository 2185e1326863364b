#pragma once

#include "astro/Site.h"
#include "meter/DataLogger.h"
#include "sharing/SharingSettings.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

class TSkyglowWriter;

// The time the logger's clock keeps: UTC (as Nightlux sets it) or the local time.
enum class TLoggerClock { Utc, Local };

// The computer's clock as UTC, to the millisecond.
TDateTime UtcNow();
// A time of the logger's clock as the local time and as UTC. Raise EConvertError for a time
// the platform cannot convert.
TDateTime LoggerLocalTime(TDateTime meterTime, TLoggerClock clock);
TDateTime LoggerUniversalTime(TDateTime meterTime, TLoggerClock clock);
// The computer's clock as the logger's clock should show it.
TDateTime LoggerClockNow(TLoggerClock clock);
// "YYYY-MM-DD HH:MM:SS".
std::string LoggerTimeText(TDateTime time);
// The skyglow header's time synchronization entry for records of this clock.
std::string LoggerTimeSynchronization(TLoggerClock clock);

// What a logger holds and in which order its slots are read.
struct TLoggerLayout {
    std::int64_t Pointer = 0;             // the next slot to be written
    std::optional<std::int64_t> Capacity; // unknown before feature 27
    bool Wrapped = false;                 // the slot at the pointer holds the oldest record
    std::int64_t Slots() const;           // slots that hold records (or erased ones)
    std::int64_t SlotAt(std::int64_t index) const; // the index-th slot, oldest first
};

// The pointer and capacity, and whether the log has wrapped (the slot at the pointer holds a
// record): read from the logger. featureVersion comes from "ix".
TLoggerLayout ReadLoggerLayout(TDataLogger& logger, int featureVersion);

// Stores logger records in the readings file, by the readings file's own writer (one record
// line each, the record's time in local time, NELM as for a reading, the unit fields from
// "ix"), and in the night's skyglow files when a folder is set. A record whose local time and
// brightness are in the readings file already is skipped, so that a second download adds only
// what is new and an interrupted one goes on where it stopped.
class TLoggerStore {
public:
    struct TSetup {
        std::string FileName;     // the readings file
        TSkyglowSettings Skyglow; // no folder: no skyglow files
        TSite Site;
        TLoggerClock Clock = TLoggerClock::Utc;
        std::string UnitInfoReply;    // "ix", without line end
        std::string CalibrationReply; // "cx", for the header of a new skyglow file
    };
    enum class TOutcome { Stored, Duplicate, Failed };

    // Reads the times already in the file; raises Exception when it exists but cannot be read.
    explicit TLoggerStore(TSetup setup);
    ~TLoggerStore();

    // What the readings file and the skyglow file tell is added to the notices, each text once.
    // A readings file that cannot be written fails the outcome; a skyglow file does not.
    TOutcome Store(const TLoggerRecord& record);
    std::vector<std::string> TakeNotices() { return std::exchange(Notices, {}); }

private:
    TSetup Setup;
    std::set<std::pair<std::int64_t, long long>> Known; // local seconds, MPSAS * 100
    std::unique_ptr<TSkyglowWriter> Skyglow;
    std::set<std::string> Told;

    void Tell(const std::string& notice);
    std::vector<std::string> Notices;
};

// How a download went.
struct TLoggerDownloadResult {
    std::int64_t Pointer = 0; // the record pointer when the download began
    std::int64_t Slots = 0;   // slots to read
    std::int64_t Read = 0;    // slots looked at
    std::int64_t Records = 0;
    std::int64_t Stored = 0;
    std::int64_t Duplicates = 0;
    std::int64_t Erased = 0;              // erased slots among the records, skipped
    std::vector<std::int64_t> Unreadable; // pointers of records that could not be read twice
    bool Cancelled = false;
    std::string Stopped; // why it ended early (meter gone, file failed), empty otherwise
    // Every slot was read and every record stored or found in the file already.
    bool IsComplete() const {
        return !Cancelled && Stopped.empty() && Unreadable.empty() && Read == Slots;
    }
};

// Reads every slot of the layout, oldest first, and gives each record to sink: sink returns
// Stored, Duplicate or Failed (which ends the download). A record that cannot be read (no
// reply, a reply out of layout) is asked for once more and then noted by its pointer, and the
// download goes on; after MaxFailuresInARow such records, or when the meter has gone, it
// stops. progress(done, total) is called before each slot and at the end; returning false
// cancels.
class TLoggerDownload {
public:
    static constexpr int MaxFailuresInARow = 3;
    using TSink = std::function<TLoggerStore::TOutcome(const TLoggerRecord&)>;
    using TProgress = std::function<bool(std::int64_t done, std::int64_t total)>;

    static TLoggerDownloadResult Run(TDataLogger& logger, const TLoggerLayout& layout,
                                     const TSink& sink, const TProgress& progress);
};

// "Downloaded: 123 records read, 120 stored, 3 already in the file, 2 erased slots skipped"
// and the unreadable
// records, one line each, without line ends.
std::vector<std::string> DownloadSummary(const TLoggerDownloadResult& result);
