#include "core/sharing/MqttPublisher.h"

#include "core/sharing/MqttMessages.h"

#include <cerrno>
#include <cstring>
#include <mosquitto.h>
#include <mutex>
#include <unistd.h>
#include <utility>

namespace {

constexpr int QualityOfService = 1;
constexpr auto OfflineWait = std::chrono::seconds(2);

void InitLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

std::string ErrorText(int rc) {
    if (rc == MOSQ_ERR_ERRNO)
        return std::strerror(errno);
    return mosquitto_strerror(rc);
}

} // namespace

TMqttPublisher::TMqttPublisher(TMqttPublisherOptions options) : Options(std::move(options)) {
    const TMqttSettings& s = Options.Settings;
    if (s.Host.empty())
        throw EMqttError("No MQTT broker is set");
    if (!s.CaFile.empty() && ::access(s.CaFile.c_str(), R_OK) != 0)
        throw EMqttError("Could not read the CA file " + s.CaFile + ": " + std::strerror(errno));
    InitLibrary();
    Client = mosquitto_new(nullptr, true, this);
    if (Client == nullptr)
        throw EMqttError("Could not set up the MQTT client: " + std::string(std::strerror(errno)));
    mosquitto_connect_callback_set(Client, &TMqttPublisher::OnConnect);
    mosquitto_disconnect_callback_set(Client, &TMqttPublisher::OnDisconnect);
    mosquitto_publish_callback_set(Client, &TMqttPublisher::OnPublish);
    mosquitto_reconnect_delay_set(Client,
                                  static_cast<unsigned>(Options.FirstReconnectDelay.count()),
                                  static_cast<unsigned>(Options.LastReconnectDelay.count()), true);
    int rc = MOSQ_ERR_SUCCESS;
    const TMqttCredentials& c = Options.Credentials;
    if (!c.Username.empty())
        rc = mosquitto_username_pw_set(Client, c.Username.c_str(),
                                       c.Password.empty() ? nullptr : c.Password.c_str());
    if (rc == MOSQ_ERR_SUCCESS && !s.CaFile.empty())
        rc = mosquitto_tls_set(Client, s.CaFile.c_str(), nullptr, nullptr, nullptr, nullptr);
    if (rc != MOSQ_ERR_SUCCESS) {
        mosquitto_destroy(Client);
        throw EMqttError("Could not set up the MQTT client: " + ErrorText(rc));
    }
}

TMqttPublisher::~TMqttPublisher() {
    Stopping = true;
    if (Starter.joinable())
        Starter.join();
    if (Connected) {
        std::unique_lock lock(Lock);
        int mid = 0;
        const std::string topic = AvailabilityTopic(Prefix);
        if (mosquitto_publish(Client, &mid, topic.c_str(), 7, "offline", QualityOfService, true) ==
            MOSQ_ERR_SUCCESS) {
            OfflineMid = mid;
            Published.wait_for(lock, OfflineWait, [this] { return OfflineSent || !Connected; });
        }
    }
    mosquitto_disconnect(Client);
    mosquitto_loop_stop(Client, false);
    mosquitto_destroy(Client);
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
    }
    const std::string will = AvailabilityTopic(Prefix);
    const int rc = mosquitto_will_set(Client, will.c_str(), 7, "offline", QualityOfService, true);
    if (rc != MOSQ_ERR_SUCCESS)
        Notice("MQTT: the topic prefix \"" + Prefix + "\" cannot be used: " + ErrorText(rc));
    Starter = std::thread([this] { Connect(); });
}

void TMqttPublisher::Connect() {
    const TMqttSettings& s = Options.Settings;
    const int rc = mosquitto_connect_async(Client, s.Host.c_str(), s.Port,
                                           static_cast<int>(Options.KeepAlive.count()));
    if (rc != MOSQ_ERR_SUCCESS)
        ReportOutage(ErrorText(rc));
    if (!Stopping)
        mosquitto_loop_start(Client);
}

void TMqttPublisher::Publish(const TSharedReading& reading) {
    if (!Starter.joinable())
        Start(reading.SerialNumber);
    if (Queued.load() >= Options.MaxQueued) {
        std::lock_guard lock(Lock);
        if (!QueueFullReported)
            Notices.push_back("MQTT: " + std::to_string(Options.MaxQueued) +
                              " readings wait for the broker " + BrokerName() +
                              "; further readings are not published until it is back");
        QueueFullReported = true;
        return;
    }
    const std::string payload = StateMessage(reading, Options.Model);
    const std::string topic = StateTopic(Prefix);
    ++Queued;
    const int rc =
        mosquitto_publish(Client, nullptr, topic.c_str(), static_cast<int>(payload.size()),
                          payload.data(), QualityOfService, false);
    if (rc != MOSQ_ERR_SUCCESS) {
        --Queued;
        ReportOutage(ErrorText(rc));
    }
}

std::vector<std::string> TMqttPublisher::TakeNotices() {
    std::lock_guard lock(Lock);
    return std::exchange(Notices, {});
}

void TMqttPublisher::Notice(const std::string& text) {
    std::lock_guard lock(Lock);
    Notices.push_back(text);
}

void TMqttPublisher::ReportOutage(const std::string& reason) {
    std::lock_guard lock(Lock);
    if (OutageReported || Stopping)
        return;
    OutageReported = true;
    Notices.push_back("MQTT: cannot reach the broker " + BrokerName() + " (" + reason +
                      "); readings are still stored and publishing resumes by itself");
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

void TMqttPublisher::HandleConnect(int rc) {
    if (rc != 0) {
        ReportOutage(std::string("refused: ") + mosquitto_connack_string(rc));
        return;
    }
    Connected = true;
    std::vector<TMqttMessage> messages{{AvailabilityTopic(Prefix), "online"}};
    for (TMqttMessage& m : DiscoveryMessages(
             Prefix, TMqttDevice{SerialNumber, Options.Model, Options.SoftwareVersion}))
        messages.push_back(std::move(m));
    // Acknowledgements are handled on this thread, so none can come before the mids are kept.
    for (const TMqttMessage& m : messages) {
        int mid = 0;
        if (mosquitto_publish(Client, &mid, m.Topic.c_str(), static_cast<int>(m.Payload.size()),
                              m.Payload.data(), QualityOfService, true) == MOSQ_ERR_SUCCESS) {
            std::lock_guard lock(Lock);
            ControlMids.insert(mid);
        }
    }
    std::lock_guard lock(Lock);
    if (OutageReported)
        Notices.push_back("MQTT: the broker " + BrokerName() + " is reachable again");
    OutageReported = false;
    QueueFullReported = false;
    Published.notify_all();
}

void TMqttPublisher::HandleDisconnect(int rc) {
    Connected = false;
    {
        std::lock_guard lock(Lock);
        Published.notify_all();
    }
    if (rc != 0)
        ReportOutage(rc == MOSQ_ERR_KEEPALIVE ? "no answer" : "connection lost");
}

void TMqttPublisher::HandlePublished(int mid) {
    std::lock_guard lock(Lock);
    if (mid == OfflineMid) {
        OfflineSent = true;
        Published.notify_all();
    } else if (ControlMids.erase(mid) > 0) {
        // availability or discovery
    } else if (Queued.load() > 0) {
        --Queued;
    }
}
