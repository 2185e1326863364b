#pragma once

#include "platform/FileDescriptor.h"
#include "tools/sim/MeterReplies.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <thread>

// What a simulated meter has seen so far.
struct TMeterServerCounts {
    int Connections = 0;       // clients accepted
    int OpenConnections = 0;   // clients connected now
    std::size_t BytesSent = 0; // replies and reports, all clients
    std::string Received;      // every byte received, all clients
};

// A simulated SQM-LE on 127.0.0.1, served from a thread of its own. Answers "ix", "rx" and
// "cx" in the meter's layouts with the faults that its options switch on. Like the real
// meter it serves one client at a time: while a client is connected the port stops
// listening, so a second client is refused (unless RefuseSecondClient is off).
class TTcpMeterServer {
public:
    // Listens at port, or at a free port when port is 0; raises ESocketError when it cannot.
    explicit TTcpMeterServer(TMeterOptions options = {}, std::uint16_t port = 0);
    TTcpMeterServer(const TTcpMeterServer&) = delete;
    TTcpMeterServer& operator=(const TTcpMeterServer&) = delete;
    ~TTcpMeterServer();

    std::uint16_t GetPort() const { return Port; }
    // Replaces the options for the commands and connections that follow.
    void SetOptions(const TMeterOptions& options);

    TMeterServerCounts GetCounts() const;
    // Empties Received, which otherwise grows with every command of a long run.
    void ForgetReceived();
    // Waits until the condition holds for the counts; false if it did not within timeout.
    bool WaitUntil(const std::function<bool(const TMeterServerCounts&)>& condition,
                   std::chrono::milliseconds timeout) const;

private:
    using Clock = std::chrono::steady_clock;
    struct TPending {
        Clock::time_point Due;
        std::string Bytes;
    };
    enum class TAfter { Keep, Close, Reset };
    struct TClient {
        TFileDescriptor Socket;
        std::string Inbound;
        std::list<TPending> Outgoing;
        bool ResetWhenSent = false; // reset once the bytes queued so far have gone
    };

    void Run();
    // Takes options set since the last call.
    void ApplyOptions();
    void Accept();
    // Reads what the client sent and answers it; says whether to keep the client.
    TAfter Receive(TClient& client);
    TAfter Answer(TClient& client, const std::string& command);
    // Sends what is due; says whether to keep the client.
    TAfter SendDue(TClient& client);
    void Close(std::list<TClient>::iterator client, bool reset);
    bool SetListening(bool on);
    // Until the next reply byte falls due; -1 when none is waiting for its time.
    int MillisecondsToNextDue() const;
    void Update(const std::function<void(TMeterServerCounts&)>& change);

    TFileDescriptor Listener;
    TFileDescriptor Wake; // eventfd that ends the thread
    std::uint16_t Port = 0;
    bool Listening = false;
    std::list<TClient> Clients;
    TMeterReplies Replies;

    mutable std::mutex Lock;
    mutable std::condition_variable Changed;
    TMeterOptions Options;       // guarded by Lock
    bool OptionsChanged = false; // guarded by Lock
    TMeterServerCounts Counts;   // guarded by Lock
    std::thread Thread;
};
