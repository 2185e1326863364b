#pragma once

#include "platform/Notice.h"
#include "sharing/MqttCredentials.h"
#include "sharing/SharedReading.h"
#include "sharing/SharingSettings.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

struct mosquitto;

struct TMqttPublisherOptions {
    TMqttSettings Settings;
    TMqttCredentials Credentials;
    std::string Model;           // "SQM-LE"
    std::string SoftwareVersion; // named in the discovery configs
    // A broker not reached within this is reported as away.
    std::chrono::seconds ConnectTimeout{10};
    // A connected broker that stops answering is given up after about 1.5 times this.
    std::chrono::seconds KeepAlive{30};
    // Connection attempts wait from the first delay, doubling up to the last.
    std::chrono::seconds FirstReconnectDelay{1};
    std::chrono::seconds LastReconnectDelay{60};
    // Readings held while the broker is away; beyond this they are not published.
    std::size_t MaxBacklog = 1000;
};

// Publishes readings to an MQTT broker from threads of its own (libmosquitto's network
// thread and a connecting thread), so a broker that is down or slow never holds up the
// caller. The first reading fixes the topic prefix (the settings' prefix, or
// "nightlux/<serial number>"), sets the last will ("offline", retained, on
// <prefix>/availability) and starts connecting. On every connection it publishes "online"
// (retained) and the discovery configs (retained), then the readings that waited. Readings
// go out with QoS 1; while the broker is away up to MaxBacklog of them wait. Connections
// are retried in the background with growing delays. Trouble is reported once per outage
// through TakeNotices, and so is the return of the broker.
class TMqttPublisher {
public:
    // Raises EMqttError for options that can never work (no host, a CA file that cannot be
    // read, a library failure).
    explicit TMqttPublisher(TMqttPublisherOptions options);
    TMqttPublisher(const TMqttPublisher&) = delete;
    TMqttPublisher& operator=(const TMqttPublisher&) = delete;
    // Gives waiting readings, then "offline" (retained), up to ShutdownWait to leave when
    // the broker is there, and disconnects.
    ~TMqttPublisher();

    static constexpr std::chrono::seconds ShutdownWait{3};

    // Sends or keeps the reading; never blocks on the network, never throws for broker
    // trouble.
    void Publish(const TSharedReading& reading);

    // The notices gathered since the last call, oldest first.
    std::vector<TNotice> TakeNotices();
    bool IsConnected() const { return Connected.load(); }
    // The topic prefix, empty before the first reading.
    std::string GetTopicPrefix() const;

private:
    static void OnConnect(mosquitto*, void* self, int rc);
    static void OnDisconnect(mosquitto*, void* self, int rc);
    static void OnPublish(mosquitto*, void* self, int mid);
    static void OnLog(mosquitto*, void* self, int level, const char* text);

    void Start(const std::string& serialNumber);
    // The connecting thread: the first connection, then a watch for outages that no
    // callback reports (a broker that never answers).
    void Run();
    void HandleConnect(int rc);
    void HandleDisconnect(int rc);
    void HandlePublished(int mid);
    // Sends a message with QoS 1 and keeps it in flight until acknowledged; false when the
    // client has no connection.
    bool Send(const std::string& topic, const std::string& payload, bool retain);
    void ReportOutage(const std::string& reason);
    std::string BrokerName() const;

    TMqttPublisherOptions Options;
    mosquitto* Client = nullptr;
    std::string Prefix;       // set by Start before the threads run
    std::string SerialNumber; // of the first reading
    std::thread Connector;
    std::atomic<bool> Connected{false};

    // Keeps readings in order between the caller and the network thread.
    std::mutex SendLock;
    std::deque<std::string> Backlog; // guarded by SendLock

    mutable std::mutex Lock;
    std::condition_variable Changed;
    bool Stopping = false;                            // guarded by Lock
    std::chrono::steady_clock::time_point LastChange; // guarded by Lock
    std::vector<TNotice> Notices;                     // guarded by Lock
    bool OutageReported = false;                      // guarded by Lock
    bool BacklogFullReported = false;                 // guarded by Lock
    std::set<int> InFlight;                           // guarded by Lock
    std::set<int> EarlyAcknowledged;                  // guarded by Lock
    std::string LastError; // the library's last error report; guarded by Lock
};
