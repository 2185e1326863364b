#pragma once

#include <cstdint>
#include <string>

// The meter exchange done with nothing but system calls: unit information ("ix") and a
// reading ("rx"), each reply read in full. These are the floors the links are measured
// against, and the whole of the minimal reading program. Failures (a refused connection,
// a silent meter after 5 s, a dropped line) raise std::system_error or std::runtime_error.

struct TRawReplies {
    std::string UnitInfo; // as received, line end included
    std::string Reading;
};

// Connects to 127.0.0.1 at port, exchanges the two commands (each reply ends at its LF),
// and closes.
TRawReplies RawTcpExchange(std::uint16_t port);

// Opens the serial device, exchanges the two commands (each reply has its fixed length)
// and closes. The device is opened non-blocking, as the serial link opens it, and taken as
// it is configured.
TRawReplies RawSerialExchange(const std::string& devicePath);
