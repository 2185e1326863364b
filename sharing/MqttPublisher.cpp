#include "sharing/MqttPublisher.h"

#include "sharing/MosquittoLibrary.h"
#include "sharing/MqttMessages.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <utility>

namespace {

constexpr int QualityOfService = 1;
const std::string Offline = "offline";

std::string ErrorText(int rc) {
    if (rc == MOSQ_ERR_ERRNO)
        return std::strerror(errno);
    return Mosquitto().Strerror(rc);
}

} // namespace

TMqttPublisher::TMqttPublisher(TMqttPublisherOptions options) : Options(std::move(options)) {
    const TMqttSettings& s = Options.Settings;
    if (s.Host.empty())
        throw EMqttError("No MQTT broker is set");
    if (!s.CaFile.empty() && ::access(s.CaFile.c_str(), R_OK) != 0)
        throw EMqttError("Could not read the CA file " + s.CaFile + ": " + std::strerror(errno));
    Client = Mosquitto().New(nullptr, true, this);
    if (Client == nullptr)
        throw EMqttError("Could not set up the MQTT client: " + std::string(std::strerror(errno)));
    Mosquitto().ConnectCallbackSet(Client, &TMqttPublisher::OnConnect);
    Mosquitto().DisconnectCallbackSet(Client, &TMqttPublisher::OnDisconnect);
    Mosquitto().PublishCallbackSet(Client, &TMqttPublisher::OnPublish);
    Mosquitto().LogCallbackSet(Client, &TMqttPublisher::OnLog);
    Mosquitto().ReconnectDelaySet(Client,
                                  static_cast<unsigned>(Options.FirstReconnectDelay.count()),
                                  static_cast<unsigned>(Options.LastReconnectDelay.count()), true);
    int rc = MOSQ_ERR_SUCCESS;
    const TMqttCredentials& c = Options.Credentials;
    if (!c.Username.empty())
        rc = Mosquitto().UsernamePwSet(Client, c.Username.c_str(),
                                       c.Password.empty() ? nullptr : c.Password.c_str());
    if (rc == MOSQ_ERR_SUCCESS && !s.CaFile.empty())
        rc = Mosquitto().TlsSet(Client, s.CaFile.c_str(), nullptr, nullptr, nullptr, nullptr);
    if (rc != MOSQ_ERR_SUCCESS) {
        Mosquitto().Destroy(Client);
        throw EMqttError("Could not set up the MQTT client: " + ErrorText(rc));
    }
}

TMqttPublisher::~TMqttPublisher() {
    if (Connector.joinable()) {
        const auto deadline = std::chrono::steady_clock::now() + ShutdownWait;
        bool waiting = false;
        {
            std::lock_guard send(SendLock);
            waiting = !Backlog.empty();
        }
        std::unique_lock lock(Lock);
        // Readings that wait for a connection under way get their chance.
        if (waiting)
            Changed.wait_until(lock, deadline, [this] { return Connected.load(); });
        Stopping = true;
        Changed.notify_all();
        lock.unlock();
        Connector.join();
        if (Connected && Send(AvailabilityTopic(Prefix), Offline, true)) {
            lock.lock();
            Changed.wait_until(lock, deadline, [this] { return InFlight.empty() || !Connected; });
        }
    }
    Mosquitto().Disconnect(Client);
    Mosquitto().LoopStop(Client, false);
    Mosquitto().Destroy(Client);
}

std::string TMqttPublisher::GetTopicPrefix() const {
    std::lock_guard lock(Lock);
    return Prefix;
}

std::string TMqttPublisher::BrokerName() const {
    return Options.Settings.Host + ":" + std::to_string(Options.Settings.Port);
}

void TMqttPublisher::Start(const std::string& serialNumber) {
    {
        std::lock_guard lock(Lock);
        SerialNumber = serialNumber;
        Prefix = Options.Settings.TopicPrefix.empty() ? DefaultTopicPrefix(serialNumber)
                                                      : Options.Settings.TopicPrefix;
        LastChange = std::chrono::steady_clock::now();
    }
    const std::string will = AvailabilityTopic(Prefix);
    const int rc = Mosquitto().WillSet(Client, will.c_str(), static_cast<int>(Offline.size()),
                                       Offline.data(), QualityOfService, true);
    if (rc != MOSQ_ERR_SUCCESS) {
        std::lock_guard lock(Lock);
        Notices.push_back({ENoticeSeverity::Error, "MQTT: the topic prefix \"" + Prefix +
                                                       "\" cannot be used: " + ErrorText(rc)});
    }
    Connector = std::thread([this] { Run(); });
}

