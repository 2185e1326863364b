#include "platform/TcpClient.h"

#include "tests/support/RowName.h"
#include "tests/support/WithoutNetwork.h"
#include "tools/sim/LoopbackSocket.h"

#include <atomic>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <linux/sockios.h>
#include <optional>
#include <poll.h>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The server side of one connection, driven by the test itself.
class TPeer {
public:
    TPeer() : Listener(BindLoopback(0)), Port(LocalPort(Listener)) {
        EXPECT_EQ(::listen(Listener.Get(), 4), 0);
    }

    int GetPort() const { return Port; }

    // Takes the connection that the client has opened.
    void Accept() {
        pollfd p{Listener.Get(), POLLIN, 0};
        ASSERT_EQ(::poll(&p, 1, 5000), 1);
        Connection = TFileDescriptor(::accept4(Listener.Get(), nullptr, nullptr, SOCK_CLOEXEC));
        ASSERT_TRUE(Connection);
    }

    // Sends the bytes and waits until the client's side has acknowledged them, so that
    // they are waiting there.
    void Send(const std::string& bytes) {
        ASSERT_EQ(::send(Connection.Get(), bytes.data(), bytes.size(), MSG_NOSIGNAL),
                  ssize_t(bytes.size()));
        const auto deadline = Clock::now() + 5s;
        int unacknowledged = 0;
        while (::ioctl(Connection.Get(), SIOCOUTQ, &unacknowledged) == 0 && unacknowledged > 0 &&
               Clock::now() < deadline)
            std::this_thread::sleep_for(1ms);
        ASSERT_EQ(unacknowledged, 0);
    }

    std::string Received() {
        std::string bytes;
        char chunk[256];
        pollfd p{Connection.Get(), POLLIN, 0};
        while (::poll(&p, 1, 200) == 1) {
            const ssize_t n = ::recv(Connection.Get(), chunk, sizeof chunk, 0);
            if (n <= 0)
                break;
            bytes.append(chunk, std::size_t(n));
        }
        return bytes;
    }

    void Close() { Connection.Reset(); }
    void Reset() {
        ResetOnClose(Connection);
        Connection.Reset();
    }

private:
    TFileDescriptor Listener;
    int Port;
    TFileDescriptor Connection;
};

class TcpClient : public testing::Test {
protected:
    void ConnectTo(int port, std::chrono::milliseconds readTimeout = 5s) {
        Client.SetHost("127.0.0.1");
        Client.SetPort(port);
        Client.SetConnectTimeout(5s);
        Client.SetReadTimeout(readTimeout);
        Client.Connect();
    }

    void ConnectToPeer(std::chrono::milliseconds readTimeout = 5s) {
        ConnectTo(Peer.GetPort(), readTimeout);
        Peer.Accept();
    }

    TPeer Peer;
    TTcpClient Client;
};

TEST_F(TcpClient, ReadsLinesEndedByCrLfOrLf) {
    ConnectToPeer();
    Peer.Send("one\r\ntwo\nth");
    EXPECT_EQ(Client.ReadLn(), "one");
    EXPECT_EQ(Client.ReadLn(), "two");
    Peer.Send("ree\r\n\r\n");
    EXPECT_EQ(Client.ReadLn(), "three");
    EXPECT_EQ(Client.ReadLn(), "");
    EXPECT_FALSE(Client.ReadLnTimedOut());
}

TEST_F(TcpClient, ReadsBytesAbove127AsQuestionMarks) {
    ConnectToPeer();
    Peer.Send("r,\xC2\xB0\r1\xFF\r\n");
    EXPECT_EQ(Client.ReadLn(), "r,??\r1?");
}

TEST_F(TcpClient, SendsTheBytesAsTheyAre) {
    ConnectToPeer();
    Client.Write("ix");
    Client.Write("");
    EXPECT_EQ(Peer.Received(), "ix");
}

