#include "meter/DataLogger.h"

#include "meter/SerialComm.h"
#include "platform/NumberConversion.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace {

// No reply line of the logger is nearly this long; a longer one is not a reply.
constexpr std::size_t LongestReply = 512;
constexpr const char* ErasedTime = "55-55-55 5 55:55:55";

[[noreturn]] void Refuse(const std::string& what, const std::string& reply) {
    throw ELoggerReply("The SQM-LU-DL's " + what + " reply \"" + reply +
                       "\" does not have the expected layout.");
}

std::vector<std::string> Fields(const std::string& reply) {
    std::vector<std::string> fields;
    std::size_t begin = 0;
    for (;;) {
        const std::size_t comma = reply.find(',', begin);
        fields.push_back(reply.substr(begin, comma - begin));
        if (comma == std::string::npos)
            return fields;
        begin = comma + 1;
    }
}

bool AllDigits(const std::string& text, std::size_t from = 0,
               std::size_t count = std::string::npos) {
    const std::string part = text.substr(from, count);
    return !part.empty() && part.find_first_not_of("0123456789") == std::string::npos;
}

// A field of up to ten digits, at least one.
std::int64_t Digits(const std::string& text, const std::string& what, const std::string& reply) {
    if (!AllDigits(text) || text.size() > 10)
        Refuse(what, reply);
    return std::stoll(text);
}

// "<digits><unit>", e.g. "0000000360s".
std::int64_t DigitsWithUnit(const std::string& field, char unit, const std::string& what,
                            const std::string& reply) {
    if (field.size() < 2 || field.back() != unit)
        Refuse(what, reply);
    return Digits(field.substr(0, field.size() - 1), what, reply);
}

double Decimal(const std::string& text, const std::string& what, const std::string& reply) {
    if (text.find_first_not_of(' ') == std::string::npos)
        Refuse(what, reply);
    try {
        return PlainDecimalToFloat(text);
    } catch (const EConvertError&) {
        Refuse(what, reply);
    }
}

// "YY-MM-DD D HH:MM:SS" as a time; nothing else.
std::optional<TDateTime> ClockTime(const std::string& text) {
    if (text.size() != 19 || text[2] != '-' || text[5] != '-' || text[8] != ' ' ||
        text[10] != ' ' || text[13] != ':' || text[16] != ':')
        return std::nullopt;
    for (const std::size_t at : {0, 3, 6, 11, 14, 17})
        if (!AllDigits(text, at, 2))
            return std::nullopt;
    if (text[9] < '1' || text[9] > '7')
        return std::nullopt;
    const auto two = [&text](std::size_t at) { return std::stoi(text.substr(at, 2)); };
    try {
        return EncodeDateTime(2000 + two(0), two(3), two(6), two(11), two(14), two(17), 0);
    } catch (const EConvertError&) {
        return std::nullopt;
    }
}

// The value after "<prefix>," when the reply is exactly that and one field.
std::string SingleField(const std::string& reply, const std::string& prefix,
                        const std::string& what) {
    const std::vector<std::string> fields = Fields(reply);
    if (fields.size() != 2 || fields[0] != prefix)
        Refuse(what, reply);
    return fields[1];
}

} // namespace

std::int64_t ParsePointerReply(const std::string& reply) {
    const std::string field = SingleField(reply, "L1", "record pointer");
    if (field.size() != 6 && field.size() != 10)
        Refuse("record pointer", reply);
    return Digits(field, "record pointer", reply);
}

std::int64_t ParseCapacityReply(const std::string& reply) {
    const std::string field = SingleField(reply, "LZ", "capacity");
    if (field.size() != 10)
        Refuse("capacity", reply);
    return Digits(field, "capacity", reply);
}

std::optional<TLoggerRecord> ParseRecordReply(const std::string& reply) {
    const char* what = "record";
    const std::vector<std::string> fields = Fields(reply);
    if (fields.size() < 5 || fields[0] != "L4")
        Refuse(what, reply);
    if (fields[1] == ErasedTime)
        return std::nullopt;
    const std::optional<TDateTime> time = ClockTime(fields[1]);
    if (!time)
        Refuse(what, reply);
    TLoggerRecord record;
    record.Time = *time;
    record.Magnitude = Decimal(fields[2], what, reply);
    const std::string& temperature = fields[3];
    if (temperature.size() < 2 || temperature.back() != 'C')
        Refuse(what, reply);
    record.Temperature = Decimal(temperature.substr(0, temperature.size() - 1), what, reply);
    // The reading and the temperature fit the reading reply's six columns.
    if (std::fabs(record.Magnitude) >= 100.0 || std::fabs(record.Temperature) >= 1000.0)
        Refuse(what, reply);
    record.BatteryAdc = static_cast<int>(Digits(fields[4], what, reply));
    if (record.BatteryAdc > 255)
        Refuse(what, reply);
    // Later firmware adds fields; a vibration model puts its own before the flag, so the flag
    // is taken only where it stands in the plain layout.
    if (fields.size() >= 6 && (fields[5] == "0" || fields[5] == "1"))
        record.Flag = fields[5][0] - '0';
    record.Reply = reply;
    return record;
}

TDateTime ParseClockReply(const std::string& reply, const std::string& prefix) {
    const std::string field = SingleField(reply, prefix, "clock");
    const std::optional<TDateTime> time = ClockTime(field);
    if (!time)
        Refuse("clock", reply);
    return *time;
}

