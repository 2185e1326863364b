#pragma once

#include "platform/Export.h"

#include <stdexcept>
#include <string>

// Base of every exception the program raises: one message text.
class NIGHTLUX_EXPORT Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    std::string Message() const { return what(); }
};

// Raised by text-to-number and date conversions.
class NIGHTLUX_EXPORT EConvertError : public Exception {
public:
    using Exception::Exception;
};
