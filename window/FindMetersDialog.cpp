#include "window/FindMetersDialog.h"

#include "meter/UsbPorts.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

enum TColumn { LinkColumn, AddressColumn, DeviceColumn, MeterColumn };
// What a row holds beside its texts, in the first column.
constexpr int IsUsbRole = Qt::UserRole;
constexpr int LikelyMeterRole = Qt::UserRole + 1;
constexpr int ModelNumberRole = Qt::UserRole + 2;

// The indexes of ModelNames().
constexpr int ModelLE = 0;
constexpr int ModelLU = 2;
constexpr int ModelLUDL = 3;

QString IdentityText(const TMeterIdentity& identity) {
    const auto number = [](const std::string& field) {
        return QString::number(QString::fromStdString(field).toLongLong());
    };
    return QStringLiteral("SQM model %1, feature %2, serial %3")
        .arg(number(identity.Model), number(identity.Feature), number(identity.Serial));
}

QString FirstLine(const std::string& text) {
    return QString::fromStdString(text.substr(0, text.find('\n')));
}

} // namespace

TFindMetersDialog::TFindMetersDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FindMetersDialog"));
    setWindowTitle(QStringLiteral("Find Meters"));
    setModal(false);

    auto* intro = new QLabel(
        QStringLiteral("Searches the local networks for SQM-LE meters and lists the serial "
                       "ports on USB. Nothing but the network modules' search query is sent "
                       "until you ask a device with Identify."),
        this);
    intro->setWordWrap(true);

    EdtAddresses = new QLineEdit(this);
    EdtAddresses->setObjectName(QStringLiteral("EdtAddresses"));
    EdtAddresses->setPlaceholderText(QStringLiteral("such as 192.168.2.0/24 10.0.0.7"));
    EdtAddresses->setToolTip(QStringLiteral(
        "Addresses or subnets to ask as well, separated by blanks: for meters behind a router, "
        "which a broadcast does not reach"));
    auto* lblAddresses = new QLabel(QStringLiteral("Also &ask:"), this);
    lblAddresses->setBuddy(EdtAddresses);
    BtnSearch = new QPushButton(QStringLiteral("&Search"), this);
    BtnSearch->setObjectName(QStringLiteral("BtnSearch"));
    BtnSearch->setToolTip(QStringLiteral("Search the networks and USB again"));

    LstFound = new QTreeWidget(this);
    LstFound->setObjectName(QStringLiteral("LstFound"));
    LstFound->setHeaderLabels({QStringLiteral("Link"), QStringLiteral("Address or port"),
                               QStringLiteral("Device"), QStringLiteral("Meter")});
    LstFound->setRootIsDecorated(false);
    LstFound->setUniformRowHeights(true);
    LstFound->setAllColumnsShowFocus(true);
    LstFound->header()->setStretchLastSection(true);
    LstFound->setTextElideMode(Qt::ElideMiddle); // the ends of a port's name tell most
    LstFound->setColumnWidth(LinkColumn, 64);
    LstFound->setColumnWidth(AddressColumn, 340);
    LstFound->setColumnWidth(DeviceColumn, 330);

    BtnIdentify = new QPushButton(QStringLiteral("&Identify"), this);
    BtnIdentify->setObjectName(QStringLiteral("BtnIdentify"));
    BtnIdentify->setToolTip(QStringLiteral(
        "Ask the chosen device for its model and serial number; this takes an SQM-LE's only "
        "connection for a moment"));
    BtnUse = new QPushButton(QStringLiteral("&Use This Meter"), this);
    BtnUse->setObjectName(QStringLiteral("BtnUse"));
    BtnUse->setToolTip(QStringLiteral("Fill in the main window's model and address or port"));
    BtnClose = new QPushButton(QStringLiteral("Close"), this);
    BtnClose->setObjectName(QStringLiteral("BtnClose"));
    for (QPushButton* button : {BtnSearch, BtnIdentify, BtnUse, BtnClose})
        button->setAutoDefault(false);
    LblStatus = new QLabel(this);
    LblStatus->setObjectName(QStringLiteral("LblStatus"));
    LblStatus->setWordWrap(true);

    auto* addressRow = new QHBoxLayout;
    addressRow->addWidget(lblAddresses);
    addressRow->addWidget(EdtAddresses, 1);
    addressRow->addWidget(BtnSearch);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(BtnIdentify);
    buttonRow->addWidget(BtnUse);
    buttonRow->addStretch(1);
    buttonRow->addWidget(BtnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(addressRow);
    layout->addWidget(LstFound, 1);
    layout->addWidget(LblStatus);
    layout->addLayout(buttonRow);
    resize(1000, 360);

    connect(BtnSearch, &QPushButton::clicked, this, [this] { StartSearch(); });
    connect(EdtAddresses, &QLineEdit::returnPressed, this, [this] { StartSearch(); });
    connect(BtnIdentify, &QPushButton::clicked, this, [this] { IdentifySelected(); });
    connect(BtnUse, &QPushButton::clicked, this, [this] { UseSelected(); });
    connect(BtnClose, &QPushButton::clicked, this, &QDialog::close);
    connect(LstFound, &QTreeWidget::itemSelectionChanged, this, [this] { UpdateButtons(); });
    connect(LstFound, &QTreeWidget::itemDoubleClicked, this, [this] { UseSelected(); });
    UpdateButtons();
}

