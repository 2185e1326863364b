#include "meter/Dm_SQMLUR.h"

#include "meter/ReplyLayout.h"

namespace {

// A whole reply: its layout and the line end.
int ReplyLength(char type) {
    return static_cast<int>(ReplyLayoutLength(type)) + 2;
}

const char* const NoReply = "SQM-LU/R did not return the requested reading.\n";

} // namespace

TDmSQMLUR::TDmSQMLUR() : Serial(std::make_unique<TSerialComm>()) {
    SetBaudRate(115200);
    SetParity(0);
    SetStopBits(0);
}

TDmSQMLUR::~TDmSQMLUR() {
    TDmSQMLUR::Disconnect();
}

void TDmSQMLUR::Connect() {
    try {
        Serial->Connect();
    } catch (const ESerial& e) {
        throw ESqm(std::string("Could not connect with SQM-LU/R.\n") + e.what());
    }
}

void TDmSQMLUR::Disconnect() {
    Serial->Disconnect();
}

void TDmSQMLUR::ReadReading() {
    ReadingTime = 0.0;
    ReadReply("rx", ReplyLength('r'), ReadingReply);
    ReadingTime = Now();
}

void TDmSQMLUR::ReadUnitInfo() {
    ReadReply("ix", ReplyLength('i'), UnitInfoReply);
}

void TDmSQMLUR::ReadCalibration() {
    ReadReply("cx", ReplyLength('c'), CalibrationReply);
}

void TDmSQMLUR::ReadReply(const char* command, int replyLength, std::string& reply) {
    reply.clear();
    if (!Serial->IsConnected())
        throw ESqm("SQM-LU/R connection has been dropped.\nPlease try again.");
    Serial->ClearReceiver();
    Serial->Send(command, 2);
    try {
        // The reply starts at its type letter and comma: noise before it (a USB bridge's
        // first bytes) is dropped. It is taken only whole and in its layout, line end
        // included: a reply cut short, or one that noise on the line has changed, is none.
        std::string buffer(static_cast<std::size_t>(replyLength), ' ');
        const char marker[] = {command[0], ','};
        const int received =
            Serial->ReceiveFrom(std::string_view(marker, 2), buffer.data(), replyLength);
        Serial->ClearReceiver();
        const std::string_view line = std::string_view(buffer).substr(0, buffer.size() - 2);
        if (received != replyLength || !buffer.ends_with("\r\n") || !FitsReplyLayout(line))
            throw ESqm(NoReply);
        reply = std::move(buffer);
    } catch (const ESerial& e) {
        throw ESqm(NoReply + std::string(e.what()));
    }
}

void TDmSQMLUR::SetComPort(const std::string& portName) {
    Serial->PortName = portName;
}

void TDmSQMLUR::SetBaudRate(int baudRate) {
    Serial->BaudRate = baudRate;
}

void TDmSQMLUR::SetParity(int parity) {
    Serial->Parity = parity;
}

void TDmSQMLUR::SetStopBits(int stopBits) {
    Serial->StopBits = stopBits;
}

void TDmSQMLUR::SetTimeouts(const TSerialTimeouts& timeouts) {
    Serial->Timeouts = timeouts;
}
