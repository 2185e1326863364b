#include "astro/Site.h"

#include "platform/IniFile.h"
#include "platform/NumberConversion.h"

#include <charconv>
#include <cmath>
#include <vector>

namespace {

constexpr const char* Section = "Site";

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::vector<std::string> SplitAtCommas(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t begin = 0;
    for (;;) {
        const std::size_t comma = text.find(',', begin);
        parts.push_back(Trim(text.substr(begin, comma - begin)));
        if (comma == std::string::npos)
            return parts;
        begin = comma + 1;
    }
}

double ReadNumber(const std::string& text, const std::string& what, const std::string& context) {
    try {
        return StrToFloat(text);
    } catch (const EConvertError&) {
        throw ESiteError(context + "the " + what + " \"" + text + "\" is not a number");
    }
}

void CheckRange(double value, const TSiteRange& range) {
    if (!std::isfinite(value) || value < range.Lowest || value > range.Highest)
        throw ESiteError("The " + std::string(range.What) + " " + ShortestNumber(value) +
                         " is outside " + ShortestNumber(range.Lowest) + " to " +
                         ShortestNumber(range.Highest) + " " + range.Unit);
}

} // namespace

std::string ShortestNumber(double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

void CheckPosition(const TPosition& position) {
    CheckRange(position.Latitude, LatitudeRange);
    CheckRange(position.Longitude, LongitudeRange);
    if (position.Elevation)
        CheckRange(*position.Elevation, ElevationRange);
}

TPosition ParsePosition(const std::string& text) {
    const std::string form = "LAT,LON or LAT,LON,ELEV (degrees north, degrees east, metres)";
    const std::vector<std::string> parts = SplitAtCommas(text);
    if (Trim(text).empty())
        throw ESiteError("The position is empty: give " + form);
    if (parts.size() < 2 || parts.size() > 3)
        throw ESiteError("The position \"" + text + "\" is not " + form);
    const std::string context = "In the position \"" + text + "\", ";
    TPosition position;
    position.Latitude = ReadNumber(parts[0], "latitude", context);
    position.Longitude = ReadNumber(parts[1], "longitude", context);
    if (parts.size() == 3)
        position.Elevation = ReadNumber(parts[2], "elevation", context);
    CheckPosition(position);
    return position;
}

std::string ParseSiteName(const std::string& text) {
    std::string name = Trim(text);
    if (name.empty())
        throw ESiteError("The site name is empty");
    for (const char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            throw ESiteError("The site name contains a control character");
    return name;
}

TSite ReadSite(const TIniFile& ini) {
    const std::string context = "In the settings file " + ini.GetFileName() + ", [Site]: ";
    TSite site;
    const std::string name = Trim(ini.ReadString(Section, "Name", ""));
    const std::string latitude = Trim(ini.ReadString(Section, "Latitude", ""));
    const std::string longitude = Trim(ini.ReadString(Section, "Longitude", ""));
    const std::string elevation = Trim(ini.ReadString(Section, "Elevation", ""));
    try {
        if (!name.empty())
            site.Name = ParseSiteName(name);
        if (latitude.empty() != longitude.empty())
            throw ESiteError("latitude and longitude go together; one of them is missing");
        if (latitude.empty()) {
            if (!elevation.empty())
                throw ESiteError("an elevation without latitude and longitude");
            return site;
        }
        TPosition position;
        position.Latitude = ReadNumber(latitude, "latitude", "");
        position.Longitude = ReadNumber(longitude, "longitude", "");
        if (!elevation.empty())
            position.Elevation = ReadNumber(elevation, "elevation", "");
        CheckPosition(position);
        site.Position = position;
    } catch (const ESiteError& e) {
        throw ESiteError(context + e.what());
    }
    return site;
}

void WriteSite(TIniFile& ini, const TSite& site) {
    if (!site.Name.empty())
        ParseSiteName(site.Name);
    if (site.Position)
        CheckPosition(*site.Position);
    const auto number = [&site](auto part) {
        return site.Position ? part(*site.Position) : std::string();
    };
    ini.WriteString(Section, "Name", site.Name);
    ini.WriteString(Section, "Latitude",
                    number([](const TPosition& p) { return ShortestNumber(p.Latitude); }));
    ini.WriteString(Section, "Longitude",
                    number([](const TPosition& p) { return ShortestNumber(p.Longitude); }));
    ini.WriteString(Section, "Elevation", number([](const TPosition& p) {
                        return p.Elevation ? ShortestNumber(*p.Elevation) : std::string();
                    }));
}
