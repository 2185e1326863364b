#include "meter/EthernetDiscovery.h"

#include "tests/support/OwnNetwork.h"
#include "tools/sim/UdpDiscoveryResponder.h"

#include <arpa/inet.h>
#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <netinet/in.h>
#include <sstream>
#include <thread>

namespace {

using namespace std::chrono_literals;
using TMac = std::array<std::uint8_t, 6>;

const std::vector<std::uint8_t> Query = {0x00, 0x00, 0x00, 0xF6};

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    char two[4];
    for (const std::uint8_t b : bytes) {
        std::snprintf(two, sizeof two, "%02X ", b);
        text += two;
    }
    return text;
}

// Every datagram that reached the responders, written out where it is not the query; empty
// when each was the query.
std::string NotTheQuery(const std::vector<const TUdpDiscoveryResponder*>& responders) {
    std::string found;
    for (const TUdpDiscoveryResponder* r : responders)
        for (const std::vector<std::uint8_t>& datagram : r->Received())
            if (datagram != Query)
                found += "[" + Hex(datagram) + "]";
    return found;
}

std::string Listing(const std::vector<TDiscoveredDevice>& devices) {
    std::string text;
    for (const TDiscoveredDevice& d : devices)
        text += d.Address + " " + d.MacText() + (d.HasSqmPrefix() ? "" : " foreign") + "\n";
    return text;
}

std::unique_ptr<TUdpDiscoveryResponder> Module(const std::string& address, std::uint16_t port,
                                               const TMac& mac,
                                               std::chrono::milliseconds delay = 0ms) {
    TUdpDiscoveryOptions options;
    options.BindAddress = address;
    options.Port = port;
    options.Mac = mac;
    options.Delay = delay;
    return std::make_unique<TUdpDiscoveryResponder>(options);
}

