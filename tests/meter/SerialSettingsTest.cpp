#include "meter/SerialSettings.h"

#include "tests/support/RowName.h"

#include <gtest/gtest.h>

namespace {

struct PathCase {
    const char* Name;
    std::string PortName;
    std::string Path;
};

class SerialDevicePaths : public testing::TestWithParam<PathCase> {};

TEST_P(SerialDevicePaths, MapPortNamesToDeviceFiles) {
    EXPECT_EQ(SerialDevicePath(GetParam().PortName), GetParam().Path);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SerialDevicePaths,
    testing::Values(PathCase{"Com1", "COM1", "/dev/ttyS0"},
                    PathCase{"TwoDigits", "COM10", "/dev/ttyS9"},
                    PathCase{"LowerCase", "com3", "/dev/ttyS2"},
                    PathCase{"AbsolutePath", "/dev/ttyUSB0", "/dev/ttyUSB0"},
                    PathCase{"StableName", "/dev/serial/by-id/usb-meter-if00-port0",
                             "/dev/serial/by-id/usb-meter-if00-port0"},
                    PathCase{"PlainDeviceName", "ttyACM0", "/dev/ttyACM0"},
                    PathCase{"ComZeroIsNoComPort", "COM0", "/dev/COM0"},
                    PathCase{"LeadingZeroIsNoComPort", "COM01", "/dev/COM01"},
                    PathCase{"ComWithoutNumber", "COM", "/dev/COM"},
                    PathCase{"HugeNumber", "COM99999999999", "/dev/COM99999999999"},
                    PathCase{"RelativePathNamesNothing", "dev/ttyS0", ""},
                    PathCase{"Empty", "", ""}),
    RowName());

struct LineCase {
    const char* Name;
    int BaudRate;
    int Parity;
    int StopBits;
    bool Possible;
    speed_t Speed;
    tcflag_t Framing; // parity and stop-bit flags
};

constexpr tcflag_t FramingMask = PARENB | PARODD | CMSPAR | CSTOPB;

class LineSettings : public testing::TestWithParam<LineCase> {};

TEST_P(LineSettings, AreRawEightBitsWithTheChosenFraming) {
    const LineCase& c = GetParam();
    const auto t = MakeLineSettings(c.BaudRate, c.Parity, c.StopBits);
    ASSERT_EQ(t.has_value(), c.Possible);
    if (!t)
        return;
    EXPECT_EQ(cfgetispeed(&*t), c.Speed);
    EXPECT_EQ(cfgetospeed(&*t), c.Speed);
    EXPECT_EQ(t->c_cflag & FramingMask, c.Framing);
    EXPECT_EQ(t->c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t->c_cflag & (CRTSCTS | HUPCL), 0u);
    EXPECT_NE(t->c_cflag & CLOCAL, 0u);
    EXPECT_NE(t->c_cflag & CREAD, 0u);
    EXPECT_EQ(t->c_iflag & (IXON | IXOFF | ICRNL | INLCR | IGNCR | ISTRIP | PARMRK), 0u);
    EXPECT_EQ(t->c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t->c_oflag & OPOST, 0u);
    EXPECT_EQ(t->c_cc[VMIN], 0);
    EXPECT_EQ(t->c_cc[VTIME], 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LineSettings,
    testing::Values(LineCase{"MeterDefault", 115200, 0, 0, true, B115200, 0},
                    LineCase{"Odd", 9600, 1, 0, true, B9600, PARENB | PARODD},
                    LineCase{"Even", 9600, 2, 0, true, B9600, PARENB},
                    LineCase{"Mark", 9600, 3, 0, true, B9600, PARENB | PARODD | CMSPAR},
                    LineCase{"Space", 9600, 4, 0, true, B9600, PARENB | CMSPAR},
                    LineCase{"TwoStopBits", 4800, 0, 2, true, B4800, CSTOPB},
                    LineCase{"OneAndAHalfStopBits", 115200, 0, 1, false, B0, 0},
                    LineCase{"UnknownStopBits", 115200, 0, 3, false, B0, 0},
                    LineCase{"UnknownParity", 115200, 5, 0, false, B0, 0},
                    LineCase{"ParityInHigherByte", 115200, 256, 0, false, B0, 0},
                    LineCase{"NegativeParity", 115200, -1, 0, false, B0, 0},
                    LineCase{"UnsupportedSpeed", 12345, 0, 0, false, B0, 0},
                    LineCase{"NegativeSpeed", -9600, 0, 0, false, B0, 0}),
    RowName());

TEST(LineSettingsApplied, NoticesWhatTheDriverDropped) {
    const termios wanted = *MakeLineSettings(9600, 3, 2);
    termios actual = wanted;
    EXPECT_TRUE(LineSettingsApplied(wanted, actual));
    actual.c_cflag &= ~CMSPAR; // a driver without mark and space parity
    EXPECT_FALSE(LineSettingsApplied(wanted, actual));
    actual = wanted;
    cfsetospeed(&actual, B4800);
    EXPECT_FALSE(LineSettingsApplied(wanted, actual));
}

} // namespace
