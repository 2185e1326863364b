#include "meter/SerialComm.h"

#include "tests/support/PortObserver.h"
#include "tests/support/PtyPair.h"
#include "tests/support/RowName.h"
#include "tests/support/Unprivileged.h"
#include "tools/sim/PtyMeter.h"

#include <chrono>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::string Prefix = "Serial communication error: ";
const std::string UnitInfoReply = "i,00000004,00000003,00000076,00005533\r\n";

// Short time-outs, so that no test waits out the port's own five seconds.
const TSerialTimeouts Quick{400ms, 2000ms, 1000ms};

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A port on device at the meter's speed, with the quick time-outs.
void SetUpPort(TSerialComm& port, const std::string& device) {
    port.PortName = device;
    port.BaudRate = 115200;
    port.Timeouts = Quick;
}

// The message of the ESerial that action throws; fails the test when none is thrown.
template <class Action>
std::string SerialFailure(Action action) {
    try {
        action();
    } catch (const ESerial& e) {
        return e.what();
    }
    ADD_FAILURE() << "no ESerial thrown";
    return {};
}

// A port on the simulated meter's pseudo-terminal, set up as the meter link sets it.
class SerialPortOnMeter : public testing::Test {
protected:
    explicit SerialPortOnMeter(TMeterOptions options = {}) : Meter(std::move(options)) {
        Port.PortName = Meter.DevicePath();
        Port.BaudRate = 115200;
    }

    // Sends "ix" and reads the whole unit information reply.
    std::string ExchangeUnitInfo(TSerialComm& port) {
        port.Send("ix", 2);
        std::string reply(UnitInfoReply.size(), '#');
        reply.resize(static_cast<std::size_t>(port.Receive(reply.data(), 39)));
        return reply;
    }

    TPtyMeter Meter;
    TPortObserver Observer{Meter.DevicePath()};
    TSerialComm Port;
};

TEST(SerialPortTimeouts, AreTheProgramsOwnUnlessChanged) {
    const TSerialComm port;
    EXPECT_EQ(port.Timeouts.ReadInterval, 500ms);
    EXPECT_EQ(port.Timeouts.ReadTotal, 5000ms);
    EXPECT_EQ(port.Timeouts.WriteTotal, 5000ms);
}

TEST_F(SerialPortOnMeter, ExchangesBytesWithTheMeter) {
    Port.Connect();
    EXPECT_TRUE(Port.IsConnected());
    EXPECT_EQ(ExchangeUnitInfo(Port), UnitInfoReply);
    Port.Disconnect();
    EXPECT_FALSE(Port.IsConnected());
    Port.Connect(); // the same object opens the port again
    EXPECT_EQ(ExchangeUnitInfo(Port), UnitInfoReply);
}

TEST_F(SerialPortOnMeter, UsesTheLineSettingsGiven) {
    Port.BaudRate = 9600;
    Port.StopBits = 2;
    Port.Connect();
    const termios t = Observer.GetSettings();
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_NE(t.c_cflag & CSTOPB, 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);
}

struct NotConfiguredCase {
    const char* Name;
    bool GivePortName;
    int BaudRate;
};

class SerialPortNotConfigured : public SerialPortOnMeter,
                                public testing::WithParamInterface<NotConfiguredCase> {};

TEST_P(SerialPortNotConfigured, OpensNothing) {
    if (!GetParam().GivePortName)
        Port.PortName.clear();
    Port.BaudRate = GetParam().BaudRate;
    EXPECT_EQ(SerialFailure([&] { Port.Connect(); }), Prefix + "No serial port is configured");
    EXPECT_FALSE(Port.IsConnected());
    // Nothing holds the device.
    TSerialComm other;
    other.PortName = Meter.DevicePath();
    other.BaudRate = 115200;
    EXPECT_NO_THROW(other.Connect());
}

INSTANTIATE_TEST_SUITE_P(Cases, SerialPortNotConfigured,
                         testing::Values(NotConfiguredCase{"EmptyPortName", false, 115200},
                                         NotConfiguredCase{"BaudRateZero", true, 0},
                                         NotConfiguredCase{"Neither", false, 0}),
                         RowName());

struct MissingCase {
    const char* Name;
    const char* PortName;
};

class SerialPortMissing : public testing::TestWithParam<MissingCase> {};