TFindMetersDialog::~TFindMetersDialog() {
    StopThreads();
}

void TFindMetersDialog::StopThreads() {
    Stop = true;
    if (SearchThread.joinable())
        SearchThread.join();
    if (IdentifyThread.joinable())
        IdentifyThread.join();
}

void TFindMetersDialog::closeEvent(QCloseEvent* event) {
    Stop = true; // a search in progress ends within a moment; its thread is joined later
    QDialog::closeEvent(event);
}

void TFindMetersDialog::SetSearch(const TDiscoveryOptions& network, const std::string& sysRoot,
                                  const std::string& devRoot) {
    Network = network;
    SysRoot = sysRoot;
    DevRoot = devRoot;
}

void TFindMetersDialog::SetIdentify(const TEthernetIdentifyOptions& ethernet,
                                    std::chrono::milliseconds serialTimeout) {
    Ethernet = ethernet;
    SerialTimeout = serialTimeout;
}

void TFindMetersDialog::StartSearch() {
    if (IsSearching() || IsIdentifying())
        return;
    if (SearchThread.joinable())
        SearchThread.join();
    TDiscoveryOptions options = Network;
    for (const QString& target : EdtAddresses->text().split(QLatin1Char(' '), Qt::SkipEmptyParts))
        options.Targets.push_back(target.toStdString());
    try {
        for (const std::string& target : options.Targets)
            TargetHosts(target);
    } catch (const EDiscoveryError& e) {
        LblStatus->setText(QString::fromStdString(e.what()));
        EdtAddresses->setFocus();
        return;
    }
    Searched = true;
    LstFound->clear();
    AddUsbPorts();
    LblStatus->setText(QStringLiteral("Searching the networks..."));
    Stop = false;
    SearchDone = false;
    SearchThread = std::thread([this, options] {
        QStringList problems;
        try {
            TEthernetDiscovery discovery(options);
            discovery.Run(
                [this](const TDiscoveredDevice& device) {
                    QMetaObject::invokeMethod(
                        this, [this, device] { AddNetworkDevice(device); }, Qt::QueuedConnection);
                },
                &Stop);
            for (const std::string& problem : discovery.Problems())
                problems << QString::fromStdString(problem);
        } catch (const std::exception& e) {
            problems << QString::fromStdString(e.what());
        }
        SearchDone = true;
        QMetaObject::invokeMethod(
            this, [this, problems] { FinishSearch(problems); }, Qt::QueuedConnection);
    });
    UpdateButtons();
}

void TFindMetersDialog::AddNetworkDevice(const TDiscoveredDevice& device) {
    // Network devices come first, in the order they answered.
    int row = 0;
    while (row < LstFound->topLevelItemCount() &&
           !LstFound->topLevelItem(row)->data(LinkColumn, IsUsbRole).toBool())
        ++row;
    auto* item = new QTreeWidgetItem;
    item->setText(LinkColumn, QStringLiteral("Network"));
    item->setText(AddressColumn, QString::fromStdString(device.Address));
    item->setText(DeviceColumn, QStringLiteral("MAC ") + QString::fromStdString(device.MacText()));
    item->setText(MeterColumn, device.HasSqmPrefix()
                                   ? QStringLiteral("likely an SQM-LE")
                                   : QStringLiteral("no SQM (MAC not 00:80:A3...)"));
    item->setData(LinkColumn, IsUsbRole, false);
    item->setData(LinkColumn, LikelyMeterRole, device.HasSqmPrefix());
    LstFound->insertTopLevelItem(row, item);
    UpdateButtons();
}

void TFindMetersDialog::AddUsbPorts() {
    for (const TSerialPortInfo& port : ListUsbSerialPorts(SysRoot, DevRoot)) {
        auto* item = new QTreeWidgetItem;
        item->setText(LinkColumn, QStringLiteral("USB"));
        item->setText(AddressColumn, QString::fromStdString(port.PreferredName()));
        item->setToolTip(AddressColumn, QString::fromStdString(port.Device));
        item->setText(DeviceColumn, QString::fromStdString(port.Description()));
        item->setText(MeterColumn,
                      port.LikelyMeter() ? QStringLiteral("likely a meter") : QString());
        item->setData(LinkColumn, IsUsbRole, true);
        item->setData(LinkColumn, LikelyMeterRole, port.LikelyMeter());
        LstFound->addTopLevelItem(item);
    }
}

