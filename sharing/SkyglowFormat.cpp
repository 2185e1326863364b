#include "sharing/SkyglowFormat.h"

#include "platform/LocalNight.h"
#include "platform/NumberFormat.h"

#include <climits>
#include <cstdlib>
#include <fstream>
#include <unistd.h>

namespace {

constexpr std::size_t LongestHeaderLine = 150;
constexpr std::size_t FirstReadoutLine = 21; // 0-based: "SQM readout test ix"
constexpr const char* StandardUrl = "http://www.darksky.org/measurements";

std::string OrPlaceholder(const std::string& text) {
    const std::string ascii = AsciiText(text);
    return ascii.find_first_not_of(' ') == std::string::npos ? SkyglowPlaceholder : ascii;
}

std::string Line(const std::string& text) {
    const std::string line = "# " + text;
    return line.size() > LongestHeaderLine ? line.substr(0, LongestHeaderLine) : line;
}

std::string PositionText(const TSite& site) {
    if (!site.Position)
        return SkyglowPlaceholder;
    const TPosition& p = *site.Position;
    return ShortestNumber(p.Latitude) + ", " + ShortestNumber(p.Longitude) + ", " +
           (p.Elevation ? ShortestNumber(*p.Elevation) : SkyglowPlaceholder);
}

// The zone name in a path such as /usr/share/zoneinfo/Europe/Dublin.
std::string ZoneOfPath(const std::string& path) {
    const std::string marker = "zoneinfo/";
    const std::size_t at = path.rfind(marker);
    return at == std::string::npos ? std::string() : path.substr(at + marker.size());
}

// A POSIX rule such as "CET-1CEST,M3.5.0,M10.5.0/3" names no zone.
bool LooksLikeZoneName(const std::string& text) {
    if (text.empty() || text.front() == '/' || text.find_first_of(",<> ") != std::string::npos)
        return false;
    return text.find('/') != std::string::npos ||
           text.find_first_of("0123456789+-") == std::string::npos;
}

} // namespace

std::string AsciiText(const std::string& text) {
    std::string ascii;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '\t')
            ascii += ' ';
        else if (byte < 0x20 || byte == 0x7F || byte >= 0xC0 ||
                 (byte >= 0x80 && (ascii.empty() || ascii.back() != '?')))
            ascii += '?';
        else if (byte < 0x80)
            ascii += c;
    }
    return ascii;
}

bool IsReadoutLine(std::size_t index) {
    return index >= FirstReadoutLine && index < FirstReadoutLine + 3;
}

std::vector<std::string> SkyglowHeaderLines(const TSkyglowHeaderInfo& info) {
    const TSkyglowSettings& s = info.Settings;
    std::vector<std::string> lines = {
        Line("Definition of the community standard for skyglow observations 1.0"),
        Line(std::string("URL: ") + StandardUrl),
        Line("Number of header lines: " + std::to_string(SkyglowHeaderLineCount)),
        Line("This data is released under the following license: " + OrPlaceholder(s.License)),
        Line("Device type: " + OrPlaceholder(info.DeviceType)),
        Line("Instrument ID: " + OrPlaceholder(s.InstrumentId)),
        Line("Data supplier: " + OrPlaceholder(s.DataSupplier)),
        Line("Location name: " + OrPlaceholder(info.Site.Name)),
        Line("Position (lat, lon, elev(m)): " + PositionText(info.Site)),
        Line("Local timezone: " + OrPlaceholder(info.TimeZone)),
        Line("Time Synchronization: " + OrPlaceholder(s.TimeSynchronization)),
        Line("Moving / Stationary position: STATIONARY"),
        Line("Moving / Fixed look direction: FIXED"),
        Line("Number of channels: 1"),
        Line("Filters per channel: HOYA CM-500"),
        Line("Measurement direction per channel: 0., 0."),
        Line("Field of view (degrees): 20"),
        Line("Number of fields per line: 6"),
        Line("SQM serial number: " + OrPlaceholder(info.SerialNumber)),
        Line("SQM firmware version: " + OrPlaceholder(info.FirmwareVersion)),
        Line("SQM cover offset value: " + FormatFixed(s.CoverOffset, 2)),
        Line("SQM readout test ix: " + OrPlaceholder(info.UnitInfoReply)),
        Line("SQM readout test rx: " + OrPlaceholder(info.ReadingReply)),
        Line("SQM readout test cx: " + OrPlaceholder(info.CalibrationReply)),
    };
    for (const std::string& comment : s.Comments)
        lines.push_back("# Comment: " + AsciiText(comment));
    for (int blank = 30; blank <= 32; ++blank)
        lines.push_back(Line("blank line " + std::to_string(blank)));
    lines.push_back(
        Line("UTC Date & Time, Local Date & Time, Temperature, Counts, Frequency, MSAS"));
    lines.push_back(
        Line("YYYY-MM-DDTHH:mm:ss.fff;YYYY-MM-DDTHH:mm:ss.fff;Celsius;number;Hz;mag/arcsec^2"));
    lines.push_back(Line("END OF HEADER"));
    return lines;
}

std::string SkyglowRecordLine(const TSharedReading& r) {
    return IsoTimeMs(r.UniversalTime) + ";" + IsoTimeMs(r.LocalTime) + ";" +
           FormatFixed(r.Temperature, 2) + ";" + FormatFixed(r.Counts, 3) + ";" +
           FormatFixed(r.Frequency, 3) + ";" + FormatFixed(r.Magnitude, 2);
}

std::string SkyglowFileName(TDateTime localTime, const std::string& deviceType,
                            const std::string& siteName) {
    const std::chrono::year_month_day evening = NightOfLocalTime(localTime);
    char date[32];
    std::snprintf(date, sizeof date, "%04d%02u%02u_120000_", static_cast<int>(evening.year()),
                  static_cast<unsigned>(evening.month()), static_cast<unsigned>(evening.day()));
    std::string site;
    for (const char c : siteName) {
        const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
        site += keep ? c : '_';
    }
    return date + deviceType + (site.empty() ? "" : "-" + site) + ".dat";
}

std::string SkyglowDeviceType(const std::string& modelName) {
    return "SQM-" + modelName.substr(0, modelName.find(' '));
}

std::string LocalTimeZoneName() {
    if (const char* tz = std::getenv("TZ"); tz != nullptr && *tz != '\0') {
        std::string name = tz[0] == ':' ? tz + 1 : tz;
        if (name.find("zoneinfo/") != std::string::npos)
            return ZoneOfPath(name);
        return LooksLikeZoneName(name) ? name : std::string();
    }
    std::string name;
    if (std::ifstream in("/etc/timezone"); in && std::getline(in, name) && !name.empty())
        return name;
    char target[PATH_MAX];
    const ssize_t length = ::readlink("/etc/localtime", target, sizeof target - 1);
    return length > 0 ? ZoneOfPath(std::string(target, static_cast<std::size_t>(length)))
                      : std::string();
}
