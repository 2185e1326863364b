#include "sharing/MqttPublisher.h"

#include "sharing/MosquittoLibrary.h"
#include "sharing/MqttMessages.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>
#include <pthread.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr int QualityOfService = 1;
const std::string Offline = "offline";

// MQTT 3.1.1 refusals that only other credentials mend.
constexpr int ConnackBadUserNameOrPassword = 4;
constexpr int ConnackNotAuthorised = 5;

std::string ErrorText(int rc) {
    if (rc == MOSQ_ERR_ERRNO)
        return std::strerror(errno);
    return Mosquitto().Strerror(rc);
}

std::string Every(std::chrono::seconds delay) {
    if (delay.count() % 60 == 0)
        return delay.count() == 60 ? "every minute"
                                   : "every " + std::to_string(delay.count() / 60) + " minutes";
    return "every " + std::to_string(delay.count()) + " s";
}

// A thread that runs with every asynchronous signal blocked, and so do the threads it starts:
// the program's signals go to the thread that waits for them.
std::thread ThreadWithoutSignals(std::function<void()> run) {
    sigset_t all;
    sigfillset(&all);
    for (const int synchronous : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT})
        sigdelset(&all, synchronous);
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &all, &previous);
    std::thread thread(std::move(run));
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return thread;
}

} // namespace

void TMosquittoClientDeleter::operator()(mosquitto* client) const {
    Mosquitto().Destroy(client);
}

TMqttPublisher::TMqttPublisher(TMqttPublisherOptions options) : Options(std::move(options)) {
    const TMqttSettings& s = Options.Settings;
    if (s.Host.empty())
        throw EMqttError("No MQTT broker is set");
    if (!s.CaFile.empty() && ::access(s.CaFile.c_str(), R_OK) != 0)
        throw EMqttError("Could not read the CA file " + s.CaFile + ": " + std::strerror(errno));
    Client.reset(Mosquitto().New(nullptr, true, this));
    if (!Client)
        throw EMqttError("Could not set up the MQTT client: " + std::string(std::strerror(errno)));
    mosquitto* client = Client.get();
    Mosquitto().ConnectCallbackSet(client, &TMqttPublisher::OnConnect);
    Mosquitto().DisconnectCallbackSet(client, &TMqttPublisher::OnDisconnect);
    Mosquitto().PublishCallbackSet(client, &TMqttPublisher::OnPublish);
    Mosquitto().LogCallbackSet(client, &TMqttPublisher::OnLog);
    Mosquitto().ReconnectDelaySet(client,
                                  static_cast<unsigned>(Options.FirstReconnectDelay.count()),
                                  static_cast<unsigned>(Options.LastReconnectDelay.count()), true);
    int rc = MOSQ_ERR_SUCCESS;
    const TMqttCredentials& c = Options.Credentials;
    if (!c.Username.empty())
        rc = Mosquitto().UsernamePwSet(client, c.Username.c_str(),
                                       c.Password.empty() ? nullptr : c.Password.c_str());
    if (rc == MOSQ_ERR_SUCCESS && !s.CaFile.empty())
        rc = Mosquitto().TlsSet(client, s.CaFile.c_str(), nullptr, nullptr, nullptr, nullptr);
    if (rc != MOSQ_ERR_SUCCESS)
        throw EMqttError("Could not set up the MQTT client: " + ErrorText(rc));
}

TMqttPublisher::~TMqttPublisher() {
    if (Connector.joinable()) {
        const auto deadline = std::chrono::steady_clock::now() + ShutdownWait;
        std::unique_lock lock(Lock);
        // Readings that wait for a connection under way get their chance.
        if (!State.Backlog.empty())
            Changed.wait_until(lock, deadline, [this] { return State.Connected; });
        State.Stopping = true;
        Changed.notify_all();
        lock.unlock();
        Connector.join();
        lock.lock();
        if (State.Connected && Send(AvailabilityTopic(Prefix), Offline, true))
            Changed.wait_until(lock, deadline,
                               [this] { return State.InFlight.empty() || !State.Connected; });
    }
    // The network thread's callbacks take the lock: it is not held from here on.
    Mosquitto().Disconnect(Client.get());
    Mosquitto().LoopStop(Client.get(), false);
}