TEST_F(TcpClient, ReadTimeOutGivesAnEmptyLineAndKeepsThePartialOne) {
    ConnectToPeer(300ms);
    Peer.Send("par");
    const auto start = Clock::now();
    EXPECT_EQ(Client.ReadLn(), "");
    EXPECT_TRUE(Client.ReadLnTimedOut());
    EXPECT_GT(SecondsSince(start), 0.2);
    EXPECT_LT(SecondsSince(start), 3.0);
    EXPECT_TRUE(Client.Connected());

    Peer.Send("tial\n");
    EXPECT_EQ(Client.ReadLn(), "partial");
    EXPECT_FALSE(Client.ReadLnTimedOut());
}

TEST_F(TcpClient, TricklingBytesDoNotExtendTheReadTimeOut) {
    ConnectToPeer(500ms);
    std::atomic<bool> stop = false;
    std::thread trickle([&] {
        for (int i = 0; i < 100 && !stop; ++i) {
            Peer.Send("x");
            std::this_thread::sleep_for(50ms);
        }
    });
    const auto start = Clock::now();
    EXPECT_EQ(Client.ReadLn(), "");
    const double seconds = SecondsSince(start);
    stop = true;
    trickle.join();
    EXPECT_TRUE(Client.ReadLnTimedOut());
    EXPECT_GT(seconds, 0.4);
    EXPECT_LT(seconds, 3.0);
}

struct LineLengthCase {
    const char* Name;
    std::string Sent;
    bool Fits;
};

class TcpClientLineLength : public testing::TestWithParam<LineLengthCase> {};

