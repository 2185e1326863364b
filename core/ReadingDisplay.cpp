#include "core/ReadingDisplay.h"

#include "platform/Text.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

namespace {

std::string Printf(const char* format, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

} // namespace

std::string MagnitudeText(double magnitude) {
    return Printf("%.2f", magnitude);
}

std::string NelmText(double nelm) {
    return Printf("%.1f", nelm);
}

std::string TemperatureText(double celsius) {
    return Printf("%.15g", celsius) + " \u00B0C";
}

std::string UnitFieldText(const std::string& field) {
    std::int32_t value = 0;
    return TryStrToInt(field, value) ? std::to_string(value) : field;
}

std::string ReadingTimeText(TDateTime time, const TRegionalFormats& formats) {
    const TDateTimeFields f = DecodeDateTime(time);
    if (time < 1.0)
        return formats.LongTime(f);
    std::string date = formats.ShortDate(f);
    if (static_cast<double>(time) == std::floor(static_cast<double>(time)))
        return date;
    return date + ' ' + formats.LongTime(f);
}
