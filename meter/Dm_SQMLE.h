#pragma once

#include "meter/Dm_SQMBase.h"
#include "platform/TcpClient.h"

#include <string>

// The meter link to the Ethernet model SQM-LE: one TCP connection per read cycle.
// The owner sets Host, Port and Timeout (milliseconds, for connecting and for each reply)
// before Connect.
class TDmSQMLE : public TDmSQMBase {
public:
    TDmSQMLE() = default;
    ~TDmSQMLE() override;

    void Connect() override;
    void Disconnect() override;
    void ReadReading() override;
    void ReadUnitInfo() override;
    void ReadCalibration() override;

    TTcpClient Tcp;
    std::string Host;
    int Port = 0;

private:
    // Sends the command and keeps its reply line; stamps the reading time when asked.
    void Read(const char* command, std::string& reply, bool isReading);
    // The next line that starts with the reply's type letter and a comma.
    std::string ReadReplyLine(char type);
};
