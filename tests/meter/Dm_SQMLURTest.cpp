#include "meter/Dm_SQMLUR.h"

#include "tests/support/PortObserver.h"
#include "tests/support/PtyPair.h"
#include "tests/support/RowName.h"
#include "tools/sim/PtyMeter.h"

#include <chrono>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::string SqmPrefix = "Sky Quality Meter communication error: ";
const std::string SerialPrefix = "Serial communication error: ";
const std::string NoReading = SqmPrefix + "SQM-LU/R did not return the requested reading.\n";
const std::string Dropped = SqmPrefix + "SQM-LU/R connection has been dropped.\nPlease try again.";
const std::string CouldNotConnect = SqmPrefix + "Could not connect with SQM-LU/R.\n" + SerialPrefix;

const std::string ReadingReply = TMeterReplies().ReadingLine(19.53, 5.3) + "\r\n";
const std::string UnitInfoReply = "i,00000004,00000003,00000076,00005533\r\n";
const std::string CalibrationReply = "c,00000019.96m,0000199.361s, 019.0C,00000008.71m, 020.3C\r\n";

// Short time-outs, so that no test waits out the port's own five seconds.
const TSerialTimeouts Quick{400ms, 1000ms, 1000ms};

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

template <class Failure, class Action>
std::string FailureOf(Action action) {
    try {
        action();
    } catch (const Failure& e) {
        return e.what();
    }
    ADD_FAILURE() << "nothing thrown";
    return {};
}

TMeterOptions SteadyMeter() {
    TMeterOptions options;
    options.Magnitude = 19.53;
    options.Temperature = 5.3;
    return options;
}

// Whether somebody holds the device: a second port cannot open it.
bool IsHeld(const std::string& device) {
    TSerialComm probe;
    probe.PortName = device;
    probe.BaudRate = 115200;
    try {
        probe.Connect();
    } catch (const ESerial&) {
        return true;
    }
    return false;
}

class MeterLinkOnPty : public testing::Test {
protected:
    explicit MeterLinkOnPty(TMeterOptions options = SteadyMeter()) : Meter(std::move(options)) {
        Link.SetComPort(Meter.DevicePath());
    }

    TPtyMeter Meter;
    TPortObserver Observer{Meter.DevicePath()};
    TDmSQMLUR Link;
};

// A link on its own simulated meter, with the quick time-outs.
class MeterLinkWith {
public:
    explicit MeterLinkWith(TMeterOptions options) : Meter(std::move(options)) {
        Link.SetComPort(Meter.DevicePath());
        Link.SetTimeouts(Quick);
    }

    TPtyMeter Meter;
    TPortObserver Observer{Meter.DevicePath()};
    TDmSQMLUR Link;
};

TEST_F(MeterLinkOnPty, ReadsUnitInfoAndReading) {
    Link.Connect();
    Link.ReadUnitInfo();
    EXPECT_EQ(Link.UnitInfoReply, UnitInfoReply);
    EXPECT_EQ(Link.GetModelNumber(), "00000003");
    EXPECT_EQ(Link.GetSerialNumber(), "00005533");
    EXPECT_EQ(Link.GetProtocolVersion(), "00000004");
    EXPECT_EQ(Link.GetFeatureVersion(), "00000076");
    const double before = Now();
    Link.ReadReading();
    const double after = Now();
    ASSERT_EQ(Link.ReadingReply.size(), 57u);
    EXPECT_EQ(Link.ReadingReply, ReadingReply);
    EXPECT_DOUBLE_EQ(Link.GetMagnitude(), 19.53);
    EXPECT_DOUBLE_EQ(Link.GetTemperature(), 5.3);
    EXPECT_GE(Link.GetReadingTime(), before);
    EXPECT_LE(Link.GetReadingTime(), after);
    Link.ReadCalibration();
    EXPECT_EQ(Link.CalibrationReply, CalibrationReply);
    Link.Disconnect();
    EXPECT_FALSE(IsHeld(Meter.DevicePath()));
    // Every reading opens the port afresh.
    Link.Connect();
    Link.ReadReading();
    EXPECT_EQ(Link.ReadingReply, ReadingReply);
    EXPECT_EQ(Meter.CommandsReceived(), 4);
}

