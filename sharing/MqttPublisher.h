#pragma once

#include "platform/Notice.h"
#include "sharing/MqttCredentials.h"
#include "sharing/SharedReading.h"
#include "sharing/SharingSettings.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

struct mosquitto;

// Sole owner of a libmosquitto client: destroys it.
struct TMosquittoClientDeleter {
    void operator()(mosquitto* client) const;
};
using TMosquittoClient = std::unique_ptr<mosquitto, TMosquittoClientDeleter>;

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
    // A refusal that only the user can mend (credentials, the broker's certificate) is
    // retried this seldom.
    std::chrono::seconds UserFixRetryDelay{600};
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
// are retried in the background with growing delays; a refusal that only the user can mend
// (the user name and password, the broker's certificate or its name) is told with what to
// fix and retried every UserFixRetryDelay. Trouble is reported once per outage through
// TakeNotices, and so is the return of the broker, with the number of readings that were
// not published when the backlog was full.
//
// Threads: the caller's, a connecting thread and libmosquitto's network thread. One lock
// guards one state (TState); the library is called without it except to send, which keeps
// readings in order. The publisher's threads block every asynchronous signal, so that a
// signal meant for the program reaches the thread that waits for it.
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
    bool IsConnected() const;
    // The topic prefix, empty before the first reading.
    std::string GetTopicPrefix() const;

private:
    // Why the broker is away, which says what the notice tells and how soon to retry.
    enum class TTrouble { None, Unreachable, Credentials, Certificate, HostName };

    struct TState {
        bool Stopping = false;
        bool Connected = false;
        std::chrono::steady_clock::time_point LastChange;
        std::vector<TNotice> Notices;
        bool OutageReported = false;
        TTrouble Trouble = TTrouble::None;
        bool HostNameFailed = false; // the library said so during this attempt
        std::deque<std::string> Backlog;
        std::size_t NotPublished = 0; // readings dropped while the backlog was full
        std::set<int> InFlight;
        std::set<int> EarlyAcknowledged;
        std::string LastError; // the library's last error report
    };

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
    void HandleLog(const char* text);
    // Sends a message with QoS 1 and keeps it in flight until acknowledged; false when the
    // client has no connection. Called with the lock held.
    bool Send(const std::string& topic, const std::string& payload, bool retain);
    // Tells the outage once, and again when it turns out to be one the user must mend.
    // Called with the lock held.
    void ReportOutage(TTrouble trouble, const std::string& reason);
    // Sets the library's delays before its next attempt: long for a trouble the user must
    // mend, else the growing ones. Called from the network thread without the lock.
    void RetryAfter(TTrouble trouble);
    TTrouble TroubleOf(int connack) const; // with the lock held
    static bool NeedsUser(TTrouble trouble);
    std::string OutageNotice(TTrouble trouble, const std::string& reason) const;
    std::string BrokerName() const;

    const TMqttPublisherOptions Options;
    TMosquittoClient Client;
    std::string Prefix;       // set by Start before the threads run, then read only
    std::string SerialNumber; // of the first reading; as Prefix
    std::thread Connector;

    mutable std::mutex Lock;
    std::condition_variable Changed;
    TState State; // guarded by Lock
};
