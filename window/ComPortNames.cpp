#include "window/ComPortNames.h"

#include "meter/UsbPorts.h"

#include <QAbstractItemView>
#include <QCollator>
#include <QComboBox>
#include <QDir>
#include <QStyledItemDelegate>
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

namespace {

// Draws a port item of the open list as "name - description".
class TPortItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        const QString description = index.data(ComPortDescriptionRole).toString();
        if (!description.isEmpty())
            option->text += QStringLiteral("  \u2013  ") + description;
    }
};

} // namespace

void DescribeComPorts(QComboBox* list, const QString& sysRoot, const QString& devRoot) {
    for (const TSerialPortInfo& port :
         ListUsbSerialPorts(sysRoot.toStdString(), devRoot.toStdString())) {
        QString description = QString::fromStdString(port.Description());
        if (port.LikelyMeter())
            description += QStringLiteral(", likely a meter");
        const QString prefix = devRoot + QLatin1Char('/');
        for (const std::string& name : {port.Device, port.StableName}) {
            if (name.empty())
                continue;
            // The list names the devices under /dev, whatever root they were read from.
            QString text = QString::fromStdString(name);
            if (text.startsWith(prefix))
                text = QStringLiteral("/dev/") + text.mid(prefix.size());
            const int index = list->findText(text, Qt::MatchFixedString);
            if (index >= 0) {
                list->setItemData(index, description, ComPortDescriptionRole);
                list->setItemData(index, description, Qt::ToolTipRole);
            }
        }
    }
    if (!dynamic_cast<TPortItemDelegate*>(list->itemDelegate()))
        list->setItemDelegate(new TPortItemDelegate(list));
    // The open list is as wide as its longest line, not only as the closed one.
    list->view()->setMinimumWidth(list->view()->sizeHintForColumn(0) + 24);
}