bool TMqttPublisher::IsConnected() const {
    std::lock_guard lock(Lock);
    return State.Connected;
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
        State.LastChange = std::chrono::steady_clock::now();
    }
    const std::string will = AvailabilityTopic(Prefix);
    const int rc = Mosquitto().WillSet(Client.get(), will.c_str(), static_cast<int>(Offline.size()),
                                       Offline.data(), QualityOfService, true);
    if (rc != MOSQ_ERR_SUCCESS) {
        std::lock_guard lock(Lock);
        State.Notices.push_back(
            {ENoticeSeverity::Error,
             "MQTT: the topic prefix \"" + Prefix + "\" cannot be used: " + ErrorText(rc)});
    }
    // The network thread is started by this one and inherits its blocked signals.
    Connector = ThreadWithoutSignals([this] { Run(); });
}

void TMqttPublisher::Run() {
    const TMqttSettings& s = Options.Settings;
    auto delay = Options.FirstReconnectDelay;
    std::unique_lock lock(Lock);
    while (!State.Stopping) {
        lock.unlock();
        const int rc = Mosquitto().ConnectAsync(Client.get(), s.Host.c_str(), s.Port,
                                                static_cast<int>(Options.KeepAlive.count()));
        if (rc == MOSQ_ERR_SUCCESS) {
            Mosquitto().LoopStart(Client.get());
            lock.lock();
            break;
        }
        lock.lock();
        const std::string detail = State.LastError.empty() ? "" : ": " + State.LastError;
        ReportOutage(TroubleOf(0), ErrorText(rc) + detail);
        Changed.wait_for(lock, NeedsUser(State.Trouble) ? Options.UserFixRetryDelay : delay,
                         [this] { return State.Stopping; });
        delay = std::min(delay * 2, Options.LastReconnectDelay);
    }
    // From here on the network thread reconnects; this one only notices a long silence.
    while (!State.Stopping) {
        Changed.wait_for(lock, Options.ConnectTimeout, [this] { return State.Stopping; });
        if (!State.Stopping && !State.Connected && !State.OutageReported &&
            std::chrono::steady_clock::now() - State.LastChange >= Options.ConnectTimeout) {
            const std::string silence =
                "no answer within " + std::to_string(Options.ConnectTimeout.count()) + " s";
            ReportOutage(TroubleOf(0), State.LastError.empty() ? silence : State.LastError);
        }
    }
}

bool TMqttPublisher::Send(const std::string& topic, const std::string& payload, bool retain) {
    int mid = 0;
    const int rc =
        Mosquitto().Publish(Client.get(), &mid, topic.c_str(), static_cast<int>(payload.size()),
                            payload.data(), QualityOfService, retain);
    if (rc != MOSQ_ERR_SUCCESS)
        return false;
    // The acknowledgement may have come first.
    if (State.EarlyAcknowledged.erase(mid) == 0)
        State.InFlight.insert(mid);
    return true;
}

void TMqttPublisher::Publish(const TSharedReading& reading) {
    if (!Connector.joinable())
        Start(reading.SerialNumber);
    const std::string payload = StateMessage(reading, Options.Model);
    std::lock_guard lock(Lock);
    if (State.Backlog.empty() && State.Connected && Send(StateTopic(Prefix), payload, false))
        return;
    if (State.Backlog.size() < Options.MaxBacklog) {
        State.Backlog.push_back(payload);
        return;
    }
    if (State.NotPublished++ == 0)
        State.Notices.push_back({ENoticeSeverity::Warning,
                                 "MQTT: " + std::to_string(Options.MaxBacklog) +
                                     " readings wait for the broker " + BrokerName() +
                                     "; further readings are not published until it is back"});
}

std::vector<TNotice> TMqttPublisher::TakeNotices() {
    std::lock_guard lock(Lock);
    return std::exchange(State.Notices, {});
}

TMqttPublisher::TTrouble TMqttPublisher::TroubleOf(int connack) const {
    if (connack == ConnackBadUserNameOrPassword || connack == ConnackNotAuthorised)
        return TTrouble::Credentials;
    if (State.HostNameFailed)
        return TTrouble::HostName;
    if (State.LastError.find("certificate verify failed") != std::string::npos)
        return TTrouble::Certificate;
    return TTrouble::Unreachable;
}

std::string TMqttPublisher::OutageNotice(TTrouble trouble, const std::string& reason) const {
    const std::string broker = BrokerName();
    const std::string retry = ". Readings are still stored; the broker is tried again " +
                              Every(Options.UserFixRetryDelay);
    switch (trouble) {
    case TTrouble::Credentials:
        return "MQTT: the broker " + broker + " refused the user name and password (" + reason +
               "); correct them in the MQTT credentials" + retry;
    case TTrouble::Certificate:
        return "MQTT: the certificate of the broker " + broker +
               " could not be verified with the CA file " + Options.Settings.CaFile + " (" +
               reason + "); give the CA file that signed the broker's certificate" + retry;
    case TTrouble::HostName:
        return "MQTT: the certificate of the broker " + broker + " is not for the name " +
               Options.Settings.Host + " (" + reason +
               "); connect by a name that the certificate holds, or give the broker a "
               "certificate for " +
               Options.Settings.Host + retry;
    case TTrouble::None:
    case TTrouble::Unreachable:
        break;
    }
    return "MQTT: cannot reach the broker " + broker + " (" + reason +
           "); readings are still stored and publishing resumes by itself";
}

