#pragma once

#include <string>

// A symbolic link that gives a changing device, such as a pseudo-terminal, a stable name
// for as long as the object lives. An existing symbolic link of that name is replaced;
// any other file of that name is left alone and the constructor throws
// std::runtime_error saying why.
class TDeviceLink {
public:
    TDeviceLink(std::string linkPath, std::string target);
    TDeviceLink(const TDeviceLink&) = delete;
    TDeviceLink& operator=(const TDeviceLink&) = delete;
    // Removes the link if it still points at the target.
    ~TDeviceLink();

    const std::string& Path() const { return LinkPath; }

private:
    std::string LinkPath;
    std::string Target;
};
