#include "meter/EthernetDiscovery.h"

#include "platform/FileDescriptor.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <set>
#include <sys/socket.h>
#include <thread>

namespace {

using TClock = std::chrono::steady_clock;

std::string ErrorText(int error) {
    return std::strerror(error);
}

// A datagram socket bound to address (host byte order) at a free port, allowed to
// broadcast; invalid when that fails, with the reason in why.
TFileDescriptor BoundSocket(std::uint32_t address, std::string& why) {
    TFileDescriptor socket(::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!socket.IsValid()) {
        why = ErrorText(errno);
        return socket;
    }
    const int on = 1;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(address);
    if (::setsockopt(socket.Get(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0 ||
        ::bind(socket.Get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        why = ErrorText(errno);
        socket.Reset();
    }
    return socket;
}

// Sends the query, and only the query, to address:port; the errno value, 0 when sent.
int SendQuery(const TFileDescriptor& socket, std::uint32_t address, std::uint16_t port) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(address);
    to.sin_port = htons(port);
    const ssize_t sent = ::sendto(socket.Get(), DiscoveryQuery.data(), DiscoveryQuery.size(),
                                  MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    return sent == static_cast<ssize_t>(DiscoveryQuery.size()) ? 0 : (sent < 0 ? errno : EMSGSIZE);
}

struct TBroadcastRoute {
    std::string Name;
    std::uint32_t Address = 0;
    std::uint32_t Broadcast = 0;
};

// The IPv4 interfaces that are up and can broadcast: one route for each subnet of each,
// from its first address there.
std::vector<TBroadcastRoute> BroadcastRoutes(std::vector<std::string>& notes) {
    std::vector<TBroadcastRoute> routes;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        notes.push_back("The network interfaces could not be listed: " + ErrorText(errno) + ".");
        return routes;
    }
    for (const ifaddrs* i = list; i; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET || !(i->ifa_flags & IFF_UP) ||
            !(i->ifa_flags & IFF_BROADCAST) || (i->ifa_flags & IFF_LOOPBACK) || !i->ifa_broadaddr)
            continue;
        TBroadcastRoute route;
        route.Name = i->ifa_name ? i->ifa_name : "";
        route.Address = ntohl(reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr.s_addr);
        route.Broadcast =
            ntohl(reinterpret_cast<const sockaddr_in*>(i->ifa_broadaddr)->sin_addr.s_addr);
        if (route.Broadcast == 0 || route.Broadcast == route.Address)
            continue;
        if (std::none_of(routes.begin(), routes.end(), [&](const TBroadcastRoute& r) {
                return r.Name == route.Name && r.Broadcast == route.Broadcast;
            }))
            routes.push_back(route);
    }
    ::freeifaddrs(list);
    return routes;
}

bool DeviceLess(const TDiscoveredDevice& a, const TDiscoveredDevice& b) {
    in_addr x{}, y{};
    ::inet_pton(AF_INET, a.Address.c_str(), &x);
    ::inet_pton(AF_INET, b.Address.c_str(), &y);
    if (ntohl(x.s_addr) != ntohl(y.s_addr))
        return ntohl(x.s_addr) < ntohl(y.s_addr);
    return a.Mac < b.Mac;
}

} // namespace

std::string TDiscoveredDevice::MacText() const {
    char text[18];
    std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", Mac[0], Mac[1], Mac[2],
                  Mac[3], Mac[4], Mac[5]);
    return text;
}

bool TDiscoveredDevice::HasSqmPrefix() const {
    return std::equal(SqmModulePrefix.begin(), SqmModulePrefix.end(), Mac.begin());
}

std::string Ipv4Text(std::uint32_t address) {
    in_addr a{};
    a.s_addr = htonl(address);
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &a, text, sizeof text);
    return text;
}

std::vector<std::uint32_t> TargetHosts(const std::string& target) {
    const std::string message = "'" + target +
                                "' is not an IPv4 address (such as 192.168.1.20) or subnet "
                                "(such as 192.168.1.0/24, from /16 to /32).";
    const auto slash = target.find('/');
    const std::string address = target.substr(0, slash);
    in_addr parsed{};
    if (address.empty() || ::inet_pton(AF_INET, address.c_str(), &parsed) != 1)
        throw EDiscoveryError(message);
    int prefix = 32;
    if (slash != std::string::npos) {
        const char* first = target.data() + slash + 1;
        const char* last = target.data() + target.size();
        const auto [end, error] = std::from_chars(first, last, prefix);
        if (first == last || error != std::errc() || end != last || prefix < 16 || prefix > 32)
            throw EDiscoveryError(message);
    }
    const std::uint32_t host = ntohl(parsed.s_addr);
    const std::uint32_t mask = prefix == 0 ? 0 : ~std::uint32_t(0) << (32 - prefix);
    const std::uint32_t network = host & mask;
    if ((network >> 24) == 0 || (network >> 28) == 0xE)
        throw EDiscoveryError("'" + target +
                              "' names no host: give a unicast IPv4 address or "
                              "subnet.");
    std::vector<std::uint32_t> hosts;
    if (prefix == 32)
        return {host};
    const std::uint32_t broadcast = network | ~mask;
    const bool whole = prefix >= 31;
    for (std::uint32_t a = whole ? network : network + 1;; ++a) {
        if (whole || a != broadcast)
            hosts.push_back(a);
        if (a == broadcast || (!whole && a + 1 == broadcast))
            break;
    }
    return hosts;
}