TEST_P(TcpClientLineLength, AllowsAtMost16384BytesBeforeTheLf) {
    const LineLengthCase& c = GetParam();
    TPeer peer;
    TTcpClient client;
    client.SetHost("127.0.0.1");
    client.SetPort(peer.GetPort());
    client.SetReadTimeout(10s);
    client.Connect();
    peer.Accept();
    peer.Send(c.Sent);
    const auto start = Clock::now();
    if (c.Fits) {
        const std::string line = client.ReadLn();
        EXPECT_EQ(line.size(), c.Sent.find_first_of("\r\n"));
    } else {
        EXPECT_THROW(client.ReadLn(), ELineTooLong);
        EXPECT_LT(SecondsSince(start), 5.0); // not by waiting for the time-out
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TcpClientLineLength,
    testing::Values(LineLengthCase{"ExactlyTheLimit", std::string(16384, 'a') + "\n", true},
                    LineLengthCase{"LimitWithCr", std::string(16383, 'a') + "\r\n", true},
                    LineLengthCase{"OneOverWithCr", std::string(16384, 'a') + "\r\n", false},
                    LineLengthCase{"OneOver", std::string(16385, 'a') + "\n", false},
                    LineLengthCase{"NoLfAtAll", std::string(20000, 'a'), false}),
    RowName());

TEST_F(TcpClient, OrderlyCloseWhileALineIsAwaited) {
    ConnectToPeer();
    Peer.Send("partial");
    Peer.Close();
    EXPECT_THROW(Client.ReadLn(), EConnectionClosed);
}

TEST_F(TcpClient, ConnectedWhileUnreadDataWaitsAfterTheOtherSideClosed) {
    ConnectToPeer();
    Peer.Send("last\r\n");
    Peer.Close();
    EXPECT_TRUE(Client.Connected());
    EXPECT_EQ(Client.ReadLn(), "last");
    Client.CheckForInput(5s); // returns once the close has arrived
    EXPECT_FALSE(Client.Connected());
}

TEST_F(TcpClient, ResetWhileReadingIsASocketErrorWithItsCode) {
    ConnectToPeer();
    std::thread reset([&] {
        std::this_thread::sleep_for(100ms);
        Peer.Reset();
    });
    try {
        Client.ReadLn();
        ADD_FAILURE() << "no error";
    } catch (const ESocketError& e) {
        EXPECT_EQ(e.LastError(), ECONNRESET);
    }
    reset.join();
}

TEST_F(TcpClient, WritingToAResetConnectionRaisesInsteadOfSigpipe) {
    ConnectToPeer();
    Peer.Reset();
    Client.CheckForInput(5s); // returns once the reset has arrived
    EXPECT_FALSE(Client.Connected());
    try {
        for (int i = 0; i < 10; ++i)
            Client.Write("rx");
        ADD_FAILURE() << "no error";
    } catch (const ESocketError& e) {
        EXPECT_TRUE(e.LastError() == EPIPE || e.LastError() == ECONNRESET) << e.what();
    }
}

TEST_F(TcpClient, RefusedConnectionCarriesEconnrefused) {
    const TRefusedPort refused;
    try {
        ConnectTo(refused.GetPort());
        ADD_FAILURE() << "connected";
    } catch (const ESocketError& e) {
        EXPECT_EQ(e.LastError(), ECONNREFUSED);
        EXPECT_NE(std::string(e.what()).find(std::to_string(refused.GetPort())), std::string::npos);
    }
    EXPECT_FALSE(Client.Connected());
}

TEST_F(TcpClient, ConnectGivesUpAfterTheConnectTimeOut) {
    const TUnansweredPort unanswered;
    Client.SetHost("127.0.0.1");
    Client.SetPort(unanswered.GetPort());
    Client.SetConnectTimeout(500ms);
    const auto start = Clock::now();
    EXPECT_THROW(Client.Connect(), EConnectTimeout);
    EXPECT_GT(SecondsSince(start), 0.4);
    EXPECT_LT(SecondsSince(start), 4.0);
    EXPECT_FALSE(Client.Connected());
}

TEST(TcpClientLookUp, UnresolvableHostIsASocketErrorNamingTheHost) {
    std::string whyNot;
    const std::optional<std::string> outcome = RunWithoutNetwork(
        [] {
            TTcpClient client;
            client.SetHost("no-such-meter.invalid");
            client.SetPort(10001);
            client.SetConnectTimeout(5s);
            try {
                client.Connect();
                return std::string("connected");
            } catch (const ESocketError& e) {
                return std::string(e.LastError() == ECONNREFUSED ? "refused: " : "socket error: ") +
                       e.what() + (client.Connected() ? " (connected)" : "");
            }
        },
        whyNot);
    if (!outcome)
        GTEST_SKIP() << whyNot;
    EXPECT_TRUE(outcome->starts_with("socket error: ")) << *outcome;
    EXPECT_NE(outcome->find("\"no-such-meter.invalid\""), std::string::npos) << *outcome;
    EXPECT_FALSE(outcome->ends_with("(connected)")) << *outcome;
}

// A name that the hosts file gives to 127.0.0.1, read without asking a name server; none
// where there is no hosts file.
std::string LoopbackNameFromHostsFile() {
    std::ifstream hosts("/etc/hosts");
    for (std::string line; std::getline(hosts, line);) {
        std::istringstream fields(line.substr(0, line.find('#')));
        std::string address, name;
        if (fields >> address >> name && address == "127.0.0.1")
            return name;
    }
    return {};
}

TEST_F(TcpClient, ResolvesAHostName) {
    // Without a hosts file the address itself goes through the same look-up.
    const std::string name = LoopbackNameFromHostsFile();
    Client.SetHost(name.empty() ? "127.0.0.1" : name);
    Client.SetPort(Peer.GetPort());
    Client.Connect();
    Peer.Accept();
    EXPECT_TRUE(Client.Connected());
}

struct UsageCase {
    const char* Name;
    std::string Host;
    int Port;
};

class TcpClientUsage : public testing::TestWithParam<UsageCase> {};

TEST_P(TcpClientUsage, BadSettingsAreTheClientsOwnErrors) {
    TTcpClient client;
    client.SetHost(GetParam().Host);
    client.SetPort(GetParam().Port);
    try {
        client.Connect();
        ADD_FAILURE() << "connected";
    } catch (const ESocketError& e) {
        ADD_FAILURE() << "a socket error: " << e.what();
    } catch (const ETcpUsageError&) {
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, TcpClientUsage,
                         testing::Values(UsageCase{"EmptyHost", "", 10001},
                                         UsageCase{"PortZero", "127.0.0.1", 0},
                                         UsageCase{"PortNegative", "127.0.0.1", -1},
                                         UsageCase{"PortAbove65535", "127.0.0.1", 65536 + 10001}),
                         RowName());

TEST_F(TcpClient, ConnectWhileConnectedAndIoWhileNotAreUsageErrors) {
    EXPECT_THROW(Client.ReadLn(), ETcpUsageError);
    EXPECT_THROW(Client.Write("rx"), ETcpUsageError);
    ConnectToPeer();
    EXPECT_THROW(Client.Connect(), ETcpUsageError);
    EXPECT_TRUE(Client.Connected());
}

TEST_F(TcpClient, DisconnectIsHarmlessAndAllowsReconnecting) {
    Client.Disconnect();
    EXPECT_FALSE(Client.Connected());
    ConnectToPeer();
    EXPECT_TRUE(Client.Connected());
    Client.Disconnect();
    Client.Disconnect();
    EXPECT_FALSE(Client.Connected());
    EXPECT_EQ(Peer.Received(), ""); // the peer sees the close
    Client.Connect();
    Peer.Accept();
    EXPECT_TRUE(Client.Connected());
}

TEST_F(TcpClient, ConnectedDoesNotWait) {
    ConnectToPeer(30s);
    const auto start = Clock::now();
    EXPECT_TRUE(Client.Connected());
    EXPECT_LT(SecondsSince(start), 1.0);
}

TEST_F(TcpClient, DiscardInputDropsOnlyWhatHasArrived) {
    ConnectToPeer(300ms);
    Peer.Send("stale report\r\npart");
    EXPECT_EQ(Client.ReadLn(), "stale report");
    Peer.Send("ial\r\nanother stale line\r\n");
    Client.DiscardInput();
    EXPECT_EQ(Client.ReadLn(), "");
    EXPECT_TRUE(Client.ReadLnTimedOut());

    Peer.Send("fresh\r\n");
    EXPECT_EQ(Client.ReadLn(), "fresh");
}

TEST_F(TcpClient, CheckForInputTakesInWhatHasArrived) {
    ConnectToPeer();
    EXPECT_EQ(Client.CheckForInput(100ms), 0u);
    Peer.Send("abc\r\n");
    EXPECT_EQ(Client.CheckForInput(2s), 5u);
    EXPECT_EQ(Client.ReadLn(), "abc");
}

TEST_F(TcpClient, OnConnectedRunsOnceTheConnectionIsOpen) {
    int calls = 0;
    Client.OnConnected = [&] {
        ++calls;
        EXPECT_TRUE(Client.Connected());
    };
    ConnectToPeer();
    EXPECT_EQ(calls, 1);
}

TEST_F(TcpClient, SocketIsClosedOnExec) {
    ConnectToPeer();
    // Every socket of this process is close-on-exec: the peer's are made so, and the
    // client's must be.
    DIR* fds = ::opendir("/proc/self/fd");
    ASSERT_NE(fds, nullptr);
    int sockets = 0;
    while (const dirent* entry = ::readdir(fds)) {
        const int fd = std::atoi(entry->d_name);
        struct stat info {};
        if (entry->d_name[0] == '.' || ::fstat(fd, &info) != 0 || !S_ISSOCK(info.st_mode))
            continue;
        ++sockets;
        EXPECT_NE(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0) << "descriptor " << fd;
    }
    ::closedir(fds);
    EXPECT_GE(sockets, 3);
}

} // namespace
