#include "platform/Folders.h"

#include "platform/Exception.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

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
