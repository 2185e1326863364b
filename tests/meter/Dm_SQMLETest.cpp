#include "meter/Dm_SQMLE.h"

#include "tests/support/RowName.h"
#include "tests/support/WithoutNetwork.h"
#include "tools/sim/LoopbackSocket.h"
#include "tools/sim/TcpMeterServer.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::string Prefix = "Sky Quality Meter communication error: ";
const std::string Refused = "Could not connect with SQM-LE.\nPlease verify that the IP address and "
                            "port number are correct; the meter may be connected to another user.";
const std::string ConnectTimedOut = "Could not connect with SQM-LE.\nPlease verify that the IP "
                                    "address and port number are correct; try increasing the time "
                                    "out value.";
const std::string NotConnected = "Could not connect with SQM-LE.\nPlease try again later.";
const std::string Dropped = "SQM-LE connection has been dropped.\nPlease try again.";
const std::string NoReply = "SQM did not return the requested reading.\nPlease verify that the IP "
                            "address and port number are correct; try increasing the time out "
                            "value.";
const std::string NoReading =
    "SQM-LE did not return the requested reading.\nPlease try again later.";

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::unique_ptr<TDmSQMLE> MakeLink(int port, int timeoutMs = 5000) {
    auto link = std::make_unique<TDmSQMLE>();
    link->Host = "127.0.0.1";
    link->Port = port;
    link->Timeout = timeoutMs;
    return link;
}

// The message of the ESqm that the call raises, or a note that it raised none.
template <class Call>
std::string SqmMessage(Call call) {
    try {
        call();
    } catch (const ESqm& e) {
        return e.what();
    }
    return "(no ESqm)";
}

// Waits until the link has received at least this many bytes that nobody has read.
bool Unread(TDmSQMLE& link, std::size_t bytes) {
    const auto deadline = Clock::now() + 5s;
    while (link.Tcp.CheckForInput(100ms) < bytes)
        if (Clock::now() >= deadline)
            return false;
    return true;
}

bool OpenConnections(const TTcpMeterServer& meter, int count) {
    return meter.WaitUntil([&](const auto& c) { return c.OpenConnections == count; }, 5s);
}

TEST(SqmLe, NewLinkHoldsNothing) {
    const TDmSQMLE link;
    EXPECT_EQ(link.Host, "");
    EXPECT_EQ(link.Port, 0);
    EXPECT_EQ(link.Timeout, 0);
    EXPECT_EQ(double(link.ReadingTime), 0.0);
    EXPECT_EQ(link.ReadingReply, "");
}

TEST(SqmLe, ReadCycleSendsBareCommandsAndKeepsTheReplies) {
    TMeterOptions options;
    options.Magnitude = 19.53;
    options.Temperature = -3.4;
    TTcpMeterServer meter(options);
    auto link = MakeLink(meter.GetPort());
    link->Connect();
    link->ReadUnitInfo();
    EXPECT_EQ(link->UnitInfoReply, "i,00000004,00000003,00000076,00005533");
    EXPECT_EQ(link->GetModelNumber(), "00000003");
    EXPECT_EQ(link->GetSerialNumber(), "00005533");

    const TDateTime before = Now();
    link->ReadReading();
    const TDateTime after = Now();
    EXPECT_EQ(link->ReadingReply.size(), 55u);
    EXPECT_DOUBLE_EQ(link->GetMagnitude(), 19.53);
    EXPECT_DOUBLE_EQ(link->GetTemperature(), -3.4);
    EXPECT_GE(double(link->GetReadingTime()), double(before));
    EXPECT_LE(double(link->GetReadingTime()), double(after));

    link->ReadCalibration();
    EXPECT_EQ(link->CalibrationReply, "c,00000019.96m,0000199.361s, 019.0C,00000008.71m, 020.3C");
    link->Disconnect();
    EXPECT_TRUE(OpenConnections(meter, 0));
    EXPECT_EQ(meter.GetCounts().Received, "ixrxcx");
    EXPECT_EQ(meter.GetCounts().Connections, 1);
}

