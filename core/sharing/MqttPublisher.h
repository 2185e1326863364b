#pragma once

#include "core/sharing/MqttCredentials.h"
#include "core/sharing/SharedReading.h"
#include "core/sharing/SharingSettings.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
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
    // A broker that stops answering is given up after about 1.5 times this.
    std::chrono::seconds KeepAlive{30};
    // Reconnects wait from the first delay, doubling up to the last.
    std::chrono::seconds FirstReconnectDelay{1};
    std::chrono::seconds LastReconnectDelay{60};
    // Readings held for a broker that is away; beyond this they are not published.
    int MaxQueued = 1000;
};

// Publishes readings to an MQTT broker from a thread of its own (libmosquitto), so a broker
// that is down or slow never holds up the caller. The first reading fixes the topic prefix
// (the settings' prefix, or "nightlux/<serial number>"), sets the last will ("offline",
// retained, on <prefix>/availability) and starts connecting. On every connection it
// publishes "online" (retained) and the discovery configs (retained). Readings go out with
// QoS 1; while the broker is away they wait, up to MaxQueued, and are sent once it is back.
// Lost connections are retried in the background with growing delays. Trouble is reported
// once per outage through TakeNotices, and so is the return of the broker.
class TMqttPublisher {
public:
    // Raises EMqttError for options that can never work (no host, a CA file that cannot be
    // read, a library failure).
    explicit TMqttPublisher(TMqttPublisherOptions options);
    TMqttPublisher(const TMqttPublisher&) = delete;
    TMqttPublisher& operator=(const TMqttPublisher&) = delete;
    // Publishes "offline" (retained) when connected, waiting at most about two seconds for it
    // to leave, then disconnects.
    ~TMqttPublisher();

    // Queues the reading; never blocks on the network and never throws for broker trouble.
    void Publish(const TSharedReading& reading);

    // The notices gathered since the last call, oldest first.
    std::vector<std::string> TakeNotices();
    bool IsConnected() const { return Connected.load(); }
    // The topic prefix, empty before the first reading.
    std::string GetTopicPrefix() const;

private:
    static void OnConnect(mosquitto*, void* self, int rc);
    static void OnDisconnect(mosquitto*, void* self, int rc);
    static void OnPublish(mosquitto*, void* self, int mid);

    void Start(const std::string& serialNumber);
    void Connect();
    void HandleConnect(int rc);
    void HandleDisconnect(int rc);
    void HandlePublished(int mid);
    // Records a notice about an outage unless this outage has been reported already.
    void ReportOutage(const std::string& reason);
    void Notice(const std::string& text);
    std::string BrokerName() const;

    TMqttPublisherOptions Options;
    mosquitto* Client = nullptr;
    std::string Prefix;       // set once by Start, before the threads run
    std::string SerialNumber; // of the first reading
    std::thread Starter;      // the first connect, off the caller's thread
    std::atomic<bool> Connected{false};
    std::atomic<bool> Stopping{false};
    std::atomic<int> Queued{0};

    mutable std::mutex Lock;
    std::condition_variable Published;
    std::vector<std::string> Notices; // guarded by Lock
    bool OutageReported = false;      // guarded by Lock
    bool QueueFullReported = false;   // guarded by Lock
    std::set<int> ControlMids;        // availability and discovery in flight; guarded by Lock
    int OfflineMid = -1;              // guarded by Lock
    bool OfflineSent = false;         // guarded by Lock
};
