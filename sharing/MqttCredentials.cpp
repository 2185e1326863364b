#include "sharing/MqttCredentials.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace {

void CheckPair(const TMqttCredentials& c, const std::string& source) {
    if (c.Username.empty() && !c.Password.empty())
        throw EMqttError(source + " gives a password but no user name");
}

} // namespace

TMqttCredentials ReadMqttCredentials(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in)
        throw EMqttError("Could not read the MQTT credentials file " + fileName + ": " +
                         std::strerror(errno));
    TMqttCredentials c;
    bool seenUser = false;
    bool seenPassword = false;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#')
            continue;
        const std::size_t equals = line.find('=');
        const std::string key =
            equals == std::string::npos ? line : line.substr(first, equals - first);
        const std::string where =
            "The MQTT credentials file " + fileName + ", line " + std::to_string(number);
        const auto take = [&](bool& seen, std::string& value) {
            if (seen)
                throw EMqttError(where + ": \"" + key + "\" is given twice");
            seen = true;
            value = line.substr(equals + 1);
        };
        if (key == "username")
            take(seenUser, c.Username);
        else if (key == "password")
            take(seenPassword, c.Password);
        else
            throw EMqttError(where + ": expected \"username=\" or \"password=\"");
    }
    CheckPair(c, "The MQTT credentials file " + fileName);
    return c;
}

TMqttCredentials MqttCredentialsFromEnvironment() {
    TMqttCredentials c;
    if (const char* user = std::getenv("NIGHTLUX_MQTT_USERNAME"))
        c.Username = user;
    if (const char* password = std::getenv("NIGHTLUX_MQTT_PASSWORD"))
        c.Password = password;
    CheckPair(c, "NIGHTLUX_MQTT_PASSWORD");
    return c;
}

TMqttCredentials ResolveMqttCredentials(const std::string& credentialsFile) {
    return credentialsFile.empty() ? MqttCredentialsFromEnvironment()
                                   : ReadMqttCredentials(credentialsFile);
}