struct LineEndCase {
    const char* Name;
    bool NoCR;
};

class SqmLeLineEnd : public testing::TestWithParam<LineEndCase> {};

TEST_P(SqmLeLineEnd, ReplyIsKeptWithoutItsLineEnd) {
    TMeterOptions options;
    options.NoCR = GetParam().NoCR;
    options.Magnitude = 21.07;
    options.Temperature = 12.0;
    TTcpMeterServer meter(options);
    auto link = MakeLink(meter.GetPort());
    link->Connect();
    link->ReadReading();
    EXPECT_EQ(link->ReadingReply, TMeterReplies().ReadingLine(21.07, 12.0));
    EXPECT_EQ(link->ReadingReply.substr(0, 10), "r, 21.07m,");
    EXPECT_NE(double(link->GetReadingTime()), 0.0);
}

INSTANTIATE_TEST_SUITE_P(Cases, SqmLeLineEnd,
                         testing::Values(LineEndCase{"CrLf", false}, LineEndCase{"LfOnly", true}),
                         RowName());

// Each failing read leaves its reply empty and no reading time.
void ExpectNothingKept(const TDmSQMLE& link) {
    EXPECT_EQ(link.ReadingReply, "");
    EXPECT_EQ(double(link.GetReadingTime()), 0.0);
}

// A link that holds an earlier good reading, so that a failed read visibly clears it.
std::unique_ptr<TDmSQMLE> LinkWithOldReading(int port, int timeoutMs) {
    auto link = MakeLink(port, timeoutMs);
    link->ReadingReply = "r, 18.00m,0000000012Hz,0000038400c,0000000.083s, 005.3C";
    link->ReadingTime = 45000.5;
    return link;
}

TEST(SqmLeFailure, RefusedConnection) {
    const TRefusedPort refused;
    auto link = MakeLink(refused.GetPort());
    EXPECT_EQ(SqmMessage([&] { link->Connect(); }), Prefix + Refused);
    EXPECT_FALSE(link->Tcp.Connected());
}

TEST(SqmLeFailure, SecondClientIsRefusedWhileTheFirstIsConnected) {
    TTcpMeterServer meter;
    auto first = MakeLink(meter.GetPort());
    first->Connect();
    ASSERT_TRUE(OpenConnections(meter, 1)); // the meter has taken the first client
    auto second = MakeLink(meter.GetPort());
    EXPECT_EQ(SqmMessage([&] { second->Connect(); }), Prefix + Refused);
    first->Disconnect();
    ASSERT_TRUE(OpenConnections(meter, 0));
    second->Connect();
    second->ReadUnitInfo();
    EXPECT_EQ(meter.GetCounts().Connections, 2);
}

TEST(SqmLeFailure, ConnectTimeOut) {
    const TUnansweredPort unanswered;
    auto link = MakeLink(unanswered.GetPort(), 1000);
    const auto start = Clock::now();
    EXPECT_EQ(SqmMessage([&] { link->Connect(); }), Prefix + ConnectTimedOut);
    EXPECT_GT(SecondsSince(start), 0.8);
    EXPECT_LT(SecondsSince(start), 5.0);
    EXPECT_FALSE(link->Tcp.Connected());
}

TEST(SqmLeFailure, NotConnectedOnceConnectReturns) {
    TMeterOptions options;
    options.DropConnection = true;
    TTcpMeterServer meter(options);
    auto link = MakeLink(meter.GetPort());
    // The meter drops the connection between the client's connect and the link's test.
    link->Tcp.OnConnected = [&] {
        link->Tcp.Write("ix");
        ASSERT_TRUE(meter.WaitUntil(
            [](const auto& c) { return c.Connections == 1 && c.OpenConnections == 0; }, 5s));
        link->Tcp.CheckForInput(5s); // returns when the close has arrived
    };
    EXPECT_EQ(SqmMessage([&] { link->Connect(); }), Prefix + NotConnected);
    link->Disconnect();
    EXPECT_FALSE(link->Tcp.Connected());
}

