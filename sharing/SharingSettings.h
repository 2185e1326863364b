#pragma once

#include "platform/Exception.h"

#include <array>
#include <string>

class TIniFile;

// A sharing setting that cannot be used; the message names it.
class ESharingSettingsError : public Exception {
public:
    using Exception::Exception;
};

// What the skyglow data files carry besides the readings, kept in section [Skyglow]. Empty
// texts are written as placeholders in the files' headers.
struct TSkyglowSettings {
    static constexpr std::size_t CommentLines = 5;

    std::string Folder; // empty: no skyglow files
    std::string InstrumentId;
    std::string DataSupplier;
    std::string License;
    std::array<std::string, CommentLines> Comments;
    double CoverOffset = 0.0; // magnitudes, for a housing window
    std::string TimeSynchronization;
    std::string TimeZone; // an IANA zone name; empty: the system's zone
};

// How to reach an MQTT broker, kept in section [MQTT]. Credentials never live here: only the
// name of a file that holds them.
struct TMqttSettings {
    static constexpr int DefaultPort = 1883;

    std::string Host; // empty: no publishing
    int Port = DefaultPort;
    std::string TopicPrefix;     // empty: "nightlux/<serial number>"
    std::string CredentialsFile; // "username=" and "password=" lines
    std::string CaFile;          // set: TLS, the broker's certificate checked against it
};

// Missing keys give the defaults. A cover offset that is not a number, or outside -5..5,
// raises ESharingSettingsError naming the settings file.
TSkyglowSettings ReadSkyglowSettings(const TIniFile& ini);
void WriteSkyglowSettings(TIniFile& ini, const TSkyglowSettings& settings);
// A port outside 1..65535 raises ESharingSettingsError naming the settings file.
TMqttSettings ReadMqttSettings(const TIniFile& ini);
void WriteMqttSettings(TIniFile& ini, const TMqttSettings& settings);

// "HOST" or "HOST:PORT" (a bracketed IPv6 address "[::1]:1884" too) into the settings'
// host and port; raises ESharingSettingsError for an empty host or an impossible port.
void ParseMqttAddress(const std::string& text, TMqttSettings& settings);

// A cover offset typed by a user, e.g. "-0.11"; raises ESharingSettingsError.
double ParseCoverOffset(const std::string& text);
