#include "tools/sim/TcpMeterServer.h"

#include "tools/sim/LoopbackSocket.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <vector>

namespace {

constexpr int Backlog = 8;
constexpr std::size_t MaxInbound = 64; // a real meter ignores what is not a command

} // namespace

TTcpMeterServer::TTcpMeterServer(TMeterOptions options, std::uint16_t port)
    : Replies(options), Options(std::move(options)) {
    // The listener is bound by port number, so that the port stays ours while it stops
    // listening. A free port is found by a second socket that holds it meanwhile.
    if (port == 0) {
        const TFileDescriptor probe = BindLoopback(0, TReuse::ReuseAddress);
        port = LocalPort(probe);
        Listener = BindLoopback(port, TReuse::ReuseAddress);
    } else {
        Listener = BindLoopback(port, TReuse::ReuseAddress);
    }
    Port = port;
    if (!SetListening(true))
        ThrowLoopbackError("Listening", errno);
    Wake = TFileDescriptor(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!Wake)
        ThrowLoopbackError("Creating an event descriptor", errno);
    Thread = std::thread(&TTcpMeterServer::Run, this);
}

TTcpMeterServer::~TTcpMeterServer() {
    const std::uint64_t one = 1;
    while (::write(Wake.Get(), &one, sizeof one) < 0 && errno == EINTR) {
    }
    Thread.join();
}

void TTcpMeterServer::SetOptions(const TMeterOptions& options) {
    const std::lock_guard guard(Lock);
    Options = options;
    OptionsChanged = true;
}

TMeterServerCounts TTcpMeterServer::GetCounts() const {
    const std::lock_guard guard(Lock);
    return Counts;
}

void TTcpMeterServer::ForgetReceived() {
    const std::lock_guard guard(Lock);
    Counts.Received = std::string();
}

bool TTcpMeterServer::WaitUntil(const std::function<bool(const TMeterServerCounts&)>& condition,
                                std::chrono::milliseconds timeout) const {
    std::unique_lock guard(Lock);
    return Changed.wait_for(guard, timeout, [&] { return condition(Counts); });
}

void TTcpMeterServer::Update(const std::function<void(TMeterServerCounts&)>& change) {
    {
        const std::lock_guard guard(Lock);
        change(Counts);
    }
    Changed.notify_all();
}

bool TTcpMeterServer::SetListening(bool on) {
    if (on == Listening)
        return true;
    // shutdown() stops a listening socket without giving up its port: connects are refused
    // until it listens again.
    const int status = on ? ::listen(Listener.Get(), Backlog) : ::shutdown(Listener.Get(), SHUT_RD);
    if (status != 0)
        return false;
    Listening = on;
    return true;
}

void TTcpMeterServer::Run() {
    std::vector<pollfd> polled;
    std::vector<std::list<TClient>::iterator> polledClients;
    for (;;) {
        ApplyOptions();
        for (auto client = Clients.begin(); client != Clients.end();) {
            auto next = std::next(client);
            if (const TAfter after = SendDue(*client); after != TAfter::Keep)
                Close(client, after == TAfter::Reset);
            client = next;
        }

        polled.assign({{Wake.Get(), POLLIN, 0}, {Listening ? Listener.Get() : -1, POLLIN, 0}});
        polledClients.clear();
        const auto now = Clock::now();
        for (auto client = Clients.begin(); client != Clients.end(); ++client) {
            const bool blocked = !client->Outgoing.empty() && client->Outgoing.front().Due <= now;
            polled.push_back({client->Socket.Get(), short(POLLIN | (blocked ? POLLOUT : 0)), 0});
            polledClients.push_back(client);
        }
        if (::poll(polled.data(), polled.size(), MillisecondsToNextDue()) < 0)
            continue; // EINTR; nothing else can fail with valid descriptors
        if (polled[0].revents != 0)
            return;
        for (std::size_t i = 0; i < polledClients.size(); ++i) {
            const short events = polled[i + 2].revents;
            if ((events & (POLLIN | POLLHUP | POLLERR)) == 0)
                continue;
            const TAfter after = Receive(*polledClients[i]);
            if (after != TAfter::Keep)
                Close(polledClients[i], after == TAfter::Reset);
        }
        if ((polled[1].revents & POLLIN) != 0)
            Accept();
    }
}

void TTcpMeterServer::ApplyOptions() {
    const std::lock_guard guard(Lock);
    if (OptionsChanged)
        Replies = TMeterReplies(Options);
    OptionsChanged = false;
}