TEST(SqmLeFailure, ReadWithoutConnection) {
    auto link = LinkWithOldReading(1, 1000);
    EXPECT_EQ(SqmMessage([&] { link->ReadReading(); }), Prefix + Dropped);
    ExpectNothingKept(*link);
    link->UnitInfoReply = "old";
    EXPECT_EQ(SqmMessage([&] { link->ReadUnitInfo(); }), Prefix + Dropped);
    EXPECT_EQ(link->UnitInfoReply, "");
}

TEST(SqmLeFailure, SilentMeter) {
    TMeterOptions options;
    options.Silent = true;
    TTcpMeterServer meter(options);
    auto link = LinkWithOldReading(meter.GetPort(), 1000);
    link->Connect();
    const auto start = Clock::now();
    EXPECT_EQ(SqmMessage([&] { link->ReadReading(); }), Prefix + NoReply);
    EXPECT_GT(SecondsSince(start), 0.8);
    EXPECT_LT(SecondsSince(start), 5.0);
    ExpectNothingKept(*link);
    EXPECT_TRUE(link->Tcp.Connected());
    EXPECT_EQ(meter.GetCounts().OpenConnections, 1);
}

TEST(SqmLeFailure, ReplyTricklingPastTheTimeOut) {
    TMeterOptions options;
    options.ByteDelay = 100ms; // 57 bytes: almost six seconds
    TTcpMeterServer meter(options);
    auto link = LinkWithOldReading(meter.GetPort(), 1000);
    link->Connect();
    const auto start = Clock::now();
    EXPECT_EQ(SqmMessage([&] { link->ReadReading(); }), Prefix + NoReply);
    EXPECT_LT(SecondsSince(start), 4.0);
    ExpectNothingKept(*link);
}

TEST(SqmLeFailure, ReplyWithoutLineEnd) {
    TMeterOptions options;
    options.ShortReply = 20;
    TTcpMeterServer meter(options);
    auto link = LinkWithOldReading(meter.GetPort(), 1000);
    link->Connect();
    EXPECT_EQ(SqmMessage([&] { link->ReadReading(); }), Prefix + NoReply);
    ExpectNothingKept(*link);
}

TEST(SqmLeFailure, EmptyLine) {
    TMeterOptions options;
    options.EmptyLine = true;
    TTcpMeterServer meter(options);
    auto link = LinkWithOldReading(meter.GetPort(), 5000);
    link->Connect();
    EXPECT_EQ(SqmMessage([&] { link->ReadReading(); }), Prefix + NoReading);
    ExpectNothingKept(*link);
    EXPECT_TRUE(link->Tcp.Connected());
}

TEST(SqmLeFailure, SocketErrorWhileReading) {
    TMeterOptions options;
    options.ResetConnection = true;
    TTcpMeterServer meter(options);
    auto link = LinkWithOldReading(meter.GetPort(), 5000);
    link->Connect();
    EXPECT_EQ(SqmMessage([&] { link->ReadReading(); }),
              Prefix + NoReading + "\nSocket error " + std::to_string(ECONNRESET));
    ExpectNothingKept(*link);
    EXPECT_FALSE(link->Tcp.Connected()); // reset by the meter
    link->Disconnect();
}

TEST(SqmLeFailure, ResetInTheMiddleOfAReply) {
    TMeterOptions options;
    options.ResetConnection = true;
    options.ShortReply = 20;
    TTcpMeterServer meter(options);
    auto link = LinkWithOldReading(meter.GetPort(), 5000);
    link->Connect();
    EXPECT_EQ(SqmMessage([&] { link->ReadReading(); }),
              Prefix + NoReading + "\nSocket error " + std::to_string(ECONNRESET));
    ExpectNothingKept(*link);
    link->Disconnect();
}

TEST(SqmLeFailure, LineOverTheLimitIsTheLibrarysError) {
    TMeterOptions options;
    options.LongLine = 20000;
    TTcpMeterServer meter(options);
    auto link = LinkWithOldReading(meter.GetPort(), 5000);
    link->Connect();
    EXPECT_THROW(link->ReadReading(), ELineTooLong);
    ExpectNothingKept(*link);
    EXPECT_TRUE(link->Tcp.Connected());
}

