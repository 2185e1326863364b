#pragma once

#include "meter/Dm_SQMBase.h"

#include <chrono>
#include <string>

// Asking a found device what it is: the unit information ("ix") that every SQM answers. The
// question takes the meter's only connection for a moment, so it is asked only on request.

// The unit information of a meter, fields as received (leading zeros kept).
struct TMeterIdentity {
    std::string Protocol;
    std::string Model;
    std::string Feature;
    std::string Serial;
};

// The identity in a unit information reply; raises ESqm when the reply is not one.
TMeterIdentity IdentityOfReply(const std::string& reply);

// Asks the Ethernet meter at host:port over TCP. A module that refuses the connection is
// asked again a few times, RetryPause apart: one that was just let go of by another client
// refuses for a moment. Raises ESqm (or ETcpError) when no unit information comes back.
struct TEthernetIdentifyOptions {
    int Port = 10001;
    std::chrono::milliseconds Timeout{3000};
    int Attempts = 3;
    std::chrono::milliseconds RetryPause{700};
};
TMeterIdentity IdentifyEthernetMeter(const std::string& host,
                                     const TEthernetIdentifyOptions& options = {});

// Whether a serial port can be had: free, held by another program, missing, or not open to
// this user.
enum class TPortState { Free, Busy, Missing, NoPermission };
// Opens and closes the port to find out; nothing is sent.
TPortState CheckPort(const std::string& device);

// Asks the meter on a serial port (115200 8N1) and waits at most timeout for its reply.
// Raises ESqm when the port is busy or missing or nothing answers as a meter does.
TMeterIdentity IdentifySerialMeter(const std::string& device,
                                   std::chrono::milliseconds timeout = std::chrono::seconds(2));
