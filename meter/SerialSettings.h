#pragma once

#include <optional>
#include <string>
#include <termios.h>

// The device file of a port name: an absolute path as it stands, "COMn" (n from 1, any
// case) as /dev/ttyS<n-1>, any other plain name under /dev. Empty for a relative path,
// which names no device.
std::string SerialDevicePath(const std::string& portName);

// Raw 8-bit line settings for a speed in bits per second, a parity code (0 none, 1 odd,
// 2 even, 3 mark, 4 space) and a stop-bit code (0 one, 1 one and a half, 2 two): no flow
// control, no modem control, reads that return at once (poll does the waiting). Empty
// when the system has no such speed, parity or stop bits.
std::optional<termios> MakeLineSettings(int baudRate, int parity, int stopBits);

// Whether the port took the speed, framing and flow control that wanted asks for;
// tcsetattr reports success when only part of a request applied.
bool LineSettingsApplied(const termios& wanted, const termios& actual);
