#include "sharing/SharingSettings.h"

#include "astro/Site.h"
#include "platform/IniFile.h"
#include "platform/NumberConversion.h"

#include <cmath>

namespace {

constexpr const char* SkyglowSection = "Skyglow";
constexpr const char* MqttSection = "MQTT";
constexpr double LargestCoverOffset = 5.0;

std::string CommentKey(std::size_t index) {
    return "Comment" + std::to_string(index + 1);
}

int ParsePort(const std::string& text) {
    const std::string problem = "The MQTT port \"" + text + "\" is not a number from 1 to 65535";
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != text.npos)
        throw ESharingSettingsError(problem);
    const int port = std::stoi(text);
    if (port < 1 || port > 65535)
        throw ESharingSettingsError(problem);
    return port;
}

std::string InFile(const TIniFile& ini, const std::string& section) {
    return "In the settings file " + ini.GetFileName() + ", [" + section + "]: ";
}

} // namespace

double ParseCoverOffset(const std::string& text) {
    const std::string problem = "The cover offset \"" + text +
                                "\" is not a number of magnitudes from -5 to 5 (such as -0.11)";
    double offset = 0.0;
    try {
        offset = StrToFloat(text);
    } catch (const EConvertError&) {
        throw ESharingSettingsError(problem);
    }
    if (!std::isfinite(offset) || std::fabs(offset) > LargestCoverOffset)
        throw ESharingSettingsError(problem);
    return offset;
}

TSkyglowSettings ReadSkyglowSettings(const TIniFile& ini) {
    TSkyglowSettings s;
    const auto read = [&ini](const std::string& key) {
        return ini.ReadString(SkyglowSection, key, "");
    };
    s.Folder = read("Folder");
    s.InstrumentId = read("InstrumentID");
    s.DataSupplier = read("DataSupplier");
    s.License = read("License");
    for (std::size_t i = 0; i < s.Comments.size(); ++i)
        s.Comments[i] = read(CommentKey(i));
    s.TimeSynchronization = read("TimeSynchronization");
    s.TimeZone = read("TimeZone");
    const std::string offset = read("CoverOffset");
    try {
        if (!offset.empty())
            s.CoverOffset = ParseCoverOffset(offset);
    } catch (const ESharingSettingsError& e) {
        throw ESharingSettingsError(InFile(ini, SkyglowSection) + e.what());
    }
    return s;
}

void WriteSkyglowSettings(TIniFile& ini, const TSkyglowSettings& s) {
    const auto write = [&ini](const std::string& key, const std::string& value) {
        ini.WriteString(SkyglowSection, key, value);
    };
    write("Folder", s.Folder);
    write("InstrumentID", s.InstrumentId);
    write("DataSupplier", s.DataSupplier);
    write("License", s.License);
    for (std::size_t i = 0; i < s.Comments.size(); ++i)
        write(CommentKey(i), s.Comments[i]);
    write("CoverOffset", ShortestNumber(s.CoverOffset));
    write("TimeSynchronization", s.TimeSynchronization);
    write("TimeZone", s.TimeZone);
}

TMqttSettings ReadMqttSettings(const TIniFile& ini) {
    TMqttSettings s;
    const auto read = [&ini](const std::string& key) {
        return ini.ReadString(MqttSection, key, "");
    };
    s.Host = read("Host");
    s.TopicPrefix = read("TopicPrefix");
    s.CredentialsFile = read("CredentialsFile");
    s.CaFile = read("CAFile");
    const std::string port = read("Port");
    try {
        if (!port.empty())
            s.Port = ParsePort(port);
    } catch (const ESharingSettingsError& e) {
        throw ESharingSettingsError(InFile(ini, MqttSection) + e.what());
    }
    return s;
}

void WriteMqttSettings(TIniFile& ini, const TMqttSettings& s) {
    ini.WriteString(MqttSection, "Host", s.Host);
    ini.WriteString(MqttSection, "Port", std::to_string(s.Port));
    ini.WriteString(MqttSection, "TopicPrefix", s.TopicPrefix);
    ini.WriteString(MqttSection, "CredentialsFile", s.CredentialsFile);
    ini.WriteString(MqttSection, "CAFile", s.CaFile);
}

void ParseMqttAddress(const std::string& text, TMqttSettings& settings) {
    std::string host = text;
    std::string port;
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string::npos || (close + 1 < text.size() && text[close + 1] != ':'))
            throw ESharingSettingsError("The MQTT broker \"" + text +
                                        "\" is not HOST or HOST:PORT");
        host = text.substr(1, close - 1);
        if (close + 1 < text.size())
            port = text.substr(close + 2);
        if (close + 1 < text.size() && port.empty())
            throw ESharingSettingsError("The MQTT broker \"" + text + "\" has an empty port");
    } else if (const std::size_t colon = text.rfind(':'); colon != std::string::npos) {
        if (text.find(':') != colon)
            throw ESharingSettingsError("The MQTT broker \"" + text +
                                        "\" is not HOST or HOST:PORT (write an IPv6 address "
                                        "in brackets)");
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
        if (port.empty())
            throw ESharingSettingsError("The MQTT broker \"" + text + "\" has an empty port");
    }
    if (host.empty())
        throw ESharingSettingsError("The MQTT broker \"" + text + "\" has no host name");
    if (!port.empty())
        settings.Port = ParsePort(port);
    settings.Host = host;
}