TEST_F(MeterLinkOnPty, RunsTheLineAtTheMetersSettings) {
    Link.Connect();
    const termios t = Observer.GetSettings();
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B115200));
    EXPECT_EQ(cfgetispeed(&t), static_cast<speed_t>(B115200));
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), static_cast<tcflag_t>(CS8));
}

TEST_F(MeterLinkOnPty, UsesTheSettersAtTheNextConnect) {
    Link.SetBaudRate(9600);
    Link.SetStopBits(2);
    Link.SetParity(0);
    Link.Connect();
    const termios t = Observer.GetSettings();
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
    EXPECT_NE(t.c_cflag & CSTOPB, 0u);
    Link.SetStopBits(1); // one and a half: no such thing here
    Link.Disconnect();
    EXPECT_EQ(FailureOf<ESqm>([&] { Link.Connect(); }),
              CouldNotConnect + "Failed to configure port");
}

struct ConnectCase {
    const char* Name;
    // Given the link and another port on the meter's device.
    std::function<void(TDmSQMLUR&, TSerialComm& other)> Arrange;
    std::function<std::string(const std::string& meterDevice)> SerialText;
};

class MeterLinkConnectFailure : public MeterLinkOnPty,
                                public testing::WithParamInterface<ConnectCase> {};

TEST_P(MeterLinkConnectFailure, WrapsTheSerialMessage) {
    TSerialComm other;
    other.PortName = Meter.DevicePath();
    other.BaudRate = 115200;
    GetParam().Arrange(Link, other);
    EXPECT_EQ(FailureOf<ESqm>([&] { Link.Connect(); }),
              CouldNotConnect + GetParam().SerialText(Meter.DevicePath()));
    EXPECT_EQ(FailureOf<ESqm>([&] { Link.ReadUnitInfo(); }), Dropped);
}

std::string Text(const char* text) {
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MeterLinkConnectFailure,
    testing::Values(
        ConnectCase{"NoSuchPort", [](TDmSQMLUR& link, TSerialComm&) { link.SetComPort("COM200"); },
                    [](const std::string&) { return Text("Failed to open port COM200"); }},
        ConnectCase{"PortInUse", [](TDmSQMLUR&, TSerialComm& other) { other.Connect(); },
                    [](const std::string& device) { return "Failed to open port " + device; }},
        ConnectCase{"NoPortChosen", [](TDmSQMLUR& link, TSerialComm&) { link.SetComPort(""); },
                    [](const std::string&) { return Text("No serial port is configured"); }},
        ConnectCase{"NotASerialPort",
                    [](TDmSQMLUR& link, TSerialComm&) { link.SetComPort("/dev/null"); },
                    [](const std::string&) { return Text("Failed to configure port"); }},
        ConnectCase{"UnsupportedSpeed",
                    [](TDmSQMLUR& link, TSerialComm&) { link.SetBaudRate(1234); },
                    [](const std::string&) { return Text("Failed to configure port"); }}),
    RowName());

TEST_F(MeterLinkOnPty, SecondConnectFailsAndLeavesTheLinkWorking) {
    Link.Connect();
    EXPECT_EQ(FailureOf<ESqm>([&] { Link.Connect(); }),
              CouldNotConnect + "Serial port is already open");
    Link.ReadUnitInfo();
    EXPECT_EQ(Link.UnitInfoReply, UnitInfoReply);
}

struct ReadCase {
    const char* Name;
    void (TDmSQMLUR::*Read)();
    std::string TDmSQMLUR::*Reply;
};

class MeterLinkClosed : public MeterLinkOnPty, public testing::WithParamInterface<ReadCase> {};

