#include "MosquittoBroker.h"

#include "tools/sim/LoopbackSocket.h"

#include <arpa/inet.h>
#include <csignal>
#include <mosquitto.h>
#include <netinet/in.h>
#include <pwd.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {

std::string CurrentUserName() {
    const passwd* entry = ::getpwuid(::geteuid());
    if (entry == nullptr)
        throw std::runtime_error("the current user has no name");
    return entry->pw_name;
}

bool Accepts(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

} // namespace

TMosquittoBroker::TMosquittoBroker(std::string extraConfig, bool start)
    : ExtraConfig(std::move(extraConfig)) {
    Port = LocalPort(BindLoopback(0));
    if (start)
        Start();
}

TMosquittoBroker::~TMosquittoBroker() {
    Stop();
}

void TMosquittoBroker::Start() {
    const std::string config = Folder.File("mosquitto.conf");
    WriteBytes(config, "persistence false\nuser " + CurrentUserName() + "\nlistener " +
                           std::to_string(Port) + " 127.0.0.1\nallow_anonymous true\n" +
                           ExtraConfig);
    Process = std::make_unique<TChildProcess>(
        NIGHTLUX_MOSQUITTO_BROKER, std::vector<std::string>{"-c", config},
        std::map<std::string, std::string>{}, Folder.GetPath());
    if (!WaitFor([this] { return Accepts(Port); }, std::chrono::seconds(30)))
        throw std::runtime_error("the broker did not start: " + Process->GetErrors());
}

void TMosquittoBroker::Stop() {
    if (!Process)
        return;
    Process->Signal(SIGTERM);
    Process->Wait(std::chrono::seconds(30));
    Process.reset();
}

TTestSubscriber::TTestSubscriber(std::uint16_t port, const std::string& caFile) {
    mosquitto_lib_init();
    Client = mosquitto_new(nullptr, true, this);
    if (!caFile.empty())
        mosquitto_tls_set(Client, caFile.c_str(), nullptr, nullptr, nullptr, nullptr);
    mosquitto_message_callback_set(Client, &TTestSubscriber::OnMessage);
    mosquitto_connect_callback_set(Client, [](mosquitto* client, void*, int rc) {
        if (rc == 0)
            mosquitto_subscribe(client, nullptr, "#", 1);
    });
    mosquitto_subscribe_callback_set(Client, [](mosquitto*, void* self, int, int, const int*) {
        auto* subscriber = static_cast<TTestSubscriber*>(self);
        std::lock_guard lock(subscriber->Lock);
        subscriber->Subscribed = true;
        subscriber->Arrived.notify_all();
    });
    if (mosquitto_connect(Client, "127.0.0.1", port, 30) != MOSQ_ERR_SUCCESS)
        throw std::runtime_error("the test subscriber could not connect");
    mosquitto_loop_start(Client);
    std::unique_lock lock(Lock);
    if (!Arrived.wait_for(lock, std::chrono::seconds(60), [this] { return Subscribed; }))
        throw std::runtime_error("the test subscriber could not subscribe");
}

TTestSubscriber::~TTestSubscriber() {
    mosquitto_disconnect(Client);
    mosquitto_loop_stop(Client, false);
    mosquitto_destroy(Client);
}

void TTestSubscriber::OnMessage(mosquitto*, void* self, const mosquitto_message* message) {
    auto* subscriber = static_cast<TTestSubscriber*>(self);
    std::lock_guard lock(subscriber->Lock);
    subscriber->Received.push_back({message->topic,
                                    std::string(static_cast<const char*>(message->payload),
                                                static_cast<std::size_t>(message->payloadlen)),
                                    message->retain});
    subscriber->Arrived.notify_all();
}

bool TTestSubscriber::WaitUntil(
    const std::function<bool(const std::vector<TReceivedMessage>&)>& condition,
    std::chrono::seconds timeout) {
    std::unique_lock lock(Lock);
    return Arrived.wait_for(lock, timeout, [&] { return condition(Received); });
}

std::vector<TReceivedMessage> TTestSubscriber::Messages() const {
    std::lock_guard lock(Lock);
    return Received;
}

std::vector<TReceivedMessage> TTestSubscriber::On(const std::string& topic) const {
    std::vector<TReceivedMessage> found;
    for (const TReceivedMessage& m : Messages())
        if (m.Topic == topic)
            found.push_back(m);
    return found;
}

std::size_t CountOn(const std::vector<TReceivedMessage>& messages, const std::string& topic) {
    std::size_t count = 0;
    for (const TReceivedMessage& m : messages)
        count += m.Topic == topic ? 1 : 0;
    return count;
}
