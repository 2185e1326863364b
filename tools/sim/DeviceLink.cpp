#include "tools/sim/DeviceLink.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::runtime_error LinkError(const std::string& path, const char* what, int error) {
    return std::runtime_error("Cannot link " + path + ": " + what + ": " + std::strerror(error));
}

std::string LinkTarget(const std::string& path) {
    char target[4096];
    const ssize_t n = ::readlink(path.c_str(), target, sizeof target);
    return n > 0 ? std::string(target, static_cast<std::size_t>(n)) : std::string();
}

} // namespace

TDeviceLink::TDeviceLink(std::string linkPath, std::string target)
    : LinkPath(std::move(linkPath)), Target(std::move(target)) {
    struct stat existing {};
    if (::lstat(LinkPath.c_str(), &existing) == 0 && !S_ISLNK(existing.st_mode))
        throw std::runtime_error("Cannot link " + LinkPath +
                                 ": a file of that name exists and is not a symbolic link");
    // A link made beside the old one and renamed over it: the name never goes missing.
    const std::string temporary = LinkPath + ".new-" + std::to_string(::getpid());
    if (::symlink(Target.c_str(), temporary.c_str()) != 0)
        throw LinkError(LinkPath, "symlink", errno);
    if (::rename(temporary.c_str(), LinkPath.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        throw LinkError(LinkPath, "rename", error);
    }
}

TDeviceLink::~TDeviceLink() {
    if (LinkTarget(LinkPath) == Target)
        ::unlink(LinkPath.c_str());
}