TEST_P(MeterLinkClosed, ReadFailsAsDroppedAndLeavesTheReplyEmpty) {
    Link.Connect();
    (Link.*GetParam().Read)();
    ASSERT_FALSE((Link.*GetParam().Reply).empty());
    Link.Disconnect();
    EXPECT_EQ(FailureOf<ESqm>([&] { (Link.*GetParam().Read)(); }), Dropped);
    EXPECT_TRUE((Link.*GetParam().Reply).empty());
    if (GetParam().Read == &TDmSQMLUR::ReadReading)
        EXPECT_EQ(Link.GetReadingTime(), 0.0);
    else
        EXPECT_EQ(Link.ReadingReply, ""); // untouched
    EXPECT_EQ(Meter.CommandsReceived(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MeterLinkClosed,
    testing::Values(ReadCase{"Reading", &TDmSQMLUR::ReadReading, &TDmSQMLUR::ReadingReply},
                    ReadCase{"UnitInfo", &TDmSQMLUR::ReadUnitInfo, &TDmSQMLUR::UnitInfoReply},
                    ReadCase{"Calibration", &TDmSQMLUR::ReadCalibration,
                             &TDmSQMLUR::CalibrationReply}),
    RowName());

TEST(MeterLinkNeverConnected, ReadFailsAsDropped) {
    TDmSQMLUR link;
    EXPECT_EQ(FailureOf<ESqm>([&] { link.ReadReading(); }), Dropped);
    EXPECT_EQ(link.GetReadingTime(), 0.0);
    link.Disconnect();
    link.Disconnect();
}

TEST(MeterLinkSilentMeter, GivesUpAfterTheTotalTimeOutKeepingThePortOpen) {
    TMeterOptions silent = SteadyMeter();
    silent.Silent = true;
    MeterLinkWith on(silent);
    TDmSQMLUR& link = on.Link;
    TPtyMeter& meter = on.Meter;
    link.Connect();
    const auto start = Clock::now();
    EXPECT_EQ(FailureOf<ESqm>([&] { link.ReadReading(); }), NoReading);
    const double seconds = SecondsSince(start);
    EXPECT_GE(seconds, 0.95);
    EXPECT_LT(seconds, 4.0);
    EXPECT_EQ(link.ReadingReply, "");
    EXPECT_EQ(link.GetReadingTime(), 0.0);
    EXPECT_THROW(link.GetMagnitude(), EConvertError);
    EXPECT_THROW(link.GetTemperature(), EConvertError);
    EXPECT_TRUE(IsHeld(meter.DevicePath()));
}

TEST(MeterLinkShortReply, IsNoReadingHalfASecondAfterTheLastByte) {
    TMeterOptions cut = SteadyMeter();
    cut.ShortReply = 20;
    TPtyMeter meter(cut);
    TDmSQMLUR link;
    link.SetComPort(meter.DevicePath());
    link.Connect();
    const auto start = Clock::now();
    EXPECT_EQ(FailureOf<ESqm>([&] { link.ReadReading(); }), NoReading);
    const double seconds = SecondsSince(start);
    EXPECT_GE(seconds, 0.5);
    EXPECT_LT(seconds, 2.5);
    EXPECT_EQ(link.ReadingReply, "");
    EXPECT_EQ(link.GetReadingTime(), 0.0);
}

TEST(MeterLinkSurplus, IsThrownAwayAndDoesNotDisturbTheNextReply) {
    TMeterOptions chatty = SteadyMeter();
    chatty.Surplus = "surplus bytes after the reply\r\n";
    MeterLinkWith on(chatty);
    TDmSQMLUR& link = on.Link;
    link.Connect();
    link.ReadReading();
    EXPECT_EQ(link.ReadingReply, ReadingReply);
    EXPECT_EQ(on.Observer.Waiting(), 0); // purged right after the reply
    link.ReadUnitInfo();
    EXPECT_EQ(link.UnitInfoReply, UnitInfoReply);
    link.ReadReading();
    EXPECT_EQ(link.ReadingReply, ReadingReply);
}

struct StaleCase {
    const char* Name;
    bool BeforeConnect;
    std::string Bytes;
};

class MeterLinkStaleBytes : public MeterLinkOnPty, public testing::WithParamInterface<StaleCase> {};

TEST_P(MeterLinkStaleBytes, AreThrownAwayBeforeTheCommand) {
    const int count = static_cast<int>(GetParam().Bytes.size());
    if (GetParam().BeforeConnect) {
        Meter.Inject(GetParam().Bytes);
        ASSERT_TRUE(Observer.WaitForInput(count));
    }
    Link.Connect();
    if (!GetParam().BeforeConnect) {
        Meter.Inject(GetParam().Bytes);
        ASSERT_TRUE(Observer.WaitForInput(count));
    }
    Link.ReadUnitInfo();
    EXPECT_EQ(Link.UnitInfoReply, UnitInfoReply);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MeterLinkStaleBytes,
    testing::Values(StaleCase{"NoiseOfTheUsbBridge", true, std::string("\x00\xFE\x00", 3)},
                    StaleCase{"LateSurplusOfAnEarlierReply", false, "r, 19.53m,00000\r\n"}),
    RowName());

// Bytes that arrive after the command and before the reply (a USB bridge's noise as the
// port opens) are dropped: the reply starts at its type letter and comma.
struct NoiseCase {
    const char* Name;
    std::string Leading;
};

class MeterLinkNoise : public testing::TestWithParam<NoiseCase> {};

TEST_P(MeterLinkNoise, IsDroppedBeforeTheReply) {
    TMeterOptions noisy = SteadyMeter();
    noisy.Leading = GetParam().Leading;
    MeterLinkWith on(noisy);
    on.Link.Connect();
    on.Link.ReadUnitInfo();
    EXPECT_EQ(on.Link.UnitInfoReply, UnitInfoReply);
    EXPECT_EQ(on.Link.GetSerialNumber(), "00005533");
    on.Link.ReadReading();
    EXPECT_EQ(on.Link.ReadingReply, ReadingReply);
    EXPECT_DOUBLE_EQ(on.Link.GetMagnitude(), 19.53);
    on.Link.ReadCalibration();
    EXPECT_EQ(on.Link.CalibrationReply, CalibrationReply);
}

INSTANTIATE_TEST_SUITE_P(Cases, MeterLinkNoise,
                         testing::Values(NoiseCase{"UsbBridge", std::string("\x00\xFE\x00", 3)},
                                         NoiseCase{"TypeLettersWithoutComma", "ricx r i c"},
                                         NoiseCase{"CommaBeforeTheLetter", ",r ,i ,c "},
                                         NoiseCase{"LongerThanAReply", std::string(150, '\xFF')},
                                         NoiseCase{"PartOfAnotherKindOfReply",
                                                   "x,00000004,0000\r\n"}),
                         RowName());

TEST(MeterLinkNoise, WithoutAReplyIsNoReplyAfterTheTotalTimeOut) {
    TMeterOptions garbage = SteadyMeter();
    garbage.Leading = "garbage bytes, r r. 19.53";
    garbage.ShortReply = 1; // the reply's type letter alone
    MeterLinkWith on(garbage);
    on.Link.Connect();
    const auto start = Clock::now();
    EXPECT_EQ(FailureOf<ESqm>([&] { on.Link.ReadReading(); }), NoReading);
    EXPECT_GE(SecondsSince(start), 0.95);
    EXPECT_EQ(on.Link.ReadingReply, "");
    EXPECT_EQ(on.Link.GetReadingTime(), 0.0);
}

TEST(MeterLinkNoise, ShortReplyAfterNoiseIsNoReading) {
    TMeterOptions cut = SteadyMeter();
    cut.Leading = std::string("\x00\xFE\x00", 3);
    cut.ShortReply = 20;
    MeterLinkWith on(cut);
    on.Link.Connect();
    EXPECT_EQ(FailureOf<ESqm>([&] { on.Link.ReadReading(); }), NoReading);
    EXPECT_EQ(on.Link.ReadingReply, "");
}

// Noise on the line that reaches into a reply (bytes changed, lost or gained, a marker in
// the noise before it) leaves a reply out of its layout: no reading, no fields taken.
struct NoisyLineCase {
    const char* Name;
    void (TDmSQMLUR::*Read)();
    std::string TDmSQMLUR::*Reply;
    std::function<void(TMeterOptions&)> Noise;
};

void Replace(TMeterOptions& o, std::size_t at, std::string bytes) {
    o.NoiseAt = at;
    o.NoiseReplaces = bytes.size();
    o.Noise = std::move(bytes);
}

class MeterLinkNoisyLine : public testing::TestWithParam<NoisyLineCase> {};

TEST_P(MeterLinkNoisyLine, ReplyOutOfItsLayoutIsNoReading) {
    TMeterOptions noisy = SteadyMeter();
    GetParam().Noise(noisy);
    MeterLinkWith on(noisy);
    on.Link.Connect();
    (on.Link.*GetParam().Reply) = "old";
    EXPECT_EQ(FailureOf<ESqm>([&] { (on.Link.*GetParam().Read)(); }), NoReading);
    EXPECT_EQ(on.Link.*GetParam().Reply, "");
    EXPECT_EQ(on.Link.GetReadingTime(), 0.0);
    EXPECT_TRUE(IsHeld(on.Meter.DevicePath())); // the next reading may be clean
}

const NoisyLineCase NoisyLineCases[] = {
    {"UnitMarkerInNoiseBefore", &TDmSQMLUR::ReadUnitInfo, &TDmSQMLUR::UnitInfoReply,
     [](auto& o) { o.Leading = "\xFEi,"; }},
    {"ReadingMarkerInNoiseBefore", &TDmSQMLUR::ReadReading, &TDmSQMLUR::ReadingReply,
     [](auto& o) { o.Leading = "r,\x13"; }},
    {"SerialNumberDigit", &TDmSQMLUR::ReadUnitInfo, &TDmSQMLUR::UnitInfoReply,
     [](auto& o) { Replace(o, 30, "?"); }},
    {"ProtocolDigit", &TDmSQMLUR::ReadUnitInfo, &TDmSQMLUR::UnitInfoReply,
     [](auto& o) { Replace(o, 3, "?"); }},
    {"CommaBetweenUnitFields", &TDmSQMLUR::ReadUnitInfo, &TDmSQMLUR::UnitInfoReply,
     [](auto& o) { Replace(o, 28, "0"); }},
    {"TemperatureSign", &TDmSQMLUR::ReadReading, &TDmSQMLUR::ReadingReply,
     [](auto& o) { Replace(o, 48, "8"); }},
    {"MagnitudeSign", &TDmSQMLUR::ReadReading, &TDmSQMLUR::ReadingReply,
     [](auto& o) { Replace(o, 2, "1"); }},
    {"MagnitudePointToDigit", &TDmSQMLUR::ReadReading, &TDmSQMLUR::ReadingReply,
     [](auto& o) { Replace(o, 5, "7"); }},
    {"UnitLetter", &TDmSQMLUR::ReadReading, &TDmSQMLUR::ReadingReply,
     [](auto& o) { Replace(o, 54, "c"); }},
    {"FrequencyByte", &TDmSQMLUR::ReadReading, &TDmSQMLUR::ReadingReply,
     [](auto& o) { Replace(o, 15, "\xFF"); }},
    {"CalibrationDigit", &TDmSQMLUR::ReadCalibration, &TDmSQMLUR::CalibrationReply,
     [](auto& o) { Replace(o, 40, "x"); }},
    {"ByteLost", &TDmSQMLUR::ReadReading, &TDmSQMLUR::ReadingReply,
     [](auto& o) {
         o.NoiseAt = 10;
         o.NoiseReplaces = 1;
     }},
    {"ByteGained", &TDmSQMLUR::ReadReading, &TDmSQMLUR::ReadingReply,
     [](auto& o) {
         o.NoiseAt = 50;
         o.Noise = "7";
     }},
    {"ByteGainedInUnitInfo", &TDmSQMLUR::ReadUnitInfo, &TDmSQMLUR::UnitInfoReply,
     [](auto& o) {
         o.NoiseAt = 30;
         o.Noise = ",";
     }},
    {"CarriageReturn", &TDmSQMLUR::ReadUnitInfo, &TDmSQMLUR::UnitInfoReply,
     [](auto& o) { Replace(o, 37, " "); }},
    {"LineFeed", &TDmSQMLUR::ReadReading, &TDmSQMLUR::ReadingReply,
     [](auto& o) { Replace(o, 56, std::string(1, '\0')); }},
};

INSTANTIATE_TEST_SUITE_P(Cases, MeterLinkNoisyLine, testing::ValuesIn(NoisyLineCases), RowName());

// Replies that a meter sends in other weather are taken as they are.
TEST(MeterLinkLayout, TakesEveryReplyAMeterSends) {
    for (const auto& [magnitude, temperature] :
         {std::pair{0.0, 25.0}, {-1.2, -12.5}, {22.0, -0.1}, {9.99, 105.4}}) {
        TMeterOptions options = SteadyMeter();
        options.Magnitude = magnitude;
        options.Temperature = temperature;
        MeterLinkWith on(options);
        on.Link.Connect();
        on.Link.ReadReading();
        EXPECT_DOUBLE_EQ(on.Link.GetMagnitude(), magnitude);
        EXPECT_DOUBLE_EQ(on.Link.GetTemperature(), temperature);
    }
}

TEST(MeterLinkCommandWrite, FailureReachesTheCallerAsASerialError) {
    TPtyPair pty;
    TDmSQMLUR link;
    link.SetComPort(pty.DevicePath());
    link.SetTimeouts(Quick);
    pty.FillOutput(); // the device takes no more bytes
    link.Connect();
    link.UnitInfoReply = "old";
    const auto start = Clock::now();
    EXPECT_EQ(FailureOf<ESerial>([&] { link.ReadUnitInfo(); }),
              SerialPrefix + "Wrong number of bytes sent: 0");
    EXPECT_GE(SecondsSince(start), 0.95);
    EXPECT_EQ(link.UnitInfoReply, "");
    EXPECT_TRUE(IsHeld(pty.DevicePath()));
}

TEST(MeterLinkUnplugged, ReadFailsAtOnceAndTheNextConnectFails) {
    TMeterOptions dropping = SteadyMeter();
    dropping.DropConnection = true;
    TPtyMeter meter(dropping);
    TDmSQMLUR link;
    link.SetComPort(meter.DevicePath());
    link.Connect();
    testing::internal::CaptureStderr();
    const auto start = Clock::now();
    EXPECT_EQ(FailureOf<ESqm>([&] { link.ReadReading(); }), NoReading);
    EXPECT_LT(SecondsSince(start), 2.0);
    testing::internal::GetCapturedStderr(); // the failed purge's diagnostic
    link.Disconnect();
    EXPECT_EQ(FailureOf<ESqm>([&] { link.Connect(); }),
              CouldNotConnect + "Failed to open port " + meter.DevicePath());
}

TEST_F(MeterLinkOnPty, DestroyingAnOpenLinkClosesItsPort) {
    auto link = std::make_unique<TDmSQMLUR>();
    link->SetComPort(Meter.DevicePath());
    link->Connect();
    EXPECT_TRUE(IsHeld(Meter.DevicePath()));
    link.reset();
    EXPECT_FALSE(IsHeld(Meter.DevicePath()));
}

} // namespace
