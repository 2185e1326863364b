#pragma once

#include "meter/ExclusivePort.h"
#include "platform/Exception.h"
#include "platform/Export.h"

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

// A failure of the serial port. The message is the fixed prefix, one blank and the text.
class NIGHTLUX_EXPORT ESerial : public Exception {
public:
    explicit ESerial(const std::string& text);
};

// The time-outs of a serial port: a read ends after ReadInterval without a further byte
// once the reply has begun, or after ReadTotal in all; a write ends after WriteTotal.
struct TSerialTimeouts {
    std::chrono::milliseconds ReadInterval{500};
    std::chrono::milliseconds ReadTotal{5000};
    std::chrono::milliseconds WriteTotal{5000};
};

// One serial port for synchronous exchange of raw bytes: 8 data bits at the configured
// speed, parity and stop bits, no flow control. The owner sets PortName, BaudRate, Parity
// and StopBits before Connect; they are read only there.
class NIGHTLUX_EXPORT TSerialComm {
public:
    // The time-outs every port starts with.
    static constexpr std::chrono::milliseconds ReadIntervalTimeout = TSerialTimeouts{}.ReadInterval;
    static constexpr std::chrono::milliseconds ReadTotalTimeout = TSerialTimeouts{}.ReadTotal;
    static constexpr std::chrono::milliseconds WriteTotalTimeout = TSerialTimeouts{}.WriteTotal;

    TSerialComm() = default;
    TSerialComm(const TSerialComm&) = delete;
    TSerialComm& operator=(const TSerialComm&) = delete;
    ~TSerialComm() { Disconnect(); }

    // Opens the port exclusively and configures it; throws ESerial naming the failed step
    // and leaves the port closed (or, when it was open already, open).
    void Connect();
    // Closes the port; harmless when it is closed.
    void Disconnect();
    bool IsConnected() const { return Handle.IsValid(); }

    // Writes count bytes in one call; throws ESerial with the count written when that is
    // not all of them (a closed port writes none).
    void Send(const char* data, int count);
    // Reads up to count bytes under the time-outs; returns how many arrived, 0 on a
    // closed port. Bytes of buffer beyond that count are left untouched.
    int Receive(char* buffer, int count);
    // As Receive, for a reply that begins with marker: bytes before the first marker are
    // dropped, and the reply (marker included) counts as begun only at the marker. Returns
    // 0 when no marker arrived within the total time-out.
    int ReceiveFrom(std::string_view marker, char* buffer, int count);
    // Reads one line that begins with marker and ends in LF under the time-outs: bytes
    // before the marker are dropped, at most maxLength bytes are taken. Returns the line
    // without CR LF, or nullopt when no whole line came in time. Throws ESerial when the
    // device has gone (hang-up, I/O error). Defined in SerialLine.cpp.
    std::optional<std::string> ReceiveLine(std::string_view marker, std::size_t maxLength);
    // Throws away received bytes not yet read; a failure is only reported as a
    // diagnostic line.
    void ClearReceiver();

    std::string PortName;     // as the user knows it: "COM1", "/dev/ttyUSB0", ...
    int BaudRate = 0;         // bits per second; 0: no port configured
    int Parity = 0;           // 0 none, 1 odd, 2 even, 3 mark, 4 space
    int StopBits = 0;         // 0 one, 1 one and a half, 2 two
    TSerialTimeouts Timeouts; // for each read and write from then on

private:
    TExclusivePort Handle; // the open port; invalid while closed
};