TEST(SqmLeFailure, MeterClosingWhileALineIsAwaited) {
    TMeterOptions options;
    options.DropConnection = true;
    TTcpMeterServer meter(options);
    auto link = LinkWithOldReading(meter.GetPort(), 5000);
    link->Connect();
    EXPECT_THROW(link->ReadReading(), EConnectionClosed);
    ExpectNothingKept(*link);
    // The next read finds the connection gone.
    EXPECT_EQ(SqmMessage([&] { link->ReadUnitInfo(); }), Prefix + Dropped);
}

TEST(SqmLeFailure, UnresolvableHostIsTheLibrarysSocketError) {
    std::string whyNot;
    const std::optional<std::string> outcome = RunWithoutNetwork(
        [] {
            auto link = MakeLink(10001);
            link->Host = "no-such-meter.invalid";
            try {
                link->Connect();
                return std::string("connected");
            } catch (const ESocketError&) {
                return std::string(link->Tcp.Connected() ? "connected" : "socket error");
            }
        },
        whyNot);
    if (!outcome)
        GTEST_SKIP() << whyNot;
    EXPECT_EQ(*outcome, "socket error");
}

TEST(SqmLeFailure, MissingHostOrPortIsTheLibrarysOwnError) {
    auto link = MakeLink(0);
    EXPECT_THROW(link->Connect(), ETcpUsageError);
    link->Port = 10001;
    link->Host = "";
    EXPECT_THROW(link->Connect(), ETcpUsageError);
}

TEST(SqmLeFailure, NonNumericReadingIsStoredAndFailsConversion) {
    TMeterOptions options;
    options.NonNumeric = true;
    TTcpMeterServer meter(options);
    auto link = MakeLink(meter.GetPort());
    link->Connect();
    link->ReadReading();
    EXPECT_EQ(link->ReadingReply.substr(0, 10), "r, 19,53m,");
    EXPECT_THROW(link->GetMagnitude(), EConvertError);
}

// A reply of the command's kind that noise has put out of its layout is a reading the link
// cannot use: none of its fields is kept.
struct NoisyReplyCase {
    const char* Name;
    std::size_t At;
    std::size_t Replaces;
    std::string Noise;
    bool UnitInfo; // the noise hits the unit information, else the reading
};

class SqmLeNoisyReply : public testing::TestWithParam<NoisyReplyCase> {};

TEST_P(SqmLeNoisyReply, IsNoReadingAndKeepsNothing) {
    const NoisyReplyCase& c = GetParam();
    TMeterOptions options;
    options.NoiseAt = c.At;
    options.NoiseReplaces = c.Replaces;
    options.Noise = c.Noise;
    TTcpMeterServer meter(options);
    auto link = LinkWithOldReading(meter.GetPort(), 5000);
    link->Connect();
    link->UnitInfoReply = "old";
    if (c.UnitInfo) {
        EXPECT_EQ(SqmMessage([&] { link->ReadUnitInfo(); }), Prefix + NoReading);
        EXPECT_EQ(link->UnitInfoReply, "");
    } else {
        EXPECT_EQ(SqmMessage([&] { link->ReadReading(); }), Prefix + NoReading);
        ExpectNothingKept(*link);
    }
    EXPECT_TRUE(link->Tcp.Connected());
}

INSTANTIATE_TEST_SUITE_P(Cases, SqmLeNoisyReply,
                         testing::Values(NoisyReplyCase{"SerialNumberDigit", 30, 1, "?", true},
                                         NoisyReplyCase{"ByteAbove127", 33, 1, "\xB6", true},
                                         NoisyReplyCase{"CommaGained", 20, 0, ",", true},
                                         NoisyReplyCase{"TemperatureSign", 48, 1, "8", false},
                                         NoisyReplyCase{"CommaChanged", 22, 1, ";", false},
                                         NoisyReplyCase{"ByteLost", 40, 1, "", false},
                                         NoisyReplyCase{"SurplusBeforeTheLineEnd", 55, 0, "0",
                                                        false}),
                         RowName());

