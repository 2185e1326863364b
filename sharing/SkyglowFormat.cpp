#include "sharing/SkyglowFormat.h"

#include "platform/LocalNight.h"
#include "platform/NumberFormat.h"
#include "platform/Text.h"

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

// The nearest ASCII of a letter of Latin-1 or Latin Extended-A ("ú" is "u", "ß" "ss");
// empty for any other code point.
std::string NearestAscii(char32_t cp) {
    // U+00C0 to U+00FF, and U+0100 to U+017F; "?" marks a letter of more than one.
    static constexpr std::string_view Latin1 =
        "AAAAAA?CEEEEIIIIDNOOOOOxOUUUUY??aaaaaa?ceeeeiiiidnooooo?ouuuuy?y";
    static constexpr std::string_view ExtendedA = "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGg"
                                                  "GgGgHhHhIiIiIiIiIi??JjKkkLlLlLlL"
                                                  "lLlNnNnNnnNnOoOoOo??RrRrRrSsSsSs"
                                                  "SsTtTtTtUuUuUuUuUuUuWwYyYZzZzZzs";
    switch (cp) {
    case 0xC6:
        return "AE";
    case 0xDE:
        return "Th";
    case 0xDF:
        return "ss";
    case 0xE6:
        return "ae";
    case 0xFE:
        return "th";
    case 0x132:
        return "IJ";
    case 0x133:
        return "ij";
    case 0x152:
        return "OE";
    case 0x153:
        return "oe";
    default:
        break;
    }
    char c = '?';
    if (cp >= 0xC0 && cp <= 0xFF)
        c = Latin1[cp - 0xC0];
    else if (cp >= 0x100 && cp <= 0x17F)
        c = ExtendedA[cp - 0x100];
    return c == '?' ? std::string() : std::string(1, c);
}

std::string AsciiText(const std::string& text) {
    std::string ascii;
    std::size_t length = 0;
    for (std::size_t pos = 0; pos < text.size(); pos += length) {
        const char32_t cp = DecodeUtf8(text, pos, length);
        if (cp == '\t')
            ascii += ' ';
        else if (cp >= 0x300 && cp <= 0x36F)
            continue; // a combining accent: the letter before it stands for both
        else if (cp >= 0x20 && cp < 0x7F)
            ascii += static_cast<char>(cp);
        else if (const std::string nearest =
                     cp < 0x80 || cp == InvalidCodePoint ? std::string() : NearestAscii(cp);
                 !nearest.empty())
            ascii += nearest;
        else
            ascii += '?'; // a control character, an invalid byte, or no letter near it
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
