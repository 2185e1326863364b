#include "tools/sim/LoggerFlash.h"

#include "tools/sim/NightCurve.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

constexpr double SecondsPerDay = 86400.0;
constexpr double UnixEpoch = 25569.0; // 1970-01-01 in days since 1899-12-30

// "YY-MM-DD D HH:MM:SS" of a time in days since 1899-12-30 (D: 1 = Sunday).
std::string ClockText(double days) {
    const auto seconds = static_cast<std::time_t>(std::llround((days - UnixEpoch) * SecondsPerDay));
    std::tm t{};
    gmtime_r(&seconds, &t);
    char text[40];
    std::snprintf(text, sizeof text, "%02d-%02d-%02d %d %02d:%02d:%02d", t.tm_year % 100,
                  t.tm_mon + 1, t.tm_mday, t.tm_wday + 1, t.tm_hour, t.tm_min, t.tm_sec);
    return text;
}

// The time of "YY-MM-DD D HH:MM:SS", or NaN.
double ParseClock(const std::string& text) {
    int yy = 0, mo = 0, dd = 0, dow = 0, hh = 0, mi = 0, ss = 0;
    if (text.size() != 19 || std::sscanf(text.c_str(), "%2d-%2d-%2d %1d %2d:%2d:%2d", &yy, &mo, &dd,
                                         &dow, &hh, &mi, &ss) != 7)
        return std::nan("");
    std::tm t{};
    t.tm_year = 100 + yy;
    t.tm_mon = mo - 1;
    t.tm_mday = dd;
    t.tm_hour = hh;
    t.tm_min = mi;
    t.tm_sec = ss;
    return double(timegm(&t)) / SecondsPerDay + UnixEpoch;
}

double UtcNow() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration<double>(now).count() / SecondsPerDay + UnixEpoch;
}

std::string Line(const std::string& text) {
    return text + "\r\n";
}

std::string Number(const char* layout, long long value) {
    char text[40];
    std::snprintf(text, sizeof text, layout, value);
    return text;
}

} // namespace

TLoggerFlash::TLoggerFlash(TLoggerOptions options, int featureVersion)
    : Opts(std::move(options)), Feature(featureVersion) {}

double TLoggerFlash::ClockNow() const {
    return UtcNow() + double(Opts.ClockOffsetSeconds) / SecondsPerDay;
}

std::int64_t TLoggerFlash::Pointer() const {
    if (Opts.Records <= Opts.Capacity)
        return Opts.Records;
    return Opts.Wrap ? Opts.Records % Opts.Capacity : Opts.Capacity;
}

std::string TLoggerFlash::RecordLine(std::int64_t slot) const {
    std::string erased = "L4,55-55-55 5 55:55:55,00.00,-873.4C,255";
    const std::int64_t used = std::min(Opts.Records, Opts.Capacity);
    if (slot < 0 || slot >= used || Opts.ErasedSlots.contains(slot))
        return erased;
    // The record number held by the slot: past the capacity a wrapped log keeps the newest.
    std::int64_t number = slot;
    if (Opts.Wrap && Opts.Records > Opts.Capacity) {
        const std::int64_t pointer = Pointer();
        number = Opts.Records - pointer + slot - (slot < pointer ? 0 : Opts.Capacity);
    }
    const double time = Opts.FirstRecord + double(number * Opts.PeriodSeconds) / SecondsPerDay;
    const double hour = std::fmod(time, 1.0) * 24.0;
    double magnitude = NightSkyMagnitude(hour);
    if (Opts.Uncalibrated)
        magnitude -= 25.0;
    const double temperature = NightTemperature(hour);
    const int adc = 238 - int(number % 7);
    char values[96];
    std::snprintf(values, sizeof values, ",%s%05.2f,%s%05.1fC,%03d", magnitude < 0 ? "-" : "",
                  std::fabs(magnitude), temperature < 0 ? "-" : " ", std::fabs(temperature), adc);
    std::string line = "L4," + ClockText(time) + values;
    if (Feature >= 49)
        line += number == 0 || number == Opts.BatteryRestart ? ",0" : ",1";
    if (Opts.ExtraFields)
        line += ",0,0000012.34";
    return line;
}

TLoggerFlash::TAnswer TLoggerFlash::Answer(const std::string& command) {
    const std::string body = command.substr(1, command.size() - 2); // without "L" and "x"
    const bool longPointer = Feature >= 27;
    if (body == "1")
        return {Line("L1," + Number(longPointer ? "%010lld" : "%06lld", Pointer()))};
    if (body == "Z")
        return {longPointer ? Line("LZ," + Number("%010lld", Opts.Capacity)) : ""};
    if (body.starts_with("4") && body.size() == 11) {
        const std::int64_t slot = std::atoll(body.c_str() + 1);
        if (slot == Opts.UnplugAtRecord)
            return {"", true};
        if (slot == Opts.LostRecord)
            return {};
        if (slot == Opts.GarbledRecord && (!Opts.GarbledOnce || GarbledSent.insert(slot).second))
            return {Line("L4,26-1?-09 4 1#:00:00,1x.44,")};
        return {Line(RecordLine(slot))};
    }
    if (body == "c")
        return {Line("Lc," + ClockText(ClockNow()))};
    if (body.starts_with("C") && body.size() == 20) {
        const double set = ParseClock(body.substr(1));
        if (std::isnan(set))
            return {};
        Opts.ClockOffsetSeconds = std::llround((set - UtcNow()) * SecondsPerDay);
        return {Line("LC," + ClockText(ClockNow()))};
    }
    if (body == "I") {
        char threshold[32];
        std::snprintf(threshold, sizeof threshold, "%011.2fm", Threshold);
        return {Line("LI," + Number("%010llds", StoredSeconds) + "," +
                     Number("%010lldm", StoredMinutes) + "," + Number("%010llds", Seconds) + "," +
                     Number("%010lldm", Minutes) + "," + threshold)};
    }
    if ((body.starts_with("PS") || body.starts_with("PM")) && body.size() == 12) {
        const std::int64_t value = std::atoll(body.c_str() + 2);
        if (body[1] == 'S')
            StoredSeconds = Seconds = value;
        else
            StoredMinutes = Minutes = value;
        return {};
    }
    if (body.starts_with("T") && body.size() == 12) {
        Threshold = std::atof(body.c_str() + 1);
        return {};
    }
    if (body == "m")
        return {Line("Lm," + std::to_string(Mode))};
    if (body.starts_with("M") && body.size() == 2 && body[1] >= '0' && body[1] <= '7') {
        Mode = body[1] - '0';
        return {};
    }
    if (body == "5")
        return {Line("L5," + Number("%03lld", 238))};
    if (body == "2") {
        ++Erases;
        Opts.Records = 0;
        Opts.ErasedSlots.clear();
        BusyLeft = Opts.BusyPolls;
        return {};
    }
    if (body == "6") {
        const bool busy = BusyLeft > 0;
        if (busy)
            --BusyLeft;
        return {Line("L6," + Number("%03lld", busy ? 1 : 0))};
    }
    return {};
}
