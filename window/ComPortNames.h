#pragma once

#include <QStringList>
#include <Qt>

class QComboBox;

// The serial port names the window offers: "COM1" to "COM16", then the USB serial devices
// present on this machine (/dev/ttyUSB*, /dev/ttyACM*), then their stable names under
// /dev/serial/by-id, each group in name order.
QStringList ComPortNames();

// Shows, in the open list of ports, a short description of each USB port beside its name
// (maker, product, the bridge's serial number and its USB identifiers, from /sys); the
// names themselves, which the settings store, stay as they are.
void DescribeComPorts(QComboBox* list, const QString& sysRoot = QStringLiteral("/sys"),
                      const QString& devRoot = QStringLiteral("/dev"));

// The role of a port item that holds its description.
constexpr int ComPortDescriptionRole = Qt::UserRole + 7;
