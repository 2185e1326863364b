#pragma once

#include "platform/Exception.h"

#include <string>

// MQTT settings or credentials that cannot be used; the message says why.
class EMqttError : public Exception {
public:
    using Exception::Exception;
};

// A user name and password for the broker; both empty: connect without.
struct TMqttCredentials {
    std::string Username;
    std::string Password;
};

// A credentials file: "username=NAME" and "password=SECRET" lines, blank lines and lines
// starting with "#" ignored; the value runs to the line end (CR LF or LF), blanks kept.
// Raises EMqttError for a file that cannot be read, an unknown or repeated key, and a
// password without a user name.
TMqttCredentials ReadMqttCredentials(const std::string& fileName);

// NIGHTLUX_MQTT_USERNAME and NIGHTLUX_MQTT_PASSWORD; raises EMqttError for a password
// without a user name.
TMqttCredentials MqttCredentialsFromEnvironment();

// The file when one is named, else the environment.
TMqttCredentials ResolveMqttCredentials(const std::string& credentialsFile);