void TTcpMeterServer::Accept() {
    ApplyOptions(); // a client that connects after SetOptions gets them from the start
    while (Listening) {
        TFileDescriptor socket(
            ::accept4(Listener.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!socket)
            return; // EAGAIN, or a client that gave up meanwhile
        TClient& client = Clients.emplace_back();
        client.Socket = std::move(socket);
        const TMeterOptions& options = Replies.Options();
        for (int i = 0; i < options.QueuedReports; ++i)
            client.Outgoing.push_back({Clock::now(), Replies.IntervalReport()});
        if (options.RefuseSecondClient)
            SetListening(false); // before telling: the next client must find the port shut
        Update([](TMeterServerCounts& counts) {
            ++counts.Connections;
            ++counts.OpenConnections;
        });
    }
}

TTcpMeterServer::TAfter TTcpMeterServer::Receive(TClient& client) {
    char chunk[4096];
    const ssize_t n = ::recv(client.Socket.Get(), chunk, sizeof chunk, MSG_DONTWAIT);
    if (n == 0)
        return TAfter::Close;
    if (n < 0)
        return errno == EAGAIN || errno == EINTR ? TAfter::Keep : TAfter::Close;
    const std::string bytes(chunk, static_cast<std::size_t>(n));
    Update([&](TMeterServerCounts& counts) { counts.Received += bytes; });

    // A command is a letter followed by "x".
    client.Inbound += bytes;
    for (std::size_t x = client.Inbound.find('x'); x != std::string::npos;
         x = client.Inbound.find('x')) {
        const std::string command = x == 0 ? "x" : client.Inbound.substr(x - 1, 2);
        client.Inbound.erase(0, x + 1);
        if (const TAfter after = Answer(client, command); after != TAfter::Keep)
            return after;
    }
    if (client.Inbound.size() > MaxInbound)
        client.Inbound.erase(0, client.Inbound.size() - 1);
    return TAfter::Keep;
}

TTcpMeterServer::TAfter TTcpMeterServer::Answer(TClient& client, const std::string& command) {
    const TMeterOptions& options = Replies.Options();
    // With a short reply, the reset comes in the middle of the reply.
    if (options.ResetConnection && options.ShortReply == 0)
        return TAfter::Reset;
    client.ResetWhenSent = options.ResetConnection;
    if (options.DropConnection)
        return TAfter::Close;
    const std::string reply = Replies.Answer(command);
    if (options.Silent || reply.empty())
        return TAfter::Keep;

    // Replies go out in order: a reply starts after the one before it has gone.
    Clock::time_point due = Clock::now() + options.ReplyDelay;
    if (!client.Outgoing.empty())
        due = std::max(due, client.Outgoing.back().Due);
    if (options.ByteDelay.count() <= 0) {
        client.Outgoing.push_back({due, reply});
        return TAfter::Keep;
    }
    const std::size_t piece = std::max<std::size_t>(options.PieceBytes, 1);
    for (std::size_t i = 0; i < reply.size(); i += piece) {
        client.Outgoing.push_back({due, reply.substr(i, piece)});
        due += options.ByteDelay;
    }
    return TAfter::Keep;
}

TTcpMeterServer::TAfter TTcpMeterServer::SendDue(TClient& client) {
    const auto now = Clock::now();
    while (!client.Outgoing.empty() && client.Outgoing.front().Due <= now) {
        std::string& bytes = client.Outgoing.front().Bytes;
        const ssize_t n =
            ::send(client.Socket.Get(), bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0)
            return errno == EAGAIN || errno == EINTR ? TAfter::Keep : TAfter::Close;
        Update(
            [&](TMeterServerCounts& counts) { counts.BytesSent += static_cast<std::size_t>(n); });
        bytes.erase(0, static_cast<std::size_t>(n));
        if (bytes.empty())
            client.Outgoing.pop_front();
    }
    return client.ResetWhenSent && client.Outgoing.empty() ? TAfter::Reset : TAfter::Keep;
}

void TTcpMeterServer::Close(std::list<TClient>::iterator client, bool reset) {
    if (reset)
        ResetOnClose(client->Socket);
    Clients.erase(client);
    if (Clients.empty())
        SetListening(true); // before telling: a client that waits for the close may connect
    Update([](TMeterServerCounts& counts) { --counts.OpenConnections; });
}

int TTcpMeterServer::MillisecondsToNextDue() const {
    const auto now = Clock::now();
    std::chrono::milliseconds next = std::chrono::milliseconds::max();
    for (const TClient& client : Clients) {
        if (client.Outgoing.empty() || client.Outgoing.front().Due <= now)
            continue; // nothing, or waiting until the socket takes more
        const auto wait =
            std::chrono::ceil<std::chrono::milliseconds>(client.Outgoing.front().Due - now);
        next = std::min(next, wait);
    }
    if (next == std::chrono::milliseconds::max())
        return -1;
    return static_cast<int>(std::min<std::chrono::milliseconds::rep>(next.count(), 60'000));
}
