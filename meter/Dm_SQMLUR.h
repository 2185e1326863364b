#pragma once

#include "meter/Dm_SQMBase.h"
#include "meter/SerialComm.h"

#include <memory>
#include <string>

// The meter link for the models on a serial port: SQM-LU and SQM-LU-DL over USB, SQM-LR
// over RS-232. A reply starts at its type letter and comma and is framed by its fixed length.
class TDmSQMLUR : public TDmSQMBase {
public:
    TDmSQMLUR();
    ~TDmSQMLUR() override;

    void Connect() override;
    void Disconnect() override;
    void ReadReading() override;
    void ReadUnitInfo() override;
    void ReadCalibration() override;

    // Port and line settings, taking effect at the next Connect.
    void SetComPort(const std::string& portName);
    void SetBaudRate(int baudRate);
    void SetParity(int parity);
    void SetStopBits(int stopBits);
    // The port's time-outs, from the next read or write on; the port starts with its own.
    void SetTimeouts(const TSerialTimeouts& timeouts);
    // The port itself, for the data logger's commands (meter/DataLogger.h).
    TSerialComm& GetSerial() { return *Serial; }

private:
    // Sends command and keeps the reply of replyLength bytes in reply.
    void ReadReply(const char* command, int replyLength, std::string& reply);

    std::unique_ptr<TSerialComm> Serial;
};