TEST_P(SerialPortMissing, FailsToOpenNamingThePort) {
    TSerialComm port;
    port.PortName = GetParam().PortName;
    port.BaudRate = 115200;
    EXPECT_EQ(SerialFailure([&] { port.Connect(); }),
              Prefix + "Failed to open port " + GetParam().PortName);
    EXPECT_FALSE(port.IsConnected());
}

INSTANTIATE_TEST_SUITE_P(Cases, SerialPortMissing,
                         testing::Values(MissingCase{"NoSuchDevice", "/dev/nightlux-no-such-port"},
                                         MissingCase{"NoSuchComPort", "COM250"},
                                         MissingCase{"NoSuchPlainName", "ttyNoSuchPort"},
                                         MissingCase{"RelativePath", "dev/ttyS0"},
                                         MissingCase{"Folder", "/dev"}),
                         RowName());

TEST_F(SerialPortOnMeter, SecondOpenerFailsAndTheFirstKeepsWorking) {
    Port.Connect();
    TSerialComm second;
    second.PortName = Meter.DevicePath();
    second.BaudRate = 115200;
    EXPECT_EQ(SerialFailure([&] { second.Connect(); }),
              Prefix + "Failed to open port " + Meter.DevicePath());
    EXPECT_FALSE(second.IsConnected());
    EXPECT_EQ(ExchangeUnitInfo(Port), UnitInfoReply);
}

TEST_F(SerialPortOnMeter, PortHeldByAnotherProgramFailsToOpen) {
    int ready[2];
    int release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Another program: holds the port until the parent lets go of its end.
        ::close(release[1]);
        const int fd = ::open(Meter.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        const char ok = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? 1 : 0;
        [[maybe_unused]] ssize_t n = ::write(ready[1], &ok, 1);
        char c;
        n = ::read(release[0], &c, 1);
        ::_exit(0);
    }
    char ok = 0;
    ASSERT_EQ(::read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, 1);
    EXPECT_EQ(SerialFailure([&] { Port.Connect(); }),
              Prefix + "Failed to open port " + Meter.DevicePath());
    EXPECT_FALSE(Port.IsConnected());
    ::close(release[1]);
    int status = 0;
    ::waitpid(child, &status, 0);
    for (int fd : {ready[0], ready[1], release[0]})
        ::close(fd);
    EXPECT_NO_THROW(Port.Connect()); // free again once the other program has gone
}

TEST_F(SerialPortOnMeter, ConnectWhileOpenFailsAndLeavesThePortWorking) {
    Port.Connect();
    EXPECT_EQ(SerialFailure([&] { Port.Connect(); }), Prefix + "Serial port is already open");
    EXPECT_TRUE(Port.IsConnected());
    EXPECT_EQ(ExchangeUnitInfo(Port), UnitInfoReply);
}

struct ConfigureCase {
    const char* Name;
    const char* Device; // empty: the meter's pseudo-terminal
    int BaudRate;
    int Parity;
    int StopBits;
};

class SerialPortRejectingSettings : public SerialPortOnMeter,
                                    public testing::WithParamInterface<ConfigureCase> {};

TEST_P(SerialPortRejectingSettings, FailsToConfigureAndClosesThePort) {
    const ConfigureCase& c = GetParam();
    const std::string device = *c.Device ? c.Device : Meter.DevicePath();
    Port.PortName = device;
    Port.BaudRate = c.BaudRate;
    Port.Parity = c.Parity;
    Port.StopBits = c.StopBits;
    EXPECT_EQ(SerialFailure([&] { Port.Connect(); }), Prefix + "Failed to configure port");
    EXPECT_FALSE(Port.IsConnected());
    // Closed again: the device can be opened at once.
    TSerialComm next;
    next.PortName = device;
    next.BaudRate = 115200;
    if (*c.Device)
        EXPECT_EQ(SerialFailure([&] { next.Connect(); }), Prefix + "Failed to configure port");
    else
        EXPECT_NO_THROW(next.Connect());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SerialPortRejectingSettings,
    testing::Values(ConfigureCase{"NotATerminal", "/dev/null", 115200, 0, 0},
                    ConfigureCase{"UnsupportedSpeed", "", 12345, 0, 0},
                    ConfigureCase{"OneAndAHalfStopBits", "", 115200, 0, 1},
                    ConfigureCase{"UnknownStopBits", "", 115200, 0, 7},
                    ConfigureCase{"UnknownParity", "", 115200, 5, 0},
                    // A pseudo-terminal keeps no parity: the settings read back differ.
                    ConfigureCase{"ParityTheDeviceCannotDo", "", 115200, 2, 0}),
    RowName());