// Input waiting before a command is not taken for its reply.
TEST(SqmLeStaleInput, LateReplyToATimedOutCommandIsDiscarded) {
    TMeterOptions late;
    late.ReplyDelay = 1500ms;
    late.Magnitude = 19.53;
    TTcpMeterServer meter(late);
    auto link = MakeLink(meter.GetPort(), 1000);
    link->Connect();
    EXPECT_EQ(SqmMessage([&] { link->ReadUnitInfo(); }), Prefix + NoReply);

    TMeterOptions prompt = late;
    prompt.ReplyDelay = 0ms;
    meter.SetOptions(prompt);
    ASSERT_TRUE(Unread(*link, 39)); // the late "ix" reply is waiting

    link->ReadReading();
    EXPECT_EQ(link->ReadingReply.substr(0, 9), "r, 19.53m");
    EXPECT_DOUBLE_EQ(link->GetMagnitude(), 19.53);
}

struct StaleCase {
    const char* Name;
    int QueuedReports;
    std::string Surplus;
    std::size_t StaleBytes;
};

class SqmLeStale : public testing::TestWithParam<StaleCase> {};

TEST_P(SqmLeStale, NextCommandGetsItsOwnReply) {
    const StaleCase& c = GetParam();
    TMeterOptions options;
    options.QueuedReports = c.QueuedReports;
    options.Surplus = c.Surplus;
    options.Magnitude = 19.53;
    TTcpMeterServer meter(options);
    auto link = MakeLink(meter.GetPort());
    link->Connect();
    if (!c.Surplus.empty())
        link->ReadUnitInfo();
    ASSERT_TRUE(Unread(*link, c.StaleBytes)); // reports or surplus are waiting
    link->ReadUnitInfo();
    EXPECT_EQ(link->UnitInfoReply, "i,00000004,00000003,00000076,00005533");
    link->ReadReading();
    EXPECT_DOUBLE_EQ(link->GetMagnitude(), 19.53);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SqmLeStale,
    testing::Values(StaleCase{"IntervalReportsQueuedBeforeConnecting", 1, "", 57},
                    StaleCase{"SurplusLineAfterAReply", 0,
                              "r, 17.00m,0000000063Hz,0000007303c,0000000.016s, 005.3C\r\n", 57}),
    RowName());

TEST(SqmLeStaleInput, SeveralQueuedReports) {
    TMeterOptions options;
    options.QueuedReports = 3;
    TTcpMeterServer meter(options);
    auto link = MakeLink(meter.GetPort());
    link->Connect();
    ASSERT_TRUE(Unread(*link, 3 * 57));
    link->ReadUnitInfo();
    EXPECT_EQ(link->GetSerialNumber(), "00005533");
}

// A line of another kind (an interval report pushed by the meter, noise) is passed over:
// the reply is the line that starts with the command's letter and a comma.
struct OtherLineCase {
    const char* Name;
    std::string Leading; // sent before each reply
};

class SqmLeOtherLines : public testing::TestWithParam<OtherLineCase> {};