bool ParseDiscoveryAnswer(const std::uint8_t* data, std::size_t size, std::uint32_t sender,
                          TDiscoveredDevice& device) {
    if (size != DiscoveryAnswerSize ||
        !std::equal(DiscoveryAnswerStart.begin(), DiscoveryAnswerStart.end(), data))
        return false;
    device.Address = Ipv4Text(sender);
    std::copy(data + 24, data + 30, device.Mac.begin());
    return true;
}

TEthernetDiscovery::TEthernetDiscovery(TDiscoveryOptions options) : Options(std::move(options)) {}

std::vector<TDiscoveredDevice>
TEthernetDiscovery::Run(const std::function<void(const TDiscoveredDevice&)>& found,
                        const std::atomic<bool>* stop) {
    Notes.clear();
    Interfaces.clear();
    std::vector<std::uint32_t> unicast;
    for (const std::string& target : Options.Targets)
        for (const std::uint32_t host : TargetHosts(target))
            if (std::find(unicast.begin(), unicast.end(), host) == unicast.end())
                unicast.push_back(host);

    std::vector<TFileDescriptor> sockets;
    if (Options.Broadcast)
        for (const TBroadcastRoute& route : BroadcastRoutes(Notes)) {
            const std::string name = route.Name + " (" + Ipv4Text(route.Address) + ")";
            std::string why;
            TFileDescriptor socket = BoundSocket(route.Address, why);
            int error = socket.IsValid() ? SendQuery(socket, route.Broadcast, Options.Port) : 0;
            if (!socket.IsValid() || error != 0) {
                Notes.push_back("No broadcast could be sent on " + name + ": " +
                                (socket.IsValid() ? ErrorText(error) : why) + ".");
                continue;
            }
            Interfaces.push_back(name);
            sockets.push_back(std::move(socket));
        }
    std::size_t unicastSocket = sockets.size();
    if (!unicast.empty()) {
        std::string why;
        TFileDescriptor socket = BoundSocket(INADDR_ANY, why);
        if (!socket.IsValid())
            Notes.push_back("No query could be sent to the addresses given: " + why + ".");
        else
            sockets.push_back(std::move(socket));
    }
    const bool sendsUnicast = unicastSocket < sockets.size();

    std::vector<TDiscoveredDevice> devices;
    std::set<std::pair<std::string, std::array<std::uint8_t, 6>>> seen;
    std::size_t nextTarget = 0;
    TClock::time_point nextSend = TClock::now();
    TClock::time_point end = nextSend + Options.Listen;
    std::vector<pollfd> polls;
    polls.reserve(sockets.size());
    for (const TFileDescriptor& socket : sockets)
        polls.push_back({socket.Get(), POLLIN, 0});

    while (!(stop && stop->load())) {
        TClock::time_point now = TClock::now();
        while (sendsUnicast && nextTarget < unicast.size() && now >= nextSend) {
            const int error = SendQuery(sockets[unicastSocket], unicast[nextTarget], Options.Port);
            if (error != 0 && error != EAGAIN)
                Notes.push_back("No query could be sent to " + Ipv4Text(unicast[nextTarget]) +
                                ": " + ErrorText(error) + ".");
            ++nextTarget;
            nextSend += Options.UnicastGap;
            end = std::max(end, now + Options.Listen);
            now = TClock::now();
        }
        if (now >= end)
            break;
        TClock::time_point wake = std::min(end, now + std::chrono::milliseconds(100));
        if (sendsUnicast && nextTarget < unicast.size())
            wake = std::min(wake, nextSend);
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(wake - now).count();
        const int ready = ::poll(polls.data(), polls.size(), static_cast<int>(wait));
        if (ready < 0 && errno != EINTR) {
            Notes.push_back("Listening for answers failed: " + ErrorText(errno) + ".");
            break;
        }
        for (const pollfd& p : polls) {
            if (ready <= 0 || !(p.revents & (POLLIN | POLLERR)))
                continue;
            for (int read = 0; read < 1000; ++read) {
                std::uint8_t datagram[512];
                sockaddr_in from{};
                socklen_t fromSize = sizeof from;
                const ssize_t size = ::recvfrom(p.fd, datagram, sizeof datagram, MSG_TRUNC,
                                                reinterpret_cast<sockaddr*>(&from), &fromSize);
                if (size < 0) {
                    // An ICMP "port unreachable" from a host without the module arrives
                    // as an error of the socket; it only means that host did not answer.
                    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                        break;
                    continue;
                }
                TDiscoveredDevice device;
                if (from.sin_family != AF_INET ||
                    static_cast<std::size_t>(size) > sizeof datagram ||
                    !ParseDiscoveryAnswer(datagram, static_cast<std::size_t>(size),
                                          ntohl(from.sin_addr.s_addr), device))
                    continue;
                if (!seen.insert({device.Address, device.Mac}).second)
                    continue;
                devices.push_back(device);
                if (found)
                    found(device);
            }
        }
    }
    std::sort(devices.begin(), devices.end(), DeviceLess);
    return devices;
}
