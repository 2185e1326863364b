#pragma once

#include "platform/Exception.h"

#include <string>

namespace astro {

// An invalid date or time; the message is the fixed prefix, one blank and the reason.
// Private to the library: callers catch it as Exception.
class EJdeError : public Exception {
public:
    explicit EJdeError(const std::string& reason)
        : Exception("The specified date/time is not valid: " + reason) {}
};

} // namespace astro