// A device on the port that answers each datagram with the given datagrams, none of them an
// answer a module would give.
class TForeignDevice {
public:
    TForeignDevice(const std::string& address, std::uint16_t port,
                   std::vector<std::vector<std::uint8_t>> replies)
        : Replies(std::move(replies)) {
        Socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        ::setsockopt(Socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        timeval wait{0, 100000};
        ::setsockopt(Socket, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        ::inet_pton(AF_INET, address.c_str(), &local.sin_addr);
        local.sin_port = htons(port);
        EXPECT_EQ(::bind(Socket, reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
        Worker = std::thread([this] {
            while (!Stop) {
                std::uint8_t buffer[64];
                sockaddr_in from{};
                socklen_t size = sizeof from;
                if (::recvfrom(Socket, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from),
                               &size) < 0)
                    continue;
                for (const auto& reply : Replies)
                    ::sendto(Socket, reply.data(), reply.size(), 0,
                             reinterpret_cast<sockaddr*>(&from), size);
            }
        });
    }
    ~TForeignDevice() {
        Stop = true;
        Worker.join();
        ::close(Socket);
    }

private:
    std::vector<std::vector<std::uint8_t>> Replies;
    int Socket = -1;
    std::atomic<bool> Stop{false};
    std::thread Worker;
};

// A free UDP port on the loopback interface, for the simulated modules to share.
std::uint16_t FreeUdpPort() {
    const int socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(socket, reinterpret_cast<sockaddr*>(&local), sizeof local);
    socklen_t size = sizeof local;
    ::getsockname(socket, reinterpret_cast<sockaddr*>(&local), &size);
    ::close(socket);
    return ntohs(local.sin_port);
}

} // namespace

TEST(EthernetDiscoveryTest, TargetsAreAddressesOrSubnetsOfBoundedSize) {
    struct TCase {
        std::string Target;
        std::size_t Count;
        std::string First, Last;
    };
    for (const TCase& c : std::vector<TCase>{
             {"192.168.1.20", 1, "192.168.1.20", "192.168.1.20"},
             {"192.168.1.20/32", 1, "192.168.1.20", "192.168.1.20"},
             {"10.0.0.6/31", 2, "10.0.0.6", "10.0.0.7"},
             {"10.0.0.0/30", 2, "10.0.0.1", "10.0.0.2"},
             {"192.168.7.99/24", 254, "192.168.7.1", "192.168.7.254"},
             {"172.16.0.0/16", 65534, "172.16.0.1", "172.16.255.254"},
         }) {
        const std::vector<std::uint32_t> hosts = TargetHosts(c.Target);
        ASSERT_EQ(hosts.size(), c.Count) << c.Target;
        EXPECT_EQ(Ipv4Text(hosts.front()), c.First) << c.Target;
        EXPECT_EQ(Ipv4Text(hosts.back()), c.Last) << c.Target;
    }
    // Host names are refused rather than looked up: the search sends nothing to a name server.
    for (const std::string bad :
         {"", "abc", "sqm.invalid", "1.2.3", "1.2.3.4/", "1.2.3.4/x", "1.2.3.4/15", "1.2.3.4/33",
          "1.2.3.4/24/1", "0.0.0.0", "0.1.2.3/16", "224.0.0.1", "239.1.1.0/24", " 1.2.3.4"})
        EXPECT_THROW(TargetHosts(bad), EDiscoveryError) << "'" << bad << "'";
}

TEST(EthernetDiscoveryTest, OnlyThirtyByteAnswersWithTheAnswerMarkCount) {
    std::vector<std::uint8_t> answer(30, 0x11);
    answer[0] = answer[1] = answer[2] = 0x00;
    answer[3] = 0xF7;
    const TMac mac = {0x00, 0x80, 0xA3, 0x0A, 0x0B, 0x0C};
    std::copy(mac.begin(), mac.end(), answer.begin() + 24);
    TDiscoveredDevice device;
    ASSERT_TRUE(ParseDiscoveryAnswer(answer.data(), answer.size(), 0xC0A80114, device));
    EXPECT_EQ(device.Address, "192.168.1.20");
    EXPECT_EQ(device.MacText(), "00:80:A3:0A:0B:0C");
    EXPECT_TRUE(device.HasSqmPrefix());

    std::vector<std::uint8_t> longer = answer;
    longer.push_back(0);
    std::vector<std::uint8_t> otherFunction = answer;
    otherFunction[3] = 0xF9;
    for (const auto& bad : {std::vector<std::uint8_t>(answer.begin(), answer.end() - 1), longer,
                            otherFunction, Query, std::vector<std::uint8_t>{}})
        EXPECT_FALSE(ParseDiscoveryAnswer(bad.data(), bad.size(), 1, device)) << Hex(bad);

    device.Mac = {0x00, 0x80, 0xA4, 1, 2, 3};
    EXPECT_FALSE(device.HasSqmPrefix());
}

// Unicast on the loopback interface: several modules answer, one of them twice and one of
// them late, one is no SQM, one device sends datagrams that are no answer, one answers
// after the search has ended and one address has nobody at all.
TEST(EthernetDiscoveryTest, UnicastFindsEveryModuleOnceAndIgnoresWhatIsNoAnswer) {
    const std::uint16_t port = FreeUdpPort();
    const auto a = Module("127.0.0.2", port, {0x00, 0x80, 0xA3, 0x00, 0x00, 0x02});
    const auto b = Module("127.0.0.3", port, {0x00, 0x80, 0xA3, 0x00, 0x00, 0x03}, 300ms);
    const auto other = Module("127.0.0.4", port, {0x00, 0x1B, 0x44, 0x11, 0x3A, 0xB7});
    const auto tooLate = Module("127.0.0.9", port, {0x00, 0x80, 0xA3, 0x00, 0x00, 0x09}, 3000ms);
    std::vector<std::uint8_t> wrongStart(30, 0);
    wrongStart[3] = 0xF9;
    const TForeignDevice foreign("127.0.0.5", port,
                                 {{0x00, 0x00, 0x00, 0xF7},
                                  wrongStart,
                                  std::vector<std::uint8_t>(31, 0),
                                  {'h', 'e', 'l', 'l', 'o'}});

    TDiscoveryOptions options;
    options.Broadcast = false; // never on this machine's own networks
    options.Targets = {"127.0.0.0/29", "127.0.0.2", "127.0.0.9"};
    options.Port = port;
    options.Listen = 1000ms;
    options.UnicastGap = 1ms;
    TEthernetDiscovery discovery(options);
    std::vector<TDiscoveredDevice> reported;
    const std::vector<TDiscoveredDevice> devices =
        discovery.Run([&](const TDiscoveredDevice& d) { reported.push_back(d); });

    EXPECT_EQ(Listing(devices), "127.0.0.2 00:80:A3:00:00:02\n"
                                "127.0.0.3 00:80:A3:00:00:03\n"
                                "127.0.0.4 00:1B:44:11:3A:B7 foreign\n");
    EXPECT_EQ(reported.size(), 3u);
    EXPECT_EQ(a->Received().size(), 1u); // in the subnet and named on its own: asked once
    EXPECT_TRUE(discovery.BroadcastInterfaces().empty());
    EXPECT_EQ(NotTheQuery({a.get(), b.get(), other.get(), tooLate.get()}), "");
}

TEST(EthernetDiscoveryTest, NobodyAnsweringFindsNothingOnceTheListeningTimeIsOver) {
    TDiscoveryOptions options;
    options.Broadcast = false;
    options.Targets = {"127.0.0.1", "127.0.0.12"};
    options.Port = FreeUdpPort();
    options.Listen = 300ms;
    const auto start = std::chrono::steady_clock::now();
    TEthernetDiscovery discovery(options);
    EXPECT_TRUE(discovery.Run().empty());
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 300ms);
    EXPECT_LT(took, 10s);
}

TEST(EthernetDiscoveryTest, AStopEndsTheSearchEarly) {
    TDiscoveryOptions options;
    options.Broadcast = false;
    options.Targets = {"127.0.0.1"};
    options.Port = FreeUdpPort();
    options.Listen = 60s;
    std::atomic<bool> stop{false};
    std::thread stopper([&] {
        std::this_thread::sleep_for(200ms);
        stop = true;
    });
    const auto start = std::chrono::steady_clock::now();
    TEthernetDiscovery(options).Run({}, &stop);
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 30s);
}

