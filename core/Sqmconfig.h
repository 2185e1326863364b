#pragma once

#include "platform/Export.h"

#include <cstdint>
#include <string>

class TIniFile;

// The connection record: what the settings file keeps of the meter connection, in a one-line
// text form "Name, Model, Host, Port, Timeout, ComPort, BaudRate".
class NIGHTLUX_EXPORT TSQMConfig {
public:
    TSQMConfig() = default;
    // Parses the text form; never fails. Items are split at commas and at blanks or control
    // characters outside double quotes; a quoted item loses its quotes, a doubled quote
    // inside standing for one. Missing items keep the defaults, as do numbers that are not
    // 32-bit decimal integers.
    explicit TSQMConfig(const std::string& text);

    // "%s, %s, %s, %d, %u, %s, %u" of Name, Model, Host, Port, Timeout, ComPort, BaudRate.
    // With quote, Name and Model are enclosed in double quotes, inner quotes doubled. An
    // empty field that is not quoted is written "(null)".
    std::string AsString(bool quote) const;

    std::string Name;
    std::string Model;
    std::string ComPort;
    std::int32_t BaudRate = 115200;
    std::string Host;
    std::int32_t Port = 10001;
    std::int32_t Timeout = 8000; // milliseconds
};

// The record kept as Config-1 in section SQM of the settings, or the defaults when there is
// none.
TSQMConfig ReadSavedConfig(const TIniFile& ini);

// The folder of the settings file: the user's configuration folder ($XDG_CONFIG_HOME, by
// default ~/.config) followed by "Corvatek/Nightlux/3.0"; empty when there is no
// configuration folder. Nothing is created.
std::string SettingsFolder();
// SettingsFolder followed by "/nightlux.ini"; empty, never "/nightlux.ini", when there is no
// settings folder (NoConfigFolderMessage says why): the programs refuse to start then.
std::string SettingsFileName();
