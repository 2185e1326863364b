#include "meter/SerialSettings.h"

#include <array>
#include <cctype>
#include <charconv>
#include <utility>

namespace {

constexpr std::array<std::pair<int, speed_t>, 30> Speeds{{
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
}};

std::optional<speed_t> SpeedOf(int baudRate) {
    for (const auto& [rate, speed] : Speeds)
        if (rate == baudRate)
            return speed;
    return std::nullopt;
}

std::optional<tcflag_t> ParityFlags(int parity) {
    switch (parity) {
    case 0:
        return 0;
    case 1:
        return PARENB | PARODD;
    case 2:
        return PARENB;
    case 3:
        return PARENB | PARODD | CMSPAR;
    case 4:
        return PARENB | CMSPAR;
    default:
        return std::nullopt;
    }
}

// One stop bit or two; termios has no one and a half.
std::optional<tcflag_t> StopBitFlags(int stopBits) {
    switch (stopBits) {
    case 0:
        return 0;
    case 2:
        return CSTOPB;
    default:
        return std::nullopt;
    }
}

// "COMn" with n a number from 1 written without leading zeros; 0 for anything else.
int ComPortNumber(const std::string& name) {
    if (name.size() < 4 || std::toupper(static_cast<unsigned char>(name[0])) != 'C' ||
        std::toupper(static_cast<unsigned char>(name[1])) != 'O' ||
        std::toupper(static_cast<unsigned char>(name[2])) != 'M' || name[3] == '0')
        return 0;
    int number = 0;
    const char* end = name.data() + name.size();
    const auto [ptr, ec] = std::from_chars(name.data() + 3, end, number);
    return ec == std::errc() && ptr == end ? number : 0;
}

constexpr tcflag_t FramingFlags = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;

} // namespace

std::string SerialDevicePath(const std::string& portName) {
    if (portName.empty())
        return {};
    if (portName.front() == '/')
        return portName;
    if (const int number = ComPortNumber(portName); number > 0)
        return "/dev/ttyS" + std::to_string(number - 1);
    if (portName.find('/') != std::string::npos)
        return {};
    return "/dev/" + portName;
}

std::optional<termios> MakeLineSettings(int baudRate, int parity, int stopBits) {
    const auto speed = SpeedOf(baudRate);
    const auto parityFlags = ParityFlags(parity);
    const auto stopFlags = StopBitFlags(stopBits);
    if (!speed || !parityFlags || !stopFlags)
        return std::nullopt;

    termios t{};
    // Bytes passed on as received: no CR/NL translation, parity marking or replacement,
    // no software flow control.
    t.c_iflag = 0;
    t.c_oflag = 0;
    // 8 data bits, receiver on, modem status ignored, lines left alone on close.
    t.c_cflag = CS8 | CREAD | CLOCAL | *parityFlags | *stopFlags;
    t.c_lflag = 0;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (cfsetispeed(&t, *speed) != 0 || cfsetospeed(&t, *speed) != 0)
        return std::nullopt;
    return t;
}

bool LineSettingsApplied(const termios& wanted, const termios& actual) {
    return cfgetispeed(&actual) == cfgetispeed(&wanted) &&
           cfgetospeed(&actual) == cfgetospeed(&wanted) &&
           (actual.c_cflag & FramingFlags) == (wanted.c_cflag & FramingFlags) &&
           (actual.c_iflag & (IXON | IXOFF | IXANY)) == 0;
}