void TMqttPublisher::ReportOutage(TTrouble trouble, const std::string& reason) {
    // A trouble that the user must mend is told even after a plain outage was.
    if (State.Stopping ||
        (State.OutageReported && (trouble == State.Trouble || trouble == TTrouble::Unreachable)))
        return;
    State.OutageReported = true;
    State.Trouble = trouble;
    State.Notices.push_back({ENoticeSeverity::Warning, OutageNotice(trouble, reason)});
}

bool TMqttPublisher::NeedsUser(TTrouble trouble) {
    return trouble == TTrouble::Credentials || trouble == TTrouble::Certificate ||
           trouble == TTrouble::HostName;
}

void TMqttPublisher::RetryAfter(TTrouble trouble) {
    const bool userFix = NeedsUser(trouble);
    const auto first = userFix ? Options.UserFixRetryDelay : Options.FirstReconnectDelay;
    const auto last = userFix ? Options.UserFixRetryDelay : Options.LastReconnectDelay;
    Mosquitto().ReconnectDelaySet(Client.get(), static_cast<unsigned>(first.count()),
                                  static_cast<unsigned>(last.count()), !userFix);
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
    if (level == MOSQ_LOG_ERR && text != nullptr)
        static_cast<TMqttPublisher*>(self)->HandleLog(text);
}

void TMqttPublisher::HandleLog(const char* text) {
    std::lock_guard lock(Lock);
    State.LastError = text;
    if (State.LastError.find("host name verification failed") != std::string::npos)
        State.HostNameFailed = true;
}

// The network thread's callbacks: the library's delays are set from this thread only.
void TMqttPublisher::HandleConnect(int rc) {
    std::unique_lock lock(Lock);
    if (rc != 0) {
        ReportOutage(TroubleOf(rc), std::string("refused: ") + Mosquitto().ConnackString(rc));
        const TTrouble trouble = State.Trouble;
        lock.unlock();
        RetryAfter(trouble);
        return;
    }
    Send(AvailabilityTopic(Prefix), "online", true);
    for (const TMqttMessage& m : DiscoveryMessages(
             Prefix, TMqttDevice{SerialNumber, Options.Model, Options.SoftwareVersion}))
        Send(m.Topic, m.Payload, true);
    while (!State.Backlog.empty() && Send(StateTopic(Prefix), State.Backlog.front(), false))
        State.Backlog.pop_front();
    State.Connected = true;
    if (State.OutageReported || State.NotPublished != 0) {
        std::string notice = "MQTT: the broker " + BrokerName() + " is reachable again";
        if (State.NotPublished != 0)
            notice += "; " + std::to_string(State.NotPublished) +
                      (State.NotPublished == 1 ? " reading" : " readings") +
                      " taken while it was away could not be held and " +
                      (State.NotPublished == 1 ? "was" : "were") + " not published";
        State.Notices.push_back({ENoticeSeverity::Information, notice});
    }
    const TTrouble previous = State.Trouble;
    State.OutageReported = false;
    State.Trouble = TTrouble::None;
    State.HostNameFailed = false;
    State.NotPublished = 0;
    State.LastError.clear();
    State.LastChange = std::chrono::steady_clock::now();
    Changed.notify_all();
    lock.unlock();
    if (NeedsUser(previous))
        RetryAfter(TTrouble::None);
}

void TMqttPublisher::HandleDisconnect(int rc) {
    std::unique_lock lock(Lock);
    State.Connected = false;
    State.LastChange = std::chrono::steady_clock::now();
    Changed.notify_all();
    if (rc == 0)
        return;
    const TTrouble trouble = TroubleOf(0);
    ReportOutage(trouble, NeedsUser(trouble)         ? State.LastError
                          : rc == MOSQ_ERR_KEEPALIVE ? "no answer"
                                                     : "connection lost");
    const TTrouble outage = State.Trouble;
    lock.unlock();
    RetryAfter(outage);
}

void TMqttPublisher::HandlePublished(int mid) {
    std::lock_guard lock(Lock);
    if (State.InFlight.erase(mid) == 0)
        State.EarlyAcknowledged.insert(mid);
    Changed.notify_all();
}
