#pragma once

#include "platform/Exception.h"
#include "platform/FileDescriptor.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

// Any failure of the TCP client.
class ETcpError : public Exception {
public:
    using Exception::Exception;
};

// A call of the client made with settings or in a state that cannot work: no host, a port
// outside 1..65535, a connect while connected, a read or write while not connected.
class ETcpUsageError : public ETcpError {
public:
    using ETcpError::ETcpError;
};

// A failed socket call or host lookup. LastError() is the errno value of the failing call
// (ECONNREFUSED for a refused connection); for a host name that does not resolve it is the
// resolver's EAI_ code, which is negative.
class ESocketError : public ETcpError {
public:
    ESocketError(const std::string& message, int lastError);
    int LastError() const { return Code; }

private:
    int Code;
};

// The connection was not established within the connect time-out.
class EConnectTimeout : public ETcpError {
public:
    using ETcpError::ETcpError;
};

// The other side closed the connection in an orderly way while a line was awaited.
class EConnectionClosed : public ETcpError {
public:
    using ETcpError::ETcpError;
};

// A received line is longer than TTcpClient::MaxLineLength bytes.
class ELineTooLong : public ETcpError {
public:
    using ETcpError::ETcpError;
};

// A small blocking IPv4 TCP client. Time-outs of zero or less mean no limit of its own.
class TTcpClient {
public:
    static constexpr std::size_t MaxLineLength = 16384;

    TTcpClient() = default;
    TTcpClient(const TTcpClient&) = delete;
    TTcpClient& operator=(const TTcpClient&) = delete;
    ~TTcpClient() = default;

    void SetHost(const std::string& host) { Host = host; }
    void SetPort(int port) { Port = port; }
    void SetConnectTimeout(std::chrono::milliseconds timeout) { ConnectTimeout = timeout; }
    void SetReadTimeout(std::chrono::milliseconds timeout) { ReadTimeout = timeout; }
    const std::string& GetHost() const { return Host; }
    int GetPort() const { return Port; }

    // Called once the connection is open, before Connect returns; what it throws reaches
    // the caller of Connect with the connection left open.
    std::function<void()> OnConnected;

    // Resolves the host (IPv4; the lookup is outside the connect time-out) and opens the
    // connection within the connect time-out.
    void Connect();
    // Closes the connection and forgets unread input; harmless when not connected.
    void Disconnect() noexcept;
    // True while the connection is open, and while received data waits unread even when
    // the other side has closed. Does not wait.
    bool Connected();

    // Sends the bytes as they are, nothing appended.
    void Write(std::string_view bytes);
    // The next line: the bytes up to the first LF, without the LF and a CR just before it,
    // bytes above 127 read as '?'. When no complete line has arrived within the read
    // time-out, returns an empty line and ReadLnTimedOut() is true; the bytes of the
    // incomplete line stay unread.
    std::string ReadLn();
    // As ReadLn, waiting until the deadline instead, so that several lines can be read
    // under one time-out.
    std::string ReadLn(std::chrono::steady_clock::time_point deadline);
    // The deadline of a wait for data that starts now, under the read time-out.
    std::chrono::steady_clock::time_point ReadDeadline() const {
        return DeadlineAfter(ReadTimeout);
    }
    bool ReadLnTimedOut() const { return TimedOut; }
    // Throws away the input received so far; what arrives later is kept.
    void DiscardInput() noexcept;
    // Waits up to timeout for new input and takes in all that has arrived; returns the
    // number of bytes received and not yet returned by ReadLn.
    std::size_t CheckForInput(std::chrono::milliseconds timeout);

private:
    void CheckCanConnect();
    // Receives what is there into Input, waiting until the deadline for the first byte;
    // false on time-out.
    bool Receive(std::chrono::steady_clock::time_point deadline);
    TFileDescriptor OpenConnection(const struct sockaddr_in& address) const;
    std::chrono::steady_clock::time_point DeadlineAfter(std::chrono::milliseconds timeout) const;
    std::string Endpoint() const;

    TFileDescriptor Socket;
    std::string Input; // received, not yet returned
    bool TimedOut = false;
    std::string Host;
    int Port = 0;
    std::chrono::milliseconds ConnectTimeout{0};
    std::chrono::milliseconds ReadTimeout{0};
};
