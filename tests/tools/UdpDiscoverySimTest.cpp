#include "platform/Exception.h"
#include "tools/sim/SimCommandLine.h"
#include "tools/sim/UdpDiscoveryResponder.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

TEST(UdpDiscoverySim, ReadsTheModuleOptions) {
    const TSimCommandLine line = ParseSimCommandLine(
        {"--tcp", "0", "--udp-discovery", "00-1b-44-11-3a-b7", "--udp-address", "0.0.0.0",
         "--udp-port", "31000", "--udp-from", "10.1.2.3", "--udp-delay", "250"});
    ASSERT_TRUE(line.Discovery);
    EXPECT_EQ(line.Discovery->Mac,
              (std::array<std::uint8_t, 6>{0x00, 0x1B, 0x44, 0x11, 0x3A, 0xB7}));
    EXPECT_EQ(line.Discovery->BindAddress, "0.0.0.0");
    EXPECT_EQ(line.Discovery->Port, 31000);
    EXPECT_EQ(line.Discovery->AnswerFrom, "10.1.2.3");
    EXPECT_EQ(line.Discovery->Delay, 250ms);
    EXPECT_EQ(line.TcpPort, 0);

    const TSimCommandLine alone = ParseSimCommandLine({"--udp-discovery", "00:80:A3:00:00:01"});
    ASSERT_TRUE(alone.Discovery);
    EXPECT_EQ(alone.Discovery->BindAddress, "127.0.0.1");
    EXPECT_EQ(alone.Discovery->Port, 30718);
    EXPECT_FALSE(ParseSimCommandLine({"--tcp", "0"}).Discovery);

    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"--udp-discovery", "00:80:A3:00:00"},
             {"--udp-discovery", "00:80:A3:00:00:0G"},
             {"--udp-discovery", "00:80:A3:00:00:001"},
             {"--udp-discovery", "00:80:A3:00:00:01", "--udp-address", "localhost"},
             {"--udp-discovery", "00:80:A3:00:00:01", "--udp-port", "65536"},
             {"--udp-port", "31000"}})
        EXPECT_THROW(ParseSimCommandLine(bad), Exception) << bad.back();
}

TEST(UdpDiscoverySim, TheAnswerCarriesTheMarkAndTheMacInItsThirtyBytes) {
    TUdpDiscoveryOptions options;
    options.Port = 0;
    options.Mac = {0x00, 0x80, 0xA3, 0xDE, 0xAD, 0x01};
    const TUdpDiscoveryResponder module(options);
    const std::vector<std::uint8_t> answer = module.Answer();
    ASSERT_EQ(answer.size(), 30u);
    EXPECT_EQ(std::vector<std::uint8_t>(answer.begin(), answer.begin() + 4),
              (std::vector<std::uint8_t>{0x00, 0x00, 0x00, 0xF7}));
    EXPECT_EQ(std::vector<std::uint8_t>(answer.begin() + 24, answer.end()),
              (std::vector<std::uint8_t>{0x00, 0x80, 0xA3, 0xDE, 0xAD, 0x01}));
    EXPECT_NE(module.GetPort(), 0);
}
