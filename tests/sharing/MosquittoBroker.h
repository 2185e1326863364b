#pragma once

#include "tests/end_to_end/ChildProcess.h"
#include "tests/support/TempFolder.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct mosquitto;

// A real Mosquitto broker on 127.0.0.1, run as a child process by the current user (also
// when that is root), without persistence. Stop and Start again keep the port.
class TMosquittoBroker {
public:
    // extraConfig: more lines for the listener (TLS, passwords).
    explicit TMosquittoBroker(std::string extraConfig = "", bool start = true);
    ~TMosquittoBroker();

    std::uint16_t GetPort() const { return Port; }
    const TTempFolder& GetFolder() const { return Folder; }
    void Start();
    void Stop();

private:
    TTempFolder Folder;
    std::uint16_t Port = 0;
    std::string ExtraConfig;
    std::unique_ptr<TChildProcess> Process;
};

struct TReceivedMessage {
    std::string Topic;
    std::string Payload;
    bool Retained = false;
};

// A client subscribed to every topic once constructed, keeping what arrives.
class TTestSubscriber {
public:
    // With a CA file the connection uses TLS.
    explicit TTestSubscriber(std::uint16_t port, const std::string& caFile = "");
    ~TTestSubscriber();

    // Waits until the messages received so far satisfy condition; false after timeout.
    bool WaitUntil(const std::function<bool(const std::vector<TReceivedMessage>&)>& condition,
                   std::chrono::seconds timeout = std::chrono::seconds(60));
    std::vector<TReceivedMessage> Messages() const;
    // The messages on one topic.
    std::vector<TReceivedMessage> On(const std::string& topic) const;

private:
    static void OnMessage(mosquitto*, void* self, const struct mosquitto_message* message);

    mosquitto* Client = nullptr;
    mutable std::mutex Lock;
    std::condition_variable Arrived;
    std::vector<TReceivedMessage> Received;
    bool Subscribed = false;
};

std::size_t CountOn(const std::vector<TReceivedMessage>& messages, const std::string& topic);
