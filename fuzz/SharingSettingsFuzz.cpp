// The sharing settings on any settings file content, and the texts a user types for them.
// The site, the skyglow settings and the MQTT settings each read as values within their
// ranges or raise their own error naming the file; what was read, written to a new settings
// file, reads back the same wherever the ini format can hold the text. A typed position or
// broker address is refused with a message, or printed back in its own form reads the same.

#include "astro/Site.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/TempFolder.h"
#include "platform/IniFile.h"
#include "sharing/SharingSettings.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace {

// The ini format reads a value without its outer blanks and enclosing double quotes, and
// holds no line break.
bool IniHolds(const std::string& text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    if (!text.empty() && (blank(text.front()) || blank(text.back())))
        return false;
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        return false;
    return text.find_first_of("\r\n") == std::string::npos;
}

bool IsNamed(const Exception& e, const std::string& fileName) {
    return std::string(e.what()).find(fileName) != std::string::npos;
}

void CheckRanges(const TPosition& p) {
    FUZZ_CHECK(std::isfinite(p.Latitude) && std::fabs(p.Latitude) <= 90);
    FUZZ_CHECK(std::isfinite(p.Longitude) && std::fabs(p.Longitude) <= 180);
    FUZZ_CHECK(!p.Elevation || (*p.Elevation >= -500 && *p.Elevation <= 10000));
}

bool SamePosition(const std::optional<TPosition>& a, const std::optional<TPosition>& b) {
    if (!a || !b)
        return !a && !b;
    return a->Latitude == b->Latitude && a->Longitude == b->Longitude &&
           a->Elevation == b->Elevation;
}

void CheckSite(const TIniFile& ini, TIniFile& copy) {
    TSite site;
    try {
        site = ReadSite(ini);
    } catch (const ESiteError& e) {
        FUZZ_CHECK(IsNamed(e, ini.GetFileName()));
        return;
    }
    if (site.Position)
        CheckRanges(*site.Position);
    if (!IniHolds(site.Name))
        return;
    WriteSite(copy, site);
    const TSite back = ReadSite(copy);
    FUZZ_CHECK(back.Name == site.Name && SamePosition(back.Position, site.Position));
}

void CheckSkyglow(const TIniFile& ini, TIniFile& copy) {
    TSkyglowSettings s;
    try {
        s = ReadSkyglowSettings(ini);
    } catch (const ESharingSettingsError& e) {
        FUZZ_CHECK(IsNamed(e, ini.GetFileName()));
        return;
    }
    FUZZ_CHECK(std::isfinite(s.CoverOffset) && std::fabs(s.CoverOffset) <= 5);
    for (const std::string* text : {&s.Folder, &s.InstrumentId, &s.DataSupplier, &s.License,
                                    &s.TimeSynchronization, &s.TimeZone})
        if (!IniHolds(*text))
            return;
    for (const std::string& comment : s.Comments)
        if (!IniHolds(comment))
            return;
    WriteSkyglowSettings(copy, s);
    const TSkyglowSettings back = ReadSkyglowSettings(copy);
    FUZZ_CHECK(back.Folder == s.Folder && back.InstrumentId == s.InstrumentId &&
               back.DataSupplier == s.DataSupplier && back.License == s.License &&
               back.Comments == s.Comments && back.CoverOffset == s.CoverOffset &&
               back.TimeSynchronization == s.TimeSynchronization && back.TimeZone == s.TimeZone);
}

void CheckMqtt(const TIniFile& ini, TIniFile& copy) {
    TMqttSettings s;
    try {
        s = ReadMqttSettings(ini);
    } catch (const ESharingSettingsError& e) {
        FUZZ_CHECK(IsNamed(e, ini.GetFileName()));
        return;
    }
    FUZZ_CHECK(s.Port >= 1 && s.Port <= 65535);
    for (const std::string* text : {&s.Host, &s.TopicPrefix, &s.CredentialsFile, &s.CaFile})
        if (!IniHolds(*text))
            return;
    WriteMqttSettings(copy, s);
    const TMqttSettings back = ReadMqttSettings(copy);
    FUZZ_CHECK(back.Host == s.Host && back.Port == s.Port && back.TopicPrefix == s.TopicPrefix &&
               back.CredentialsFile == s.CredentialsFile && back.CaFile == s.CaFile);
}

void CheckTypedPosition(const std::string& text) {
    TPosition p;
    try {
        p = ParsePosition(text);
    } catch (const ESiteError& e) {
        FUZZ_CHECK(*e.what() != '\0');
        return;
    }
    CheckRanges(p);
    std::string printed = ShortestNumber(p.Latitude) + ", " + ShortestNumber(p.Longitude);
    if (p.Elevation)
        printed += ", " + ShortestNumber(*p.Elevation);
    FUZZ_CHECK(SamePosition(ParsePosition(printed), p));
}

void CheckTypedBroker(const std::string& text) {
    TMqttSettings s;
    try {
        ParseMqttAddress(text, s);
    } catch (const ESharingSettingsError& e) {
        FUZZ_CHECK(*e.what() != '\0');
        return;
    }
    FUZZ_CHECK(!s.Host.empty() && s.Port >= 1 && s.Port <= 65535);
    const bool bracketed = s.Host.find(':') != std::string::npos;
    const std::string printed =
        (bracketed ? "[" + s.Host + "]" : s.Host) + ":" + std::to_string(s.Port);
    TMqttSettings back;
    try {
        ParseMqttAddress(printed, back);
    } catch (const ESharingSettingsError&) {
        // A host holding "]" or "[" and ":" has no printed form of its own.
        FUZZ_CHECK(s.Host.find_first_of("[]") != std::string::npos);
        return;
    }
    FUZZ_CHECK(back.Host == s.Host && back.Port == s.Port);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    CheckTypedPosition(text);
    CheckTypedBroker(text);

    const std::string name = FuzzFolder() + "/settings.ini";
    const std::string copyName = FuzzFolder() + "/copy.ini";
    WriteFuzzFile(name, text);
    const TIniFile ini(name);
    TIniFile copy(copyName);
    CheckSite(ini, copy);
    CheckSkyglow(ini, copy);
    CheckMqtt(ini, copy);
    RemoveFuzzFile(name);
    RemoveFuzzFile(copyName);
    return 0;
}