TEST_P(SqmLeOtherLines, ArePassedOverUntilTheReply) {
    TMeterOptions options;
    options.Leading = GetParam().Leading;
    options.Magnitude = 19.53;
    options.Temperature = 5.3;
    TTcpMeterServer meter(options);
    auto link = MakeLink(meter.GetPort(), 2000);
    // A leading line of the command's own kind comes first and is its reply.
    const std::string first = GetParam().Leading.substr(0, GetParam().Leading.find('\r'));
    const auto expected = [&](const std::string& own) {
        return first.substr(0, 2) == own.substr(0, 2) ? first : own;
    };
    link->Connect();
    link->ReadUnitInfo();
    EXPECT_EQ(link->UnitInfoReply, expected(TMeterReplies().UnitInfoLine()));
    link->ReadReading();
    EXPECT_EQ(link->ReadingReply, expected(TMeterReplies().ReadingLine(19.53, 5.3)));
    link->ReadCalibration();
    EXPECT_EQ(link->CalibrationReply, expected(TMeterReplies().CalibrationLine()));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SqmLeOtherLines,
    testing::Values(OtherLineCase{"IntervalReport",
                                  "r, 17.00m,0000000063Hz,0000007303c,0000000.016s, 005.3C\r\n"},
                    OtherLineCase{"UnitInformation", "i,00000004,00000003,00000076,00000001\r\n"},
                    OtherLineCase{"SeveralLines", "x\r\ni\r\nc;\r\n,r\r\nrx\r\n"},
                    OtherLineCase{"NoiseBytes", "\xFE\xFFgarbage\r\n"}),
    RowName());

TEST(SqmLeOtherLinesOnly, TimeOutAsNoReply) {
    TMeterOptions options;
    options.Leading = "r, 17.00m,0000000063Hz,0000007303c,0000000.016s, 005.3C\r\n";
    options.ShortReply = 10; // the reply's line never ends
    TTcpMeterServer meter(options);
    auto link = MakeLink(meter.GetPort(), 1000);
    link->Connect();
    link->UnitInfoReply = "old";
    const auto start = Clock::now();
    EXPECT_EQ(SqmMessage([&] { link->ReadUnitInfo(); }), Prefix + NoReply);
    EXPECT_GT(SecondsSince(start), 0.8);
    EXPECT_LT(SecondsSince(start), 5.0);
    EXPECT_EQ(link->UnitInfoReply, "");
}

// Reports queued while nobody was connected arrive at any moment after the connect, also
// after the command went out: however they fall, each command gets its own reply.
TEST(SqmLeOtherLinesOnly, QueuedReportsNeverBecomeTheReply) {
    TMeterOptions options;
    options.QueuedReports = 5;
    options.Magnitude = 19.53;
    TTcpMeterServer meter(options);
    auto link = MakeLink(meter.GetPort());
    for (int cycle = 0; cycle < 20; ++cycle) {
        link->Connect();
        link->ReadUnitInfo();
        EXPECT_EQ(link->GetModelNumber(), "00000003");
        link->ReadReading();
        EXPECT_EQ(link->ReadingReply.substr(0, 2), "r,");
        link->Disconnect();
        ASSERT_TRUE(OpenConnections(meter, 0));
    }
}

TEST(SqmLeLifetime, DestroyingAConnectedLinkClosesTheConnection) {
    TTcpMeterServer meter;
    auto link = MakeLink(meter.GetPort());
    link->Connect();
    ASSERT_TRUE(OpenConnections(meter, 1));
    link.reset();
    EXPECT_TRUE(OpenConnections(meter, 0));
}

TEST(SqmLeLifetime, OneLinkServesManyCyclesWithOneConnectionEach) {
    TTcpMeterServer meter;
    auto link = MakeLink(meter.GetPort());
    for (int cycle = 0; cycle < 3; ++cycle) {
        link->Connect();
        link->ReadUnitInfo();
        link->ReadReading();
        link->Disconnect();
        ASSERT_TRUE(OpenConnections(meter, 0));
    }
    EXPECT_EQ(meter.GetCounts().Connections, 3);
    link->Disconnect();
}

TEST(SqmLeLifetime, NewTimeoutTakesEffectAtTheNextConnect) {
    TMeterOptions options;
    options.ReplyDelay = 1500ms;
    TTcpMeterServer meter(options);
    auto link = MakeLink(meter.GetPort(), 1000);
    link->Connect();
    link->Timeout = 5000;
    EXPECT_EQ(SqmMessage([&] { link->ReadUnitInfo(); }), Prefix + NoReply);
    link->Disconnect();
    ASSERT_TRUE(OpenConnections(meter, 0));
    link->Connect();
    link->ReadUnitInfo();
    EXPECT_EQ(link->GetProtocolVersion(), "00000004");
}

} // namespace
