#pragma once

#include "meter/Dm_SQMBase.h"
#include "platform/DateTime.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

class TSerialComm;

// The commands of the data-logging meter (SQM-LU-DL): the records in its flash, its clock
// and its logging settings. Every command ends in "x", every reply is one line ending in
// CR LF; each reply is checked against its layout before a field is taken from it, and one
// that does not match raises ELoggerReply (an ESqm) instead of giving fields.

// A reply that does not have its command's layout; the message quotes it.
class ELoggerReply : public ESqm {
public:
    using ESqm::ESqm;
};

// No reply to a command within the port's time-outs.
class ELoggerNoReply : public ESqm {
public:
    using ESqm::ESqm;
};

// The meter has gone (unplugged): nothing more can be exchanged until it is connected again.
class ELoggerGone : public ESqm {
public:
    using ESqm::ESqm;
};

// One record of the flash.
struct TLoggerRecord {
    TDateTime Time = 0.0;     // as the meter's clock keeps it (UTC unless set otherwise)
    double Magnitude = 0.0;   // MPSAS; negative on an uncalibrated meter
    double Temperature = 0.0; // degrees Celsius
    int BatteryAdc = 0;       // 0..255
    // 0: the first record after the battery was connected, 1: a record of the logging
    // interval; none before feature 49 or where the field is not where it is expected.
    std::optional<int> Flag;
    std::string Reply; // the reply line, without CR LF
};

// The logging period and threshold of "LI".
struct TLoggerSettings {
    std::int64_t StoredPeriodSeconds = 0;
    std::int64_t StoredPeriodMinutes = 0;
    std::int64_t PeriodSeconds = 0; // in use
    std::int64_t PeriodMinutes = 0; // in use
    double Threshold = 0.0;         // MPSAS: only readings darker than it are logged
};

// The parsers of each reply line (without CR LF); each raises ELoggerReply.
// "L1,##########" (or six digits before feature 27), "LZ,##########".
std::int64_t ParsePointerReply(const std::string& reply);
std::int64_t ParseCapacityReply(const std::string& reply);
// "L4,YY-MM-DD D HH:MM:SS,<mpsas>,<temp>C,<adc>[,<flag>[,...]]"; nullopt for an erased slot.
// Fields after the known ones are kept in Reply only.
std::optional<TLoggerRecord> ParseRecordReply(const std::string& reply);
// "Lc,YY-MM-DD D HH:MM:SS" (or "LC,..." with prefix "LC").
TDateTime ParseClockReply(const std::string& reply, const std::string& prefix = "Lc");
TLoggerSettings ParseSettingsReply(const std::string& reply);
int ParseModeReply(const std::string& reply);    // "Lm,n", 0..7
int ParseBatteryReply(const std::string& reply); // "L5,nnn", 0..255
bool ParseBusyReply(const std::string& reply);   // "L6,nnn": bit 0

// The battery's voltage for an ADC value: 2.048 + 3.3 * adc / 256.
double BatteryVolts(int adc);
// "YY-MM-DD D HH:MM:SS" of the clock command, D the day of the week (1 = Sunday). Raises
// EConvertError for a time outside the years 2000 to 2099.
std::string LoggerClockText(TDateTime time);
// The text of the trigger mode ("every 5 minutes on the clock", ...).
std::string LoggerModeName(int mode);

// The logger's commands over an open serial port, which the caller keeps open.
class TDataLogger {
public:
    static constexpr std::int64_t MaxPointer = 9'999'999'999;

    explicit TDataLogger(TSerialComm& serial) : Serial(serial) {}

    std::int64_t ReadPointer();  // L1x
    std::int64_t ReadCapacity(); // LZx (feature 27 and later)
    // L4<pointer>x; nullopt for an erased slot.
    std::optional<TLoggerRecord> ReadRecord(std::int64_t pointer);
    TDateTime ReadClock(); // Lcx
    // LC...x with the day of the week; returns the time the reply states.
    TDateTime SetClock(TDateTime time);
    TLoggerSettings ReadSettings(); // LIx
    // LPS / LPM, then the settings read back.
    TLoggerSettings SetPeriodSeconds(std::int64_t seconds);
    TLoggerSettings SetPeriodMinutes(std::int64_t minutes);
    TLoggerSettings SetThreshold(double mpsas); // LT, then read back
    int ReadMode();                             // Lmx
    int SetMode(int mode);                      // LMnx, then read back
    int ReadBatteryAdc();                       // L5x
    // L2x: the meter starts erasing every record and sends no reply.
    void StartErase();
    bool IsBusy(); // L6x

private:
    // Sends command and returns the reply line that begins with marker and a comma.
    std::string Exchange(const std::string& command, const std::string& marker);
    void Send(const std::string& command);

    TSerialComm& Serial;
};
