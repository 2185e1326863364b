#include "sharing/MqttCredentials.h"

#include "platform/FileDescriptor.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void CheckPair(const TMqttCredentials& c, const std::string& source) {
    if (c.Username.empty() && !c.Password.empty())
        throw EMqttError(source + " gives a password but no user name");
}

[[noreturn]] void CouldNotRead(const std::string& fileName, const std::string& reason) {
    throw EMqttError("Could not read the MQTT credentials file " + fileName + ": " + reason);
}

// The whole file, refused unless it is a regular file of at most the size bound that only
// its owner may read.
std::string ReadPrivateFile(const std::string& fileName) {
    // Non-blocking, so that a FIFO at the name cannot hold the program up.
    const TFileDescriptor fd(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.IsValid())
        CouldNotRead(fileName, std::strerror(errno));
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0)
        CouldNotRead(fileName, std::strerror(errno));
    if (S_ISDIR(st.st_mode))
        CouldNotRead(fileName, "it is a folder");
    if (!S_ISREG(st.st_mode))
        CouldNotRead(fileName, "it is not a regular file");
    if ((st.st_mode & (S_IRGRP | S_IROTH)) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
        throw EMqttError("The MQTT credentials file " + fileName +
                         " can be read by other users (its mode is " + mode +
                         "); it holds a password, so it is not used. Make it private with: "
                         "chmod 600 " +
                         fileName);
    }
    std::string bytes;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd.Get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            CouldNotRead(fileName, std::strerror(errno));
        if (got == 0)
            return bytes;
        bytes.append(buffer, static_cast<std::size_t>(got));
        if (bytes.size() > MqttCredentialsSizeLimit)
            CouldNotRead(fileName, "it is larger than " +
                                       std::to_string(MqttCredentialsSizeLimit / 1024) +
                                       " KiB, which no credentials file is");
    }
}

} // namespace

TMqttCredentials ReadMqttCredentials(const std::string& fileName) {
    std::istringstream in(ReadPrivateFile(fileName));
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
