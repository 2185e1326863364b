#include "meter/MeterIdentify.h"

#include "meter/Dm_SQMLE.h"
#include "meter/Dm_SQMLUR.h"
#include "meter/ExclusivePort.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <thread>

namespace {

bool AllDigits(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

// The open error of the port, or 0 when it could be opened and locked.
int OpenError(const std::string& device) {
    errno = 0;
    TExclusivePort port = TExclusivePort::Open(device);
    if (port.IsValid())
        return 0;
    // A failed lock leaves errno as flock set it (EWOULDBLOCK); a failed exclusive open of
    // a terminal held in exclusive mode gives EBUSY.
    return errno == 0 ? EBUSY : errno;
}

} // namespace

TMeterIdentity IdentityOfReply(const std::string& reply) {
    TMeterIdentity identity;
    if (reply.size() >= 37 && reply.compare(0, 2, "i,") == 0) {
        identity.Protocol = CutField(reply, 3, 8);
        identity.Model = CutField(reply, 12, 8);
        identity.Feature = CutField(reply, 21, 8);
        identity.Serial = CutField(reply, 30, 8);
    }
    if (!AllDigits(identity.Protocol) || !AllDigits(identity.Model) ||
        !AllDigits(identity.Feature) || !AllDigits(identity.Serial))
        throw ESqm("The device did not answer as a meter does: its unit information reads '" +
                   reply.substr(0, reply.find_first_of("\r\n")) + "'.");
    return identity;
}

TMeterIdentity IdentifyEthernetMeter(const std::string& host,
                                     const TEthernetIdentifyOptions& options) {
    for (int attempt = 1;; ++attempt) {
        TDmSQMLE link;
        link.Host = host;
        link.Port = options.Port;
        link.Timeout = static_cast<int>(options.Timeout.count());
        const auto start = std::chrono::steady_clock::now();
        try {
            link.Connect();
        } catch (const ESqm&) {
            // A refusal comes at once; a module that let the connect time out is not worth
            // waiting for again.
            if (attempt >= options.Attempts ||
                std::chrono::steady_clock::now() - start >= options.Timeout / 2)
                throw;
            std::this_thread::sleep_for(options.RetryPause);
            continue;
        }
        link.ReadUnitInfo();
        link.Disconnect();
        return IdentityOfReply(link.UnitInfoReply);
    }
}

TPortState CheckPort(const std::string& device) {
    switch (OpenError(device)) {
    case 0:
        return TPortState::Free;
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return TPortState::Missing;
    case EACCES:
    case EPERM:
        return TPortState::NoPermission;
    default:
        return TPortState::Busy;
    }
}

TMeterIdentity IdentifySerialMeter(const std::string& device, std::chrono::milliseconds timeout) {
    switch (CheckPort(device)) {
    case TPortState::Free:
        break;
    case TPortState::Busy:
        throw ESqm("The port " + device + " is in use by another program; it was not asked.");
    case TPortState::Missing:
        throw ESqm("The port " + device + " is not there.");
    case TPortState::NoPermission:
        throw ESqm("The port " + device +
                   " may not be opened by this user (on most systems, "
                   "members of the group dialout may).");
    }
    TDmSQMLUR link;
    link.SetComPort(device);
    link.SetBaudRate(115200);
    TSerialTimeouts timeouts;
    timeouts.ReadTotal = timeout;
    timeouts.WriteTotal = timeout;
    link.SetTimeouts(timeouts);
    link.Connect();
    link.ReadUnitInfo();
    link.Disconnect();
    return IdentityOfReply(link.UnitInfoReply);
}
