#include "meter/MeterIdentify.h"

#include "meter/ExclusivePort.h"
#include "platform/TcpClient.h"
#include "tests/support/PtyPair.h"
#include "tools/sim/PtyMeter.h"
#include "tools/sim/TcpMeterServer.h"

#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <thread>

namespace {

using namespace std::chrono_literals;

TMeterOptions MeterWithSerial(int serial, int model = 3) {
    TMeterOptions options;
    options.SerialNumber = serial;
    options.ModelNumber = model;
    return options;
}

template <class Action>
std::string SqmFailure(Action action) {
    try {
        action();
    } catch (const ESqm& e) {
        return e.what();
    }
    ADD_FAILURE() << "no ESqm thrown";
    return {};
}

} // namespace

TEST(MeterIdentifyTest, UnitInformationRepliesGiveTheIdentityOthersAreRefused) {
    const TMeterIdentity identity = IdentityOfReply("i,00000004,00000006,00000061,00012345\r\n");
    EXPECT_EQ(identity.Protocol, "00000004");
    EXPECT_EQ(identity.Model, "00000006");
    EXPECT_EQ(identity.Feature, "00000061");
    EXPECT_EQ(identity.Serial, "00012345");
    for (const std::string bad :
         {"", "r, 19.53m,0000000012Hz,0000038400c,0000000.083s, 005.3C",
          "i,00000004,00000003,00000076", "i,0000000x,00000003,00000076,00005533",
          "x,00000004,00000003,00000076,00005533"})
        EXPECT_THROW(IdentityOfReply(bad), ESqm) << bad;
}

TEST(MeterIdentifyTest, AnEthernetMeterIsAskedOverTcp) {
    const TTcpMeterServer meter(MeterWithSerial(4711));
    TEthernetIdentifyOptions options;
    options.Port = meter.GetPort();
    const TMeterIdentity identity = IdentifyEthernetMeter("127.0.0.1", options);
    EXPECT_EQ(identity.Serial, "00004711");
    EXPECT_EQ(identity.Model, "00000003");
    EXPECT_EQ(meter.GetCounts().Received, "ix");
    // The connection is given back at once.
    EXPECT_TRUE(meter.WaitUntil([](const auto& c) { return c.OpenConnections == 0; }, 5s));
}

// A module that another client has just let go of refuses for a moment; the question is
// asked again after a short pause.
TEST(MeterIdentifyTest, AMeterBusyWithAnotherClientIsAskedAgainOnceItIsFree) {
    const TTcpMeterServer meter(MeterWithSerial(77));
    TTcpClient other;
    other.SetHost("127.0.0.1");
    other.SetPort(meter.GetPort());
    other.Connect();
    ASSERT_TRUE(meter.WaitUntil([](const auto& c) { return c.OpenConnections == 1; }, 5s));

    TEthernetIdentifyOptions options;
    options.Port = meter.GetPort();
    options.Attempts = 10;
    options.RetryPause = 100ms;
    auto asking =
        std::async(std::launch::async, [&] { return IdentifyEthernetMeter("127.0.0.1", options); });
    std::this_thread::sleep_for(250ms);
    other.Disconnect();
    EXPECT_EQ(asking.get().Serial, "00000077");

    // A meter that stays taken is given up after the attempts.
    TTcpClient holder;
    holder.SetHost("127.0.0.1");
    holder.SetPort(meter.GetPort());
    ASSERT_TRUE(meter.WaitUntil([](const auto& c) { return c.OpenConnections == 0; }, 5s));
    holder.Connect();
    ASSERT_TRUE(meter.WaitUntil([](const auto& c) { return c.OpenConnections == 1; }, 5s));
    options.Attempts = 2;
    EXPECT_NE(SqmFailure([&] {
                  IdentifyEthernetMeter("127.0.0.1", options);
              }).find("Could not connect with SQM-LE"),
              std::string::npos);
}

TEST(MeterIdentifyTest, AUsbMeterIsAskedOnItsPort) {
    const TPtyMeter meter(MeterWithSerial(5150, 6));
    const TMeterIdentity identity = IdentifySerialMeter(meter.DevicePath());
    EXPECT_EQ(identity.Serial, "00005150");
    EXPECT_EQ(identity.Model, "00000006");
    EXPECT_EQ(meter.CommandsReceived(), 1);
    // The port is free again afterwards.
    EXPECT_EQ(CheckPort(meter.DevicePath()), TPortState::Free);
}

TEST(MeterIdentifyTest, ABusyPortIsReportedAndNotAsked) {
    const TPtyMeter meter;
    const TExclusivePort holder = TExclusivePort::Open(meter.DevicePath());
    ASSERT_TRUE(holder.IsValid());
    EXPECT_EQ(CheckPort(meter.DevicePath()), TPortState::Busy);
    EXPECT_NE(SqmFailure([&] { IdentifySerialMeter(meter.DevicePath()); }).find("in use"),
              std::string::npos);
    EXPECT_EQ(meter.CommandsReceived(), 0);
}

TEST(MeterIdentifyTest, SilenceAndAMissingPortFailWithinTheirTime) {
    TPtyPair silent;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(IdentifySerialMeter(silent.DevicePath(), 300ms), ESqm);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_EQ(CheckPort("/dev/nightlux-no-such-port"), TPortState::Missing);
    EXPECT_NE(
        SqmFailure([] { IdentifySerialMeter("/dev/nightlux-no-such-port"); }).find("not there"),
        std::string::npos);
}