// A network of the test's own with two interfaces that can broadcast (the two ends of a
// virtual Ethernet cable) and the loopback interface, which cannot: the query goes out once
// on each broadcasting interface, from its own address, and two modules that hear it answer
// from addresses of their own.
TEST(EthernetDiscoveryTest, BroadcastGoesOutOnEachInterfaceThatCanBroadcast) {
    std::string whyNot;
    const std::optional<std::string> outcome = RunInOwnNetwork(
        [] {
            for (const std::vector<std::string>& command : std::vector<std::vector<std::string>>{
                     {"link", "add", "nlx0", "type", "veth", "peer", "name", "nlx1"},
                     {"addr", "add", "10.77.0.1/24", "brd", "+", "dev", "nlx0"},
                     {"addr", "add", "10.78.0.1/24", "brd", "+", "dev", "nlx1"},
                     {"addr", "add", "10.77.0.21/32", "dev", "nlx1"},
                     {"addr", "add", "10.77.0.22/32", "dev", "nlx1"},
                     {"link", "set", "nlx0", "up"},
                     {"link", "set", "nlx1", "up"}})
                if (const std::string failed = RunIp(command); !failed.empty())
                    return failed;
            const std::uint16_t port = 30718; // free in a network of our own
            TUdpDiscoveryOptions first;
            first.BindAddress = "0.0.0.0";
            first.Port = port;
            first.Mac = {0x00, 0x80, 0xA3, 0x00, 0x00, 0x21};
            first.AnswerFrom = "10.77.0.21";
            TUdpDiscoveryOptions second = first;
            second.Mac = {0x00, 0x80, 0xA3, 0x00, 0x00, 0x22};
            second.AnswerFrom = "10.77.0.22";
            TUdpDiscoveryOptions loopbackOnly = first;
            loopbackOnly.BindAddress = "127.0.0.1";
            loopbackOnly.AnswerFrom.clear();
            const TUdpDiscoveryResponder a(first), b(second), c(loopbackOnly);

            TDiscoveryOptions options;
            options.Listen = 500ms;
            TEthernetDiscovery discovery(options);
            std::ostringstream report;
            report << Listing(discovery.Run());
            for (const std::string& name : discovery.BroadcastInterfaces())
                report << "on " << name << "\n";
            for (const std::string& problem : discovery.Problems())
                report << "problem: " << problem << "\n";
            report << "loopback heard " << c.Received().size() << "\n";
            report << "not the query: " << NotTheQuery({&a, &b, &c}) << "\n";
            return report.str();
        },
        whyNot);
    ASSERT_TRUE(outcome) << whyNot;
    // The interfaces come in the system's order; the addresses are what counts.
    EXPECT_NE(outcome->find("on nlx0 (10.77.0.1)\n"), std::string::npos) << *outcome;
    EXPECT_NE(outcome->find("on nlx1 (10.78.0.1)\n"), std::string::npos) << *outcome;
    EXPECT_EQ(outcome->find("(127.0.0.1)"), std::string::npos) << *outcome;
    EXPECT_EQ(outcome->find("10.77.0.21)"), std::string::npos) << *outcome; // one per interface
    EXPECT_TRUE(outcome->starts_with("10.77.0.21 00:80:A3:00:00:21\n"
                                     "10.77.0.22 00:80:A3:00:00:22\n"
                                     "on "))
        << *outcome;
    EXPECT_NE(outcome->find("loopback heard 0\nnot the query: \n"), std::string::npos) << *outcome;
    EXPECT_EQ(outcome->find("problem"), std::string::npos) << *outcome;
}
