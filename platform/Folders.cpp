#include "platform/Folders.h"

#include "platform/Exception.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

[[noreturn]] void CannotCreate(const std::string& name, int error) {
    throw Exception("Unable to create directory \"" + name + "\": " + std::strerror(error));
}

} // namespace

bool FileExists(const std::string& name) {
    struct stat st {};
    return !name.empty() && ::stat(name.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& name) {
    struct stat st {};
    return !name.empty() && ::stat(name.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void ForceDirectories(const std::string& name) {
    if (name.empty())
        CannotCreate(name, ENOENT);
    // Create each prefix ending before a "/" in turn, then the whole name.
    for (std::size_t pos = name.find('/', 1);; pos = name.find('/', pos + 1)) {
        const std::string prefix = name.substr(0, pos);
        if (!prefix.empty() && ::mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST)
            CannotCreate(name, errno);
        if (pos == std::string::npos)
            break;
    }
    if (!DirectoryExists(name))
        CannotCreate(name, ENOTDIR);
}

std::string UsableAccountHome(const std::string& home) {
    if (home.empty() || home.find_first_not_of('/') == std::string::npos)
        return {};
    return DirectoryExists(home) ? home : std::string();
}

namespace {

std::string AccountHome() {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr)
        return found->pw_dir;
    return {};
}

} // namespace

std::string UserConfigFolder() {
    const char* home = std::getenv("HOME");
    // The password database is asked only when HOME does not answer.
    return UserConfigFolder(home != nullptr && home[0] != '\0' ? std::string() : AccountHome());
}

std::string UserConfigFolder(const std::string& accountHome) {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/')
        return config;
    std::string home;
    if (const char* env = std::getenv("HOME"); env != nullptr && env[0] != '\0')
        home = env;
    else
        home = UsableAccountHome(accountHome);
    if (home.empty())
        return {};
    return (home.ends_with('/') ? home : home + '/') + ".config";
}

std::string NoConfigFolderMessage() {
    return "There is no folder for the settings: HOME is not set and the account has no home "
           "folder. Set HOME (or XDG_CONFIG_HOME) to a folder where the settings may be kept.";
}