TEST(SerialPortClosed, SendsNothingReceivesNothingAndClosesHarmlessly) {
    TSerialComm port;
    EXPECT_EQ(SerialFailure([&] { port.Send("rx", 2); }), Prefix + "Wrong number of bytes sent: 0");
    EXPECT_NO_THROW(port.Send("rx", 0));
    char buffer[4] = {'#', '#', '#', '#'};
    EXPECT_EQ(port.Receive(buffer, 4), 0);
    EXPECT_EQ(std::string(buffer, 4), "####");
    EXPECT_NO_THROW(port.ClearReceiver());
    port.Disconnect();
    port.Disconnect();
    EXPECT_FALSE(port.IsConnected());
}

TEST_F(SerialPortOnMeter, DisconnectTwiceIsHarmless) {
    Port.Connect();
    Port.Disconnect();
    Port.Disconnect();
    EXPECT_FALSE(Port.IsConnected());
    EXPECT_NO_THROW(Port.Connect());
}

TEST_F(SerialPortOnMeter, DestroyingAnOpenPortClosesIt) {
    {
        TSerialComm first;
        first.PortName = Meter.DevicePath();
        first.BaudRate = 115200;
        first.Connect();
    }
    EXPECT_NO_THROW(Port.Connect());
}

// For a user who is not root the exclusive mode of the terminal binds as well: a plain
// open fails while the port is connected. Exclusive mode belongs to the device and outlives
// the port's descriptor while someone else keeps the device open, so every way of letting
// go of the port must give it up. Run without root rights, for which the mode is no bar.
struct LetGoCase {
    const char* Name;
    int BaudRate; // 12345: set-up fails after the port was taken
    std::function<void(std::unique_ptr<TSerialComm>&)> LetGo;
};

class SerialPortExclusive : public testing::TestWithParam<LetGoCase> {};

