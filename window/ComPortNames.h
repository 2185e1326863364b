#pragma once

#include <QStringList>

// The serial port names the window offers: "COM1" to "COM16", then the USB serial devices
// present on this machine (/dev/ttyUSB*, /dev/ttyACM*), then their stable names under
// /dev/serial/by-id, each group in name order.
QStringList ComPortNames();
