#include "app/ComPortNames.h"

#include <QCollator>
#include <QDir>
#include <algorithm>

QStringList ComPortNames() {
    QStringList names;
    for (int i = 1; i <= 16; ++i)
        names << QStringLiteral("COM%1").arg(i);
    QStringList devices;
    const QDir dev(QStringLiteral("/dev"));
    for (const QString& entry :
         dev.entryList({QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*")}, QDir::System))
        devices << dev.filePath(entry);
    QCollator numeric;
    numeric.setNumericMode(true);
    std::sort(devices.begin(), devices.end(), numeric);
    return names + devices;
}
