#include "meter/Dm_SQMLUR.h"

namespace {

// Whole replies, line end included.
constexpr int ReadingReplyLength = 57;
constexpr int UnitInfoReplyLength = 39;
constexpr int CalibrationReplyLength = 58;

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
    ReadReply("rx", ReadingReplyLength, ReadingReply);
    ReadingTime = Now();
}

void TDmSQMLUR::ReadUnitInfo() {
    ReadReply("ix", UnitInfoReplyLength, UnitInfoReply);
}

void TDmSQMLUR::ReadCalibration() {
    ReadReply("cx", CalibrationReplyLength, CalibrationReply);
}

void TDmSQMLUR::ReadReply(const char* command, int replyLength, std::string& reply) {
    reply.clear();
    if (!Serial->IsConnected())
        throw ESqm("SQM-LU/R connection has been dropped.\nPlease try again.");
    Serial->ClearReceiver();
    Serial->Send(command, 2);
    try {
        // Positions the meter never sent read as blanks, so a short reply shows no stray
        // bytes and its missing number columns fail to convert. The reply starts at its type
        // letter and comma: noise before it (a USB bridge's first bytes) is dropped.
        std::string buffer(static_cast<std::size_t>(replyLength), ' ');
        const char marker[] = {command[0], ','};
        const int received =
            Serial->ReceiveFrom(std::string_view(marker, 2), buffer.data(), replyLength);
        Serial->ClearReceiver();
        if (received == 0)
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
