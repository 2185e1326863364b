#include "meter/Dm_SQMLE.h"

#include "meter/ReplyLayout.h"

#include <cerrno>
#include <chrono>

namespace {

const char* const NotConnected = "Could not connect with SQM-LE.\nPlease try again later.";
const char* const Refused = "Could not connect with SQM-LE.\nPlease verify that the IP address "
                            "and port number are correct; the meter may be connected to another "
                            "user.";
const char* const ConnectTimedOut = "Could not connect with SQM-LE.\nPlease verify that the IP "
                                    "address and port number are correct; try increasing the "
                                    "time out value.";
const char* const Dropped = "SQM-LE connection has been dropped.\nPlease try again.";
const char* const NoReply = "SQM did not return the requested reading.\nPlease verify that the IP "
                            "address and port number are correct; try increasing the time out "
                            "value.";
const char* const NoReading =
    "SQM-LE did not return the requested reading.\nPlease try again later.";

} // namespace

TDmSQMLE::~TDmSQMLE() {
    TDmSQMLE::Disconnect();
}

void TDmSQMLE::Connect() {
    Tcp.SetHost(Host);
    Tcp.SetPort(Port);
    Tcp.SetConnectTimeout(std::chrono::milliseconds(Timeout));
    Tcp.SetReadTimeout(std::chrono::milliseconds(Timeout));
    try {
        Tcp.Connect();
        if (!Tcp.Connected())
            throw ESqm(NotConnected);
    } catch (const ESocketError& e) {
        if (e.LastError() == ECONNREFUSED)
            throw ESqm(Refused);
        throw;
    } catch (const EConnectTimeout&) {
        throw ESqm(ConnectTimedOut);
    }
}

void TDmSQMLE::Disconnect() {
    Tcp.Disconnect();
}

void TDmSQMLE::ReadReading() {
    Read("rx", ReadingReply, true);
}

void TDmSQMLE::ReadUnitInfo() {
    Read("ix", UnitInfoReply, false);
}

void TDmSQMLE::ReadCalibration() {
    Read("cx", CalibrationReply, false);
}

void TDmSQMLE::Read(const char* command, std::string& reply, bool isReading) {
    reply.clear();
    if (isReading)
        ReadingTime = 0.0;
    if (!Tcp.Connected())
        throw ESqm(Dropped);
    // Interval reports queued before this client connected, or a late reply to an earlier
    // command, must not be taken for the reply to this one.
    Tcp.DiscardInput();
    Tcp.Write(command);
    try {
        reply = ReadReplyLine(command[0]);
        if (isReading)
            ReadingTime = Now();
    } catch (const ESocketError& e) {
        throw ESqm(std::string(NoReading) + "\nSocket error " + std::to_string(e.LastError()));
    }
}

std::string TDmSQMLE::ReadReplyLine(char type) {
    // A meter set to push interval reports sends them whenever they fall due: lines of
    // another kind are passed over, all under one time-out.
    const auto deadline = Tcp.ReadDeadline();
    for (;;) {
        std::string line = Tcp.ReadLn(deadline);
        if (Tcp.ReadLnTimedOut())
            throw ESqm(NoReply);
        if (line.empty())
            throw ESqm(NoReading);
        if (line.size() < 2 || line[0] != type || line[1] != ',')
            continue;
        // A reply of the command's kind is taken only in its layout.
        if (!FitsReplyLayout(line))
            throw ESqm(NoReading);
        return line;
    }
}
