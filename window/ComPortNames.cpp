#include "window/ComPortNames.h"

#include <QCollator>
#include <QDir>
#include <algorithm>

namespace {

QStringList DevicesIn(const QString& folder, const QStringList& patterns) {
    const QDir dir(folder);
    QStringList devices;
    for (const QString& entry : dir.entryList(patterns, QDir::System | QDir::Files))
        devices << dir.filePath(entry);
    QCollator numeric;
    numeric.setNumericMode(true);
    std::sort(devices.begin(), devices.end(), numeric);
    return devices;
}

} // namespace

QStringList ComPortNames() {
    QStringList names;
    for (int i = 1; i <= 16; ++i)
        names << QStringLiteral("COM%1").arg(i);
    names << DevicesIn(QStringLiteral("/dev"),
                       {QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*")});
    names << DevicesIn(QStringLiteral("/dev/serial/by-id"), {QStringLiteral("*")});
    return names;
}