void TMqttPublisher::Run() {
    const TMqttSettings& s = Options.Settings;
    auto delay = Options.FirstReconnectDelay;
    std::unique_lock lock(Lock);
    while (!Stopping) {
        lock.unlock();
        const int rc = Mosquitto().ConnectAsync(Client, s.Host.c_str(), s.Port,
                                                static_cast<int>(Options.KeepAlive.count()));
        if (rc == MOSQ_ERR_SUCCESS) {
            Mosquitto().LoopStart(Client);
            lock.lock();
            break;
        }
        const std::string reason = ErrorText(rc);
        lock.lock();
        const std::string detail = LastError.empty() ? "" : ": " + LastError;
        lock.unlock();
        ReportOutage(reason + detail);
        lock.lock();
        Changed.wait_for(lock, delay, [this] { return Stopping; });
        delay = std::min(delay * 2, Options.LastReconnectDelay);
    }
    // From here on the network thread reconnects; this one only notices a long silence.
    while (!Stopping) {
        Changed.wait_for(lock, Options.ConnectTimeout, [this] { return Stopping; });
        if (!Stopping && !Connected && !OutageReported &&
            std::chrono::steady_clock::now() - LastChange >= Options.ConnectTimeout) {
            lock.unlock();
            const std::string silence =
                "no answer within " + std::to_string(Options.ConnectTimeout.count()) + " s";
            ReportOutage(LastError.empty() ? silence : LastError);
            lock.lock();
        }
    }
}

bool TMqttPublisher::Send(const std::string& topic, const std::string& payload, bool retain) {
    int mid = 0;
    const int rc =
        Mosquitto().Publish(Client, &mid, topic.c_str(), static_cast<int>(payload.size()),
                            payload.data(), QualityOfService, retain);
    if (rc != MOSQ_ERR_SUCCESS)
        return false;
    std::lock_guard lock(Lock);
    // The acknowledgement may have come first.
    if (EarlyAcknowledged.erase(mid) == 0)
        InFlight.insert(mid);
    return true;
}

void TMqttPublisher::Publish(const TSharedReading& reading) {
    if (!Connector.joinable())
        Start(reading.SerialNumber);
    const std::string payload = StateMessage(reading, Options.Model);
    std::lock_guard send(SendLock);
    if (Backlog.empty() && Connected && Send(StateTopic(Prefix), payload, false))
        return;
    if (Backlog.size() < Options.MaxBacklog) {
        Backlog.push_back(payload);
        return;
    }
    std::lock_guard lock(Lock);
    if (!BacklogFullReported)
        Notices.push_back({ENoticeSeverity::Warning,
                           "MQTT: " + std::to_string(Options.MaxBacklog) +
                               " readings wait for the broker " + BrokerName() +
                               "; further readings are not published until it is back"});
    BacklogFullReported = true;
}

std::vector<TNotice> TMqttPublisher::TakeNotices() {
    std::lock_guard lock(Lock);
    return std::exchange(Notices, {});
}

void TMqttPublisher::ReportOutage(const std::string& reason) {
    std::lock_guard lock(Lock);
    if (OutageReported || Stopping)
        return;
    OutageReported = true;
    Notices.push_back({ENoticeSeverity::Warning,
                       "MQTT: cannot reach the broker " + BrokerName() + " (" + reason +
                           "); readings are still stored and publishing resumes by itself"});
}

void TMqttPublisher::OnConnect(mosquitto*, void* self, int rc) {
    static_cast<TMqttPublisher*>(self)->HandleConnect(rc);
}

void TMqttPublisher::OnDisconnect(mosquitto*, void* self, int rc) {
    static_cast<TMqttPublisher*>(self)->HandleDisconnect(rc);
}

void TMqttPublisher::OnPublish(mosquitto*, void* self, int mid) {
    static_cast<TMqttPublisher*>(self)->HandlePublished(mid);
}

void TMqttPublisher::OnLog(mosquitto*, void* self, int level, const char* text) {
    if (level != MOSQ_LOG_ERR || text == nullptr)
        return;
    auto* publisher = static_cast<TMqttPublisher*>(self);
    std::lock_guard lock(publisher->Lock);
    publisher->LastError = text;
}

void TMqttPublisher::HandleConnect(int rc) {
    if (rc != 0) {
        ReportOutage(std::string("refused: ") + Mosquitto().ConnackString(rc));
        return;
    }
    Send(AvailabilityTopic(Prefix), "online", true);
    for (const TMqttMessage& m : DiscoveryMessages(
             Prefix, TMqttDevice{SerialNumber, Options.Model, Options.SoftwareVersion}))
        Send(m.Topic, m.Payload, true);
    {
        std::lock_guard send(SendLock);
        while (!Backlog.empty() && Send(StateTopic(Prefix), Backlog.front(), false))
            Backlog.pop_front();
        Connected = true;
    }
    std::lock_guard lock(Lock);
    if (OutageReported)
        Notices.push_back({ENoticeSeverity::Information,
                           "MQTT: the broker " + BrokerName() + " is reachable again"});
    OutageReported = false;
    BacklogFullReported = false;
    LastError.clear();
    LastChange = std::chrono::steady_clock::now();
    Changed.notify_all();
}

void TMqttPublisher::HandleDisconnect(int rc) {
    {
        std::lock_guard send(SendLock);
        Connected = false;
    }
    {
        std::lock_guard lock(Lock);
        LastChange = std::chrono::steady_clock::now();
        Changed.notify_all();
    }
    if (rc != 0)
        ReportOutage(rc == MOSQ_ERR_KEEPALIVE ? "no answer" : "connection lost");
}

void TMqttPublisher::HandlePublished(int mid) {
    std::lock_guard lock(Lock);
    if (InFlight.erase(mid) == 0)
        EarlyAcknowledged.insert(mid);
    Changed.notify_all();
}
