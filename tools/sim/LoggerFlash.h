#pragma once

#include <atomic>
#include <cstdint>
#include <set>
#include <string>

// What the simulated data-logging meter (SQM-LU-DL) holds in its flash and how it misbehaves.
struct TLoggerOptions {
    // Records ever logged, one every PeriodSeconds from FirstRecord (days since 1899-12-30,
    // the meter's clock), their values from the night curve at the record's clock time.
    std::int64_t Records = 0;
    std::int64_t Capacity = 32768;
    // Past the capacity: true, the oldest records are overwritten from slot 0 on (the log
    // has wrapped); false, logging stopped when the flash was full.
    bool Wrap = false;
    std::set<std::int64_t> ErasedSlots; // slots that read as erased among the records
    std::int64_t PeriodSeconds = 300;
    double FirstRecord = 46365.75; // 2026-12-09 18:00:00
    // The record after which the battery was connected again: its flag is 0 (record 0's
    // flag is always 0).
    std::int64_t BatteryRestart = -1;
    bool ExtraFields = false;            // a snow flag and a linear value after the flag
    bool Uncalibrated = false;           // readings far below zero, with a leading "-"
    std::int64_t ClockOffsetSeconds = 0; // the clock against the computer's UTC
    int BusyPolls = 2;                   // "L6" answers busy this often after "L2"

    // Faults, by slot: a record that never comes, a record garbled on every read (or on the
    // first read only), the meter unplugged on the read of a slot.
    std::int64_t LostRecord = -1;
    std::int64_t GarbledRecord = -1;
    bool GarbledOnce = false;
    std::int64_t UnplugAtRecord = -1;
};

// The flash, clock and settings of a simulated SQM-LU-DL, and its answers to the "L"
// commands in the real meter's layouts (feature version decides the pointer's digits, the
// capacity command and the flag).
class TLoggerFlash {
public:
    TLoggerFlash(TLoggerOptions options, int featureVersion);

    struct TAnswer {
        std::string Reply; // line end included; empty: no reply
        bool Unplug = false;
    };
    // The answer to a command from "L" to "x", both included.
    TAnswer Answer(const std::string& command);

    // The reply line of a slot, without line end.
    std::string RecordLine(std::int64_t slot) const;
    std::int64_t Pointer() const;
    bool Erased() const { return Opts.Records == 0; }
    int EraseCommands() const { return Erases.load(); }
    const TLoggerOptions& Options() const { return Opts; }

private:
    double ClockNow() const;

    TLoggerOptions Opts;
    int Feature;
    std::int64_t StoredSeconds = 300, StoredMinutes = 5;
    std::int64_t Seconds = 300, Minutes = 5;
    double Threshold = 0.0;
    int Mode = 3;
    int BusyLeft = 0;
    std::atomic<int> Erases{0}; // read by tests while the meter answers on its thread
    std::set<std::int64_t> GarbledSent;
};
