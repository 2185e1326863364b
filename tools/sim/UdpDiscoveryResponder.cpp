#include "tools/sim/UdpDiscoveryResponder.h"

#include "platform/TcpClient.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

[[noreturn]] void Fail(const std::string& what, int error) {
    throw ESocketError(what + " failed: " + std::strerror(error) + " (error " +
                           std::to_string(error) + ").",
                       error);
}

in_addr Address(const std::string& text) {
    in_addr address{};
    if (::inet_pton(AF_INET, text.c_str(), &address) != 1)
        Fail("Reading the address '" + text + "'", EINVAL);
    return address;
}

constexpr std::uint8_t Query[4] = {0x00, 0x00, 0x00, 0xF6};

} // namespace

bool ParseMac(const std::string& text, std::array<std::uint8_t, 6>& mac) {
    if (text.size() != 17)
        return false;
    for (std::size_t i = 0; i < 6; ++i) {
        unsigned value = 0;
        for (std::size_t j = 0; j < 2; ++j) {
            const char c = text[i * 3 + j];
            const int digit = c >= '0' && c <= '9'   ? c - '0'
                              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : -1;
            if (digit < 0)
                return false;
            value = value * 16 + static_cast<unsigned>(digit);
        }
        if (i < 5 && text[i * 3 + 2] != ':' && text[i * 3 + 2] != '-')
            return false;
        mac[i] = static_cast<std::uint8_t>(value);
    }
    return true;
}

TUdpDiscoveryResponder::TUdpDiscoveryResponder(TUdpDiscoveryOptions options)
    : Options(std::move(options)) {
    Socket = TFileDescriptor(::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!Socket)
        Fail("Creating a UDP socket", errno);
    const int on = 1;
    if (::setsockopt(Socket.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0)
        Fail("Setting SO_REUSEADDR", errno);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr = Address(Options.BindAddress);
    local.sin_port = htons(Options.Port);
    if (::bind(Socket.Get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
        Fail("Binding UDP " + Options.BindAddress + ":" + std::to_string(Options.Port), errno);
    socklen_t size = sizeof local;
    ::getsockname(Socket.Get(), reinterpret_cast<sockaddr*>(&local), &size);
    Port = ntohs(local.sin_port);
    if (!Options.AnswerFrom.empty())
        Address(Options.AnswerFrom);
    int wake[2];
    if (::pipe2(wake, O_CLOEXEC) != 0)
        Fail("Creating a pipe", errno);
    WakeRead = TFileDescriptor(wake[0]);
    WakeWrite = TFileDescriptor(wake[1]);
    Worker = std::thread([this] { Run(); });
}

TUdpDiscoveryResponder::~TUdpDiscoveryResponder() {
    const char stop = 's';
    [[maybe_unused]] const ssize_t written = ::write(WakeWrite.Get(), &stop, 1);
    Worker.join();
}

std::vector<std::uint8_t> TUdpDiscoveryResponder::Answer() const {
    // The first bytes of the module's firmware image (its type "X5" at 8-9), its device
    // information with its own serial number, and the MAC address.
    constexpr std::uint8_t Head[24] = {0x00, 0x00, 0x00, 0xF7, 0x00, 0x00, 0x00, 0x00,
                                       'X',  '5',  0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                       0x00, 0x00, 0x4B, 0x1C, 0x00, 0x01, 0x12, 0x34};
    std::vector<std::uint8_t> answer(30);
    std::copy(std::begin(Head), std::end(Head), answer.begin());
    std::copy(Options.Mac.begin(), Options.Mac.end(), answer.begin() + 24);
    return answer;
}

std::vector<std::vector<std::uint8_t>> TUdpDiscoveryResponder::Received() const {
    const std::lock_guard lock(Lock);
    return Datagrams;
}

bool TUdpDiscoveryResponder::WaitForDatagrams(std::size_t count,
                                              std::chrono::milliseconds timeout) const {
    std::unique_lock lock(Lock);
    return Arrived.wait_for(lock, timeout, [&] { return Datagrams.size() >= count; });
}

void TUdpDiscoveryResponder::Run() {
    const std::vector<std::uint8_t> answer = Answer();
    for (;;) {
        pollfd polls[2] = {{Socket.Get(), POLLIN, 0}, {WakeRead.Get(), POLLIN, 0}};
        if (::poll(polls, 2, -1) < 0 && errno != EINTR)
            return;
        if (polls[1].revents)
            return;
        if (!(polls[0].revents & POLLIN))
            continue;
        std::uint8_t datagram[2048];
        sockaddr_in from{};
        socklen_t fromSize = sizeof from;
        const ssize_t size = ::recvfrom(Socket.Get(), datagram, sizeof datagram, 0,
                                        reinterpret_cast<sockaddr*>(&from), &fromSize);
        if (size < 0)
            continue;
        {
            const std::lock_guard lock(Lock);
            Datagrams.emplace_back(datagram, datagram + size);
        }
        Arrived.notify_all();
        if (Options.Silent || size != sizeof Query || std::memcmp(datagram, Query, size) != 0)
            continue;
        if (Options.Delay.count() > 0) {
            pollfd wake{WakeRead.Get(), POLLIN, 0};
            if (::poll(&wake, 1, static_cast<int>(Options.Delay.count())) > 0)
                return;
        }
        msghdr message{};
        iovec data{const_cast<std::uint8_t*>(answer.data()), answer.size()};
        message.msg_name = &from;
        message.msg_namelen = fromSize;
        message.msg_iov = &data;
        message.msg_iovlen = 1;
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
        if (!Options.AnswerFrom.empty()) {
            message.msg_control = control;
            message.msg_controllen = sizeof control;
            cmsghdr* header = CMSG_FIRSTHDR(&message);
            header->cmsg_level = IPPROTO_IP;
            header->cmsg_type = IP_PKTINFO;
            header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
            in_pktinfo info{};
            info.ipi_spec_dst = Address(Options.AnswerFrom);
            std::memcpy(CMSG_DATA(header), &info, sizeof info);
        }
        ::sendmsg(Socket.Get(), &message, MSG_NOSIGNAL);
    }
}