TLoggerSettings ParseSettingsReply(const std::string& reply) {
    const char* what = "logging settings";
    const std::vector<std::string> fields = Fields(reply);
    if (fields.size() != 6 || fields[0] != "LI")
        Refuse(what, reply);
    TLoggerSettings s;
    s.StoredPeriodSeconds = DigitsWithUnit(fields[1], 's', what, reply);
    s.StoredPeriodMinutes = DigitsWithUnit(fields[2], 'm', what, reply);
    s.PeriodSeconds = DigitsWithUnit(fields[3], 's', what, reply);
    s.PeriodMinutes = DigitsWithUnit(fields[4], 'm', what, reply);
    const std::string& threshold = fields[5];
    if (threshold.size() < 2 || threshold.back() != 'm')
        Refuse(what, reply);
    s.Threshold = Decimal(threshold.substr(0, threshold.size() - 1), what, reply);
    return s;
}

int ParseModeReply(const std::string& reply) {
    const std::int64_t mode = Digits(SingleField(reply, "Lm", "mode"), "mode", reply);
    if (mode > 7)
        Refuse("mode", reply);
    return static_cast<int>(mode);
}

int ParseBatteryReply(const std::string& reply) {
    const std::int64_t adc = Digits(SingleField(reply, "L5", "battery"), "battery", reply);
    if (adc > 255)
        Refuse("battery", reply);
    return static_cast<int>(adc);
}

bool ParseBusyReply(const std::string& reply) {
    return (Digits(SingleField(reply, "L6", "busy"), "busy", reply) & 1) != 0;
}

double BatteryVolts(int adc) {
    return 2.048 + 3.3 * adc / 256.0;
}

std::string LoggerClockText(TDateTime time) {
    const TDateTimeFields f = DecodeDateTime(time);
    if (f.Year < 2000 || f.Year > 2099)
        throw EConvertError("The meter's clock holds only the years 2000 to 2099");
    char text[32];
    std::snprintf(text, sizeof text, "%02d-%02d-%02d %d %02d:%02d:%02d", f.Year % 100, f.Month,
                  f.Day, f.DayOfWeek + 1, f.Hour, f.Minute, f.Second);
    return text;
}

std::string LoggerModeName(int mode) {
    static const char* const names[] = {"off",
                                        "every period in seconds",
                                        "every period in minutes, sleeping between",
                                        "every 5 minutes on the clock",
                                        "every 10 minutes on the clock",
                                        "every 15 minutes on the clock",
                                        "every 30 minutes on the clock",
                                        "every hour on the clock"};
    return mode >= 0 && mode <= 7 ? names[mode] : "unknown";
}

void TDataLogger::Send(const std::string& command) {
    try {
        Serial.ClearReceiver();
        Serial.Send(command.data(), static_cast<int>(command.size()));
    } catch (const ESerial& e) {
        throw ELoggerGone("The SQM-LU-DL could not be sent " + command + ".\n" + e.what());
    }
}

std::string TDataLogger::Exchange(const std::string& command, const std::string& marker) {
    Send(command);
    std::optional<std::string> line;
    try {
        line = Serial.ReceiveLine(marker + ",", LongestReply);
    } catch (const ESerial& e) {
        throw ELoggerGone("The SQM-LU-DL has gone.\n" + std::string(e.what()));
    }
    if (!line)
        throw ELoggerNoReply("The SQM-LU-DL did not answer " + command + ".");
    return *line;
}

std::int64_t TDataLogger::ReadPointer() {
    return ParsePointerReply(Exchange("L1x", "L1"));
}

std::int64_t TDataLogger::ReadCapacity() {
    return ParseCapacityReply(Exchange("LZx", "LZ"));
}

std::optional<TLoggerRecord> TDataLogger::ReadRecord(std::int64_t pointer) {
    char command[32];
    std::snprintf(command, sizeof command, "L4%010lldx", static_cast<long long>(pointer));
    return ParseRecordReply(Exchange(command, "L4"));
}

TDateTime TDataLogger::ReadClock() {
    return ParseClockReply(Exchange("Lcx", "Lc"));
}

TDateTime TDataLogger::SetClock(TDateTime time) {
    return ParseClockReply(Exchange("LC" + LoggerClockText(time) + "x", "LC"), "LC");
}

TLoggerSettings TDataLogger::ReadSettings() {
    return ParseSettingsReply(Exchange("LIx", "LI"));
}

TLoggerSettings TDataLogger::SetPeriodSeconds(std::int64_t seconds) {
    char command[32];
    std::snprintf(command, sizeof command, "LPS%010lldx", static_cast<long long>(seconds));
    Send(command);
    return ReadSettings();
}

TLoggerSettings TDataLogger::SetPeriodMinutes(std::int64_t minutes) {
    char command[32];
    std::snprintf(command, sizeof command, "LPM%010lldx", static_cast<long long>(minutes));
    Send(command);
    return ReadSettings();
}

TLoggerSettings TDataLogger::SetThreshold(double mpsas) {
    char command[32];
    std::snprintf(command, sizeof command, "LT%011.2fx", mpsas);
    Send(command);
    return ReadSettings();
}

int TDataLogger::ReadMode() {
    return ParseModeReply(Exchange("Lmx", "Lm"));
}

int TDataLogger::SetMode(int mode) {
    Send("LM" + std::to_string(mode) + "x");
    return ReadMode();
}

int TDataLogger::ReadBatteryAdc() {
    return ParseBatteryReply(Exchange("L5x", "L5"));
}

void TDataLogger::StartErase() {
    Send("L2x");
}

bool TDataLogger::IsBusy() {
    return ParseBusyReply(Exchange("L6x", "L6"));
}