void TFindMetersDialog::FinishSearch(const QStringList& problems) {
    if (SearchThread.joinable())
        SearchThread.join();
    int network = 0;
    for (int row = 0; row < LstFound->topLevelItemCount(); ++row)
        network += LstFound->topLevelItem(row)->data(LinkColumn, IsUsbRole).toBool() ? 0 : 1;
    const int usb = LstFound->topLevelItemCount() - network;
    QString text = QStringLiteral("%1 network device%2 and %3 USB port%4 found.")
                       .arg(network)
                       .arg(network == 1 ? "" : "s")
                       .arg(usb)
                       .arg(usb == 1 ? "" : "s");
    if (!problems.isEmpty())
        text += QLatin1Char(' ') + problems.join(QLatin1Char(' '));
    LblStatus->setText(text);
    if (!LstFound->currentItem() && LstFound->topLevelItemCount() > 0)
        LstFound->setCurrentItem(LstFound->topLevelItem(0));
    UpdateButtons();
    emit SearchFinished();
}

QTreeWidgetItem* TFindMetersDialog::Selected() const {
    const QList<QTreeWidgetItem*> items = LstFound->selectedItems();
    return items.isEmpty() ? nullptr : items.first();
}

void TFindMetersDialog::IdentifySelected() {
    QTreeWidgetItem* item = Selected();
    if (!item || !BtnIdentify->isEnabled())
        return;
    if (IdentifyThread.joinable())
        IdentifyThread.join();
    const bool usb = item->data(LinkColumn, IsUsbRole).toBool();
    const std::string where = item->text(AddressColumn).toStdString();
    item->setText(MeterColumn, QStringLiteral("asking..."));
    LblStatus->setText(QStringLiteral("Asking %1...").arg(item->text(AddressColumn)));
    IdentifyDone = false;
    IdentifyThread =
        std::thread([this, item, usb, where, ethernet = Ethernet, serialTimeout = SerialTimeout] {
            QString text, model;
            bool isMeter = false;
            try {
                const TMeterIdentity identity = usb ? IdentifySerialMeter(where, serialTimeout)
                                                    : IdentifyEthernetMeter(where, ethernet);
                text = IdentityText(identity);
                model = QString::fromStdString(identity.Model);
                isMeter = true;
            } catch (const std::exception& e) {
                text = FirstLine(e.what());
                const QString prefix = QStringLiteral("communication error: ");
                if (const qsizetype at = text.indexOf(prefix); at >= 0)
                    text = text.mid(at + prefix.size());
            }
            IdentifyDone = true;
            QMetaObject::invokeMethod(
                this,
                [this, item, text, model, isMeter] { FinishIdentify(item, text, model, isMeter); },
                Qt::QueuedConnection);
        });
    UpdateButtons();
}

void TFindMetersDialog::FinishIdentify(QTreeWidgetItem* item, const QString& text,
                                       const QString& model, bool isMeter) {
    if (IdentifyThread.joinable())
        IdentifyThread.join();
    item->setText(MeterColumn, text);
    item->setData(LinkColumn, ModelNumberRole, model);
    if (isMeter)
        item->setData(LinkColumn, LikelyMeterRole, true);
    LblStatus->setText(isMeter ? QStringLiteral("%1 is a meter.").arg(item->text(AddressColumn))
                               : QStringLiteral("%1: %2").arg(item->text(AddressColumn), text));
    UpdateButtons();
    emit IdentifyFinished();
}

void TFindMetersDialog::UseSelected() {
    QTreeWidgetItem* item = Selected();
    if (!item || !BtnUse->isEnabled())
        return;
    TChosenMeter meter;
    const bool usb = item->data(LinkColumn, IsUsbRole).toBool();
    const bool dataLogger = item->data(LinkColumn, ModelNumberRole).toString().toInt() == 6;
    if (usb) {
        meter.ModelIndex = dataLogger ? ModelLUDL : ModelLU;
        meter.ComPort = item->text(AddressColumn);
    } else {
        meter.ModelIndex = ModelLE;
        meter.Host = item->text(AddressColumn);
        meter.Port = QString::number(Ethernet.Port);
    }
    emit MeterChosen(meter);
    LblStatus->setText(
        QStringLiteral("The main window now reads %1.").arg(item->text(AddressColumn)));
}

void TFindMetersDialog::UpdateButtons() {
    const bool busy = IsSearching() || IsIdentifying();
    const QTreeWidgetItem* item = Selected();
    BtnSearch->setEnabled(!busy);
    // A network device without the meters' module is no SQM: it is neither asked nor used.
    const bool candidate = item && (item->data(LinkColumn, IsUsbRole).toBool() ||
                                    item->data(LinkColumn, LikelyMeterRole).toBool());
    BtnIdentify->setEnabled(candidate && !busy);
    BtnUse->setEnabled(candidate);
}
