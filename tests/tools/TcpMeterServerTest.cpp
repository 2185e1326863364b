#include "tools/sim/TcpMeterServer.h"

#include "platform/TcpClient.h"
#include "tests/support/RowName.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Sends the commands and counts the bytes that come back until the meter falls silent.
std::size_t Exchange(TTcpMeterServer& meter, const std::vector<std::string>& commands) {
    TTcpClient client;
    client.SetHost("127.0.0.1");
    client.SetPort(meter.GetPort());
    client.Connect();
    for (const std::string& command : commands)
        client.Write(command);
    std::size_t received = 0;
    for (std::size_t now = 0; (now = client.CheckForInput(300ms)) > received;)
        received = now;
    return received;
}

struct ReplyCase {
    const char* Name;
    std::function<void(TMeterOptions&)> Set;
    std::vector<std::string> Commands;
    std::size_t Bytes; // sent by the meter, line ends included
};

class TcpMeterReplies : public testing::TestWithParam<ReplyCase> {};

TEST_P(TcpMeterReplies, SendsTheBytesOfTheRealLayouts) {
    TMeterOptions options;
    GetParam().Set(options);
    TTcpMeterServer meter(options);
    EXPECT_EQ(Exchange(meter, GetParam().Commands), GetParam().Bytes);
    EXPECT_EQ(meter.GetCounts().BytesSent, GetParam().Bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TcpMeterReplies,
    testing::Values(ReplyCase{"UnitInformation", [](auto&) {}, {"ix"}, 39},
                    ReplyCase{"Reading", [](auto&) {}, {"rx"}, 57},
                    ReplyCase{"Calibration", [](auto&) {}, {"cx"}, 58},
                    ReplyCase{"CommandSplitAcrossPackets", [](auto&) {}, {"i", "x"}, 39},
                    ReplyCase{"UnknownCommandUnanswered", [](auto&) {}, {"ux", "ix"}, 39},
                    ReplyCase{"NoCr", [](auto& o) { o.NoCR = true; }, {"rx"}, 56},
                    ReplyCase{"EmptyLine", [](auto& o) { o.EmptyLine = true; }, {"rx"}, 2},
                    ReplyCase{"Short", [](auto& o) { o.ShortReply = 20; }, {"rx"}, 20},
                    ReplyCase{"Surplus", [](auto& o) { o.Surplus = "junk"; }, {"ix"}, 43},
                    ReplyCase{"LongLine", [](auto& o) { o.LongLine = 20000; }, {"ix"}, 20002},
                    ReplyCase{"Silent", [](auto& o) { o.Silent = true; }, {"ix", "rx"}, 0},
                    ReplyCase{
                        "QueuedReports", [](auto& o) { o.QueuedReports = 2; }, {"ix"}, 2 * 57 + 39},
                    ReplyCase{"Leading", [](auto& o) { o.Leading = "noise\r\n"; }, {"ix"}, 7 + 39},
                    ReplyCase{"InPieces",
                              [](auto& o) {
                                  o.ByteDelay = 1ms;
                                  o.PieceBytes = 10;
                              },
                              {"rx"},
                              57}),
    RowName());

TEST(TcpMeterServer, ByteDelayTricklesTheReply) {
    TMeterOptions options;
    options.ByteDelay = 20ms;
    TTcpMeterServer meter(options);
    const auto start = Clock::now();
    EXPECT_EQ(Exchange(meter, {"ix"}), 39u);
    EXPECT_GT(std::chrono::duration<double>(Clock::now() - start).count(), 0.6); // 38 gaps
}

TEST(TcpMeterServer, StopsCleanlyWithAClientConnected) {
    TTcpClient client;
    {
        TMeterOptions options;
        options.ReplyDelay = 10s;
        TTcpMeterServer meter(options);
        client.SetHost("127.0.0.1");
        client.SetPort(meter.GetPort());
        client.Connect();
        client.Write("rx");
        ASSERT_TRUE(meter.WaitUntil([](const auto& c) { return c.Received == "rx"; }, 5s));
    }
    client.SetReadTimeout(5s);
    EXPECT_THROW(client.ReadLn(), EConnectionClosed);
}

TEST(TcpMeterServer, GivenPortIsUsedAndABusyPortRaises) {
    TTcpMeterServer first;
    EXPECT_THROW(TTcpMeterServer(TMeterOptions{}, first.GetPort()), ESocketError);
}

TEST(TcpMeterServer, ServesSeveralClientsWhenAskedTo) {
    TMeterOptions options;
    options.RefuseSecondClient = false;
    TTcpMeterServer meter(options);
    TTcpClient a, b;
    for (TTcpClient* client : {&a, &b}) {
        client->SetHost("127.0.0.1");
        client->SetPort(meter.GetPort());
        client->SetReadTimeout(5s);
        client->Connect();
        client->Write("ix");
        EXPECT_EQ(client->ReadLn().size(), 37u);
    }
    EXPECT_EQ(meter.GetCounts().OpenConnections, 2);
}

} // namespace
