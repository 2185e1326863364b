#include "tools/sim/MeterReplies.h"

#include "tools/sim/NightCurve.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// A signed number as the meter writes it: a blank or "-", then the absolute value.
std::string SignedField(double value, const char* layout) {
    char digits[32];
    std::snprintf(digits, sizeof digits, layout, std::fabs(value));
    return std::string(value < 0 ? "-" : " ") + digits;
}

} // namespace

TMeterReplies::TMeterReplies(TMeterOptions options) : Opts(std::move(options)) {}

std::string TMeterReplies::ReadingLine(double magnitude, double temperature) const {
    // Frequency and period follow the brightness roughly as a real sensor's do, each within
    // the digits of its field.
    const double hz = std::min(std::pow(10.0, (21.5 - magnitude) / 2.5), 9999999999.0);
    const double seconds = std::min(hz > 0 ? 1.0 / hz : 0.0, 9999999.999);
    const double counts = std::min(seconds * 460800.0, 9999999999.0);
    char middle[64];
    std::snprintf(middle, sizeof middle, "m,%010.0fHz,%010.0fc,%011.3fs,", hz, counts, seconds);
    std::string mag = SignedField(magnitude, "%05.2f");
    if (Opts.NonNumeric)
        mag = " 19,53";
    return "r," + mag + middle + SignedField(temperature, "%05.1f") + "C";
}

std::string TMeterReplies::UnitInfoLine() const {
    char line[64];
    std::snprintf(line, sizeof line, "i,%08d,%08d,%08d,%08d", Opts.ProtocolVersion,
                  Opts.ModelNumber, Opts.FeatureVersion, Opts.SerialNumber);
    return line;
}

std::string TMeterReplies::CalibrationLine() const {
    return "c,00000019.96m,0000199.361s, 019.0C,00000008.71m, 020.3C";
}

std::string TMeterReplies::IntervalReport() const {
    return ReadingLine(17.0, Opts.Temperature.value_or(5.3)) + (Opts.NoCR ? "\n" : "\r\n");
}

std::string TMeterReplies::Finish(std::string line) const {
    if (Opts.EmptyLine)
        line.clear();
    if (line.size() < Opts.LongLine)
        line.append(Opts.LongLine - line.size(), '#');
    line += Opts.NoCR ? "\n" : "\r\n";
    if (Opts.NoiseReplaces != 0 || !Opts.Noise.empty())
        line.replace(std::min(Opts.NoiseAt, line.size()), Opts.NoiseReplaces, Opts.Noise);
    if (Opts.ShortReply != 0 && line.size() > Opts.ShortReply)
        line.resize(Opts.ShortReply);
    return Opts.Leading + line + Opts.Surplus;
}

std::string TMeterReplies::Answer(std::string_view command) {
    if (command == "ix")
        return Finish(UnitInfoLine());
    if (command == "cx")
        return Finish(CalibrationLine());
    if (command != "rx")
        return {};
    // A slow drift through the night: brightness swings over about two hours of
    // one-minute readings, the sensor cools slowly.
    double magnitude = 19.5 + 0.8 * std::sin(Readings * 0.05);
    double temperature = 5.3 - 0.02 * Readings;
    if (Opts.NightStep) {
        const double hour = double((Opts.NightStart + Readings * *Opts.NightStep).count()) / 60.0;
        magnitude = NightSkyMagnitude(hour);
        temperature = NightTemperature(hour);
    }
    magnitude = Opts.Magnitude.value_or(magnitude);
    temperature = Opts.Temperature.value_or(temperature);
    ++Readings;
    return Finish(ReadingLine(magnitude, temperature));
}
