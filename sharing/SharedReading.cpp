#include "sharing/SharedReading.h"

#include "core/Reading.h"
#include "meter/Dm_SQMBase.h"
#include "platform/Exception.h"
#include "platform/LocalTime.h"
#include "platform/NumberConversion.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace {

// Below this frequency the meter measures by period, which is then the finer value.
constexpr double PeriodModeBelowHz = 30.0;

double Field(const std::string& reply, int first, int length, const char* what) {
    const std::string text = CutField(reply, first, length);
    try {
        return StrToFloat(text);
    } catch (const EConvertError&) {
        throw EConvertError(std::string("The reading's ") + what + " \"" + text +
                            "\" is not a number");
    }
}

} // namespace

std::string WithoutLeadingZeros(const std::string& digits) {
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos)
        return digits;
    const std::size_t first = digits.find_first_not_of('0');
    return first == std::string::npos ? "0" : digits.substr(first);
}

std::string IsoTimeMs(TDateTime value) {
    const TDateTimeFields f = DecodeDateTime(value);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", f.Year, f.Month, f.Day,
                  f.Hour, f.Minute, f.Second, f.Millisecond);
    return text;
}

TDateTime UniversalTimeOf(TDateTime localTime) {
    const TDateTimeFields f = DecodeDateTime(localTime);
    const std::string refusal =
        "The local time " + IsoTimeMs(localTime) + " cannot be converted to universal time";
    std::time_t seconds = 0;
    try {
        seconds = static_cast<std::time_t>(
            LocalToUnixTime(f.Year, f.Month, f.Day, f.Hour, f.Minute, f.Second));
    } catch (const EConvertError&) {
        throw EConvertError(refusal);
    }
    std::tm utc{};
    if (gmtime_r(&seconds, &utc) == nullptr)
        throw EConvertError(refusal);
    return EncodeDateTime(utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min,
                          utc.tm_sec > 59 ? 59 : utc.tm_sec, f.Millisecond);
}

TSharedReading ReadSharedReading(const TReading& reading) {
    return ReadSharedReading(reading, UniversalTimeOf(reading.Time));
}

TSharedReading ReadSharedReading(const TReading& reading, TDateTime universalTime) {
    if (reading.Time == 0.0)
        throw EConvertError("The reading has no time");
    TSharedReading r;
    r.LocalTime = reading.Time;
    r.UniversalTime = universalTime;
    r.UnitInfoReply = reading.UnitInfoReply;
    r.ReadingReply = reading.ReadingReply;
    r.Magnitude = reading.Magnitude;
    r.Temperature = reading.Temperature;
    r.Nelm = reading.Nelm;
    const double hertz = Field(reading.ReadingReply, 11, 10, "frequency");
    r.Counts = Field(reading.ReadingReply, 24, 10, "period in counts");
    const double period = Field(reading.ReadingReply, 36, 11, "period in seconds");
    r.Frequency = hertz < PeriodModeBelowHz && period > 0.0 ? 1.0 / period : hertz;
    r.SerialNumber = WithoutLeadingZeros(reading.SerialNumber);
    r.FirmwareVersion = WithoutLeadingZeros(reading.ProtocolVersion) + "-" +
                        WithoutLeadingZeros(reading.ModelNumber) + "-" +
                        WithoutLeadingZeros(reading.FeatureVersion);
    return r;
}