TEST_P(SerialPortExclusive, IsGivenUpOnEveryWayOfLettingGo) {
    TPtyPair pty;
    const std::string device = pty.DevicePath();
    TFileDescriptor keeper(::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    ASSERT_TRUE(keeper.IsValid());
    ASSERT_EQ(::chmod(device.c_str(), 0666), 0);
    const LetGoCase& c = GetParam();
    // Exit codes: 1 the port did not bind a plain opener, 2 it failed to open, 3 the
    // device stayed exclusive, 4 it could not be taken again.
    const int result = RunUnprivileged([&] {
        auto port = std::make_unique<TSerialComm>();
        port->PortName = device;
        port->BaudRate = c.BaudRate;
        try {
            port->Connect();
            const int plain = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            if (plain >= 0 || errno != EBUSY)
                return 1;
        } catch (const ESerial&) {
            if (c.BaudRate == 115200)
                return 2;
        }
        c.LetGo(port);
        const int again = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (again < 0)
            return 3;
        ::close(again);
        TSerialComm next;
        next.PortName = device;
        next.BaudRate = 115200;
        try {
            next.Connect();
        } catch (const ESerial&) {
            return 4;
        }
        return 0;
    });
    EXPECT_EQ(result, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SerialPortExclusive,
    testing::Values(LetGoCase{"Disconnect", 115200, [](auto& port) { port->Disconnect(); }},
                    LetGoCase{"Destruction", 115200, [](auto& port) { port.reset(); }},
                    LetGoCase{"FailedSetUp", 12345, [](auto&) {}}),
    RowName());

TEST(SerialPortWrite, GivesUpAfterTheWriteTimeOutNamingTheCountWritten) {
    TPtyPair pty; // nobody reads what the port writes
    TSerialComm port;
    SetUpPort(port, pty.DevicePath());
    port.Connect();
    const std::string block(1 << 20, 'w');
    const auto start = Clock::now();
    const std::string message = SerialFailure([&] { port.Send(block.data(), 1 << 20); });
    const double seconds = SecondsSince(start);
    EXPECT_GE(seconds, 0.95);
    EXPECT_LT(seconds, 4.0);
    ASSERT_EQ(message.rfind(Prefix + "Wrong number of bytes sent: ", 0), 0u) << message;
    const long written = std::stol(message.substr(message.rfind(' ') + 1));
    EXPECT_GT(written, 0);
    EXPECT_LT(written, 1 << 20);
    EXPECT_TRUE(port.IsConnected());
}

TEST(SerialPortRead, OfASilentMeterReturnsNothingAfterTheTotalTimeOut) {
    TMeterOptions silent;
    silent.Silent = true;
    TPtyMeter meter(silent);
    TSerialComm port;
    SetUpPort(port, meter.DevicePath());
    port.Connect();
    port.Send("rx", 2);
    char buffer[57];
    const auto start = Clock::now();
    EXPECT_EQ(port.Receive(buffer, 57), 0);
    const double seconds = SecondsSince(start);
    EXPECT_GE(seconds, 1.95);
    EXPECT_LT(seconds, 5.0);
}

struct TrickleCase {
    const char* Name;
    std::size_t ReplyBytes;        // bytes the meter sends of its 57
    std::chrono::milliseconds Gap; // between bytes
    int Received;                  // -1: some but not all
    double AtLeast;                // seconds the read takes at least
    double Below;                  // and less than
};

class SerialPortReadTiming : public testing::TestWithParam<TrickleCase> {};

TEST_P(SerialPortReadTiming, EndsAtTheIntervalOrTotalTimeOut) {
    const TrickleCase& c = GetParam();
    TMeterOptions trickling;
    trickling.ShortReply = c.ReplyBytes;
    trickling.ByteDelay = c.Gap;
    TPtyMeter meter(trickling);
    TSerialComm port;
    SetUpPort(port, meter.DevicePath());
    port.Connect();
    std::string buffer(57, '#');
    const auto start = Clock::now();
    port.Send("rx", 2);
    const int received = port.Receive(buffer.data(), 57);
    const double seconds = SecondsSince(start);
    if (c.Received >= 0) {
        EXPECT_EQ(received, c.Received);
    } else {
        EXPECT_GT(received, 0);
        EXPECT_LT(received, 57);
    }
    EXPECT_GE(seconds, c.AtLeast);
    EXPECT_LT(seconds, c.Below);
    // Bytes past those received are left as they were.
    EXPECT_EQ(buffer.substr(static_cast<std::size_t>(received)),
              std::string(57 - static_cast<std::size_t>(received), '#'));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SerialPortReadTiming,
    testing::Values(
        // Under the quick time-outs: 400 ms between bytes, 2 s in all.
        // All 57 bytes: no waiting for a time-out.
        TrickleCase{"WholeReply", 0, 0ms, 57, 0.0, 0.35},
        // Ten bytes and silence: ends one interval after the tenth.
        TrickleCase{"TenBytesThenSilence", 10, 0ms, 10, 0.4, 1.9},
        // Bytes 100 ms apart: each one restarts the interval, so all arrive.
        TrickleCase{"SlowBytesWithinTheInterval", 8, 100ms, 8, 0.7, 1.95},
        // 57 bytes 100 ms apart would take 5.6 s: the total time-out cuts them short.
        TrickleCase{"TrickleLongerThanTheTotal", 0, 100ms, -1, 1.95, 5.0}),
    RowName());

TEST_F(SerialPortOnMeter, ClearReceiverThrowsAwayWaitingBytes) {
    Port.Connect();
    const std::string stale = "stale bytes from an earlier reply\r\n";
    Meter.Inject(stale);
    ASSERT_TRUE(Observer.WaitForInput(static_cast<int>(stale.size())));
    Port.ClearReceiver();
    EXPECT_EQ(Observer.Waiting(), 0);
    EXPECT_EQ(ExchangeUnitInfo(Port), UnitInfoReply);
}

TEST(SerialPortPurge, ReportsAFailureAsADiagnosticOnly) {
    TMeterOptions dropping;
    dropping.DropConnection = true;
    TPtyMeter meter(dropping);
    TSerialComm port;
    SetUpPort(port, meter.DevicePath());
    port.Connect();
    port.Send("rx", 2); // the meter is unplugged on receiving it
    ASSERT_TRUE(meter.WaitForCommands(1, 10s));
    testing::internal::CaptureStderr();
    EXPECT_NO_THROW(port.ClearReceiver());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "COM error 5\n"); // EIO
    EXPECT_TRUE(port.IsConnected());
    // A read on a device that has gone returns at once.
    char buffer[57];
    const auto readStart = Clock::now();
    EXPECT_EQ(port.Receive(buffer, 57), 0);
    EXPECT_LT(SecondsSince(readStart), 1.0);
}

} // namespace
