// The Find Meters dialog against simulated meters on the loopback address and a /sys of the
// test's own (never a broadcast on this machine's networks), and the main window it fills.
#include "window/FindMetersDialog.h"

#include "meter/ExclusivePort.h"
#include "tests/support/FakeSysTree.h"
#include "tests/support/TempFolder.h"
#include "tests/window/WindowFixture.h"
#include "tools/sim/PtyMeter.h"
#include "tools/sim/TcpMeterServer.h"
#include "tools/sim/UdpDiscoveryResponder.h"
#include "window/ComPortNames.h"

#include <QAction>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>
#include <QWindow>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {

using namespace std::chrono_literals;

std::uint16_t FreeUdpPort() {
    const int socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(socket, reinterpret_cast<sockaddr*>(&local), sizeof local);
    socklen_t size = sizeof local;
    ::getsockname(socket, reinterpret_cast<sockaddr*>(&local), &size);
    ::close(socket);
    return ntohs(local.sin_port);
}

TMeterOptions WithSerial(int serial) {
    TMeterOptions options;
    options.SerialNumber = serial;
    return options;
}

// Two network modules (an SQM-LE's and another device's) and two USB ports (a meter behind
// an FTDI bridge, and another maker's bridge), all of the test's own.
class FindMetersDialogTest : public WindowTest {
protected:
    FindMetersDialogTest()
        : Port(FreeUdpPort()), Tree(Root.GetPath()), EthernetMeter(WithSerial(4711)),
          UsbMeter(WithSerial(2718)) {
        TUdpDiscoveryOptions sqm;
        sqm.Port = Port;
        sqm.Mac = {0x00, 0x80, 0xA3, 0x91, 0x2C, 0x04};
        Sqm = std::make_unique<TUdpDiscoveryResponder>(sqm);
        TUdpDiscoveryOptions other = sqm;
        other.BindAddress = "127.0.0.3";
        other.Mac = {0x00, 0x1B, 0x44, 0x11, 0x3A, 0xB7};
        Other = std::make_unique<TUdpDiscoveryResponder>(other);
        Tree.AddUsbTty("1-1", "ttyUSB0", {"0403", "6001", "FTDI", "FT232R USB UART", "A9012345"},
                       "usb-FTDI_FT232R_USB_UART_A9012345-if00-port0");
        Tree.AddUsbTty("1-2", "ttyUSB1", {"1a86", "7523", "", "USB Serial", ""});
        Tree.PointAt("ttyUSB0", UsbMeter.DevicePath());
    }

    // The window's dialog, kept to the test's own meters.
    TFindMetersDialog* Dialog() {
        TFindMetersDialog* dialog = Form->GetFindMeters();
        TDiscoveryOptions network;
        network.Broadcast = false;
        network.Targets = {"127.0.0.1", "127.0.0.3"};
        network.Port = Port;
        network.Listen = 700ms;
        dialog->SetSearch(network, Tree.Sys(), Tree.Dev());
        TEthernetIdentifyOptions ethernet;
        ethernet.Port = EthernetMeter.GetPort();
        dialog->SetIdentify(ethernet, 2s);
        return dialog;
    }

    static QTreeWidget* List(TFindMetersDialog* dialog) {
        return dialog->findChild<QTreeWidget*>(QStringLiteral("LstFound"));
    }
    static QPushButton* Button(TFindMetersDialog* dialog, const char* name) {
        return dialog->findChild<QPushButton*>(QString::fromLatin1(name));
    }
    static QStringList Rows(TFindMetersDialog* dialog) {
        QStringList rows;
        QTreeWidget* list = List(dialog);
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            QStringList cells;
            for (int c = 0; c < list->columnCount(); ++c)
                cells << list->topLevelItem(i)->text(c);
            rows << cells.join(QStringLiteral(" | "));
        }
        return rows;
    }
    void Select(TFindMetersDialog* dialog, int row) {
        List(dialog)->setCurrentItem(List(dialog)->topLevelItem(row));
    }
    // Opens the dialog from the window and waits for its search, which runs while the
    // window goes on.
    TFindMetersDialog* Search() {
        TFindMetersDialog* dialog = Dialog();
        QSignalSpy finished(dialog, &TFindMetersDialog::SearchFinished);
        Form->FindMetersClick();
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_TRUE(dialog->IsSearching()); // the click returned before the search ended
        EXPECT_FALSE(Button(dialog, "BtnSearch")->isEnabled());
        EXPECT_TRUE(finished.wait(10000));
        return dialog;
    }
    QString Identify(TFindMetersDialog* dialog, int row) {
        Select(dialog, row);
        QSignalSpy finished(dialog, &TFindMetersDialog::IdentifyFinished);
        Button(dialog, "BtnIdentify")->click();
        EXPECT_TRUE(dialog->IsIdentifying());
        EXPECT_TRUE(finished.wait(10000));
        return List(dialog)->topLevelItem(row)->text(3);
    }

    std::uint16_t Port;
    TTempFolder Root;
    TFakeSysTree Tree;
    TTcpMeterServer EthernetMeter;
    TPtyMeter UsbMeter;
    std::unique_ptr<TUdpDiscoveryResponder> Sqm;
    std::unique_ptr<TUdpDiscoveryResponder> Other;
};

} // namespace

TEST_F(FindMetersDialogTest, TheStationMenuOpensTheDialog) {
    MakeForm();
    auto* entry = Form->findChild<QAction*>(QStringLiteral("ActFindMeters"));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->text(), "Find Meters...");
    Dialog(); // kept to the test's own meters before it opens
    entry->trigger();
    TFindMetersDialog* dialog = Form->GetFindMeters();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(dialog->isModal());
    QSignalSpy finished(dialog, &TFindMetersDialog::SearchFinished);
    EXPECT_TRUE(finished.wait(10000));
}

TEST_F(FindMetersDialogTest, ListsWhatAnsweredAndFillsTheWindowWithTheChosenMeter) {
    MakeForm();
    TFindMetersDialog* dialog = Search();
    const QString stable = QString::fromStdString(
        (Tree.Dev() / "serial/by-id/usb-FTDI_FT232R_USB_UART_A9012345-if00-port0").string());
    EXPECT_EQ(
        Rows(dialog),
        QStringList({"Network | 127.0.0.1 | MAC 00:80:A3:91:2C:04 | likely an SQM-LE",
                     "Network | 127.0.0.3 | MAC 00:1B:44:11:3A:B7 | no SQM (MAC not 00:80:A3...)",
                     "USB | " + stable +
                         " | FTDI FT232R USB UART, serial A9012345 (0403:6001) | likely a "
                         "meter",
                     "USB | " + QString::fromStdString((Tree.Dev() / "ttyUSB1").string()) +
                         " | USB Serial (1a86:7523) | "}));

    // A device that is no SQM is neither asked nor used.
    Select(dialog, 1);
    EXPECT_FALSE(Button(dialog, "BtnIdentify")->isEnabled());
    EXPECT_FALSE(Button(dialog, "BtnUse")->isEnabled());

    EXPECT_EQ(Identify(dialog, 0), "SQM model 3, feature 76, serial 4711");
    EXPECT_EQ(EthernetMeter.GetCounts().Received, "ix");
    Child<QComboBox>("CmbModel")->setCurrentIndex(2);
    Button(dialog, "BtnUse")->click();
    EXPECT_EQ(Child<QComboBox>("CmbModel")->currentIndex(), 0);
    EXPECT_EQ(Text("EdtIP"), "127.0.0.1");
    EXPECT_EQ(Text("EdtPort"), QString::number(EthernetMeter.GetPort()));
    EXPECT_TRUE(Child("EdtIP")->isEnabled());

    EXPECT_EQ(Identify(dialog, 2), "SQM model 3, feature 76, serial 2718");
    Button(dialog, "BtnUse")->click();
    EXPECT_EQ(Child<QComboBox>("CmbModel")->currentIndex(), 2);
    EXPECT_EQ(Text("CmbComPort"), stable);
    EXPECT_TRUE(Child("CmbComPort")->isEnabled());
    EXPECT_FALSE(Child("EdtIP")->isEnabled());

    // Only the query ever reached the modules.
    for (const auto* module : {Sqm.get(), Other.get()})
        for (const auto& datagram : module->Received())
            EXPECT_EQ(datagram, (std::vector<std::uint8_t>{0x00, 0x00, 0x00, 0xF6}));
}

TEST_F(FindMetersDialogTest, ABusyPortIsSaidToBeBusyAndAnAddressThatIsNoneStopsTheSearch) {
    MakeForm();
    const TExclusivePort holder = TExclusivePort::Open(UsbMeter.DevicePath());
    TFindMetersDialog* dialog = Search();
    EXPECT_EQ(Identify(dialog, 2),
              "The port " +
                  QString::fromStdString(
                      (Tree.Dev() / "serial/by-id/usb-FTDI_FT232R_USB_UART_A9012345-if00-"
                                    "port0")
                          .string()) +
                  " is in use by another program; it was not asked.");
    EXPECT_EQ(UsbMeter.CommandsReceived(), 0);

    dialog->findChild<QLineEdit*>(QStringLiteral("EdtAddresses"))
        ->setText(QStringLiteral("192.168.1.0/24 meter.local"));
    Button(dialog, "BtnSearch")->click();
    EXPECT_FALSE(dialog->IsSearching());
    EXPECT_EQ(dialog->findChild<QLabel*>(QStringLiteral("LblStatus"))->text(),
              "'meter.local' is not an IPv4 address (such as 192.168.1.20) or subnet (such as "
              "192.168.1.0/24, from /16 to /32).");
    EXPECT_EQ(List(dialog)->topLevelItemCount(), 4); // the last results stay
}

TEST_F(FindMetersDialogTest, TheComPortListDescribesTheUsbPorts) {
    QComboBox list;
    const QString stable =
        QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A9012345-if00-port0");
    list.addItems({QStringLiteral("COM1"), QStringLiteral("/dev/ttyUSB0"), stable,
                   QStringLiteral("/dev/ttyUSB7")});
    DescribeComPorts(&list, QString::fromStdString(Tree.Sys().string()),
                     QString::fromStdString(Tree.Dev().string()));
    const QString description =
        QStringLiteral("FTDI FT232R USB UART, serial A9012345 (0403:6001), likely a meter");
    EXPECT_EQ(list.itemData(2, ComPortDescriptionRole).toString(), description);
    EXPECT_EQ(list.itemData(1, ComPortDescriptionRole).toString(), description);
    EXPECT_EQ(list.itemData(2, Qt::ToolTipRole).toString(), description);
    EXPECT_FALSE(list.itemData(0, ComPortDescriptionRole).isValid());
    EXPECT_FALSE(list.itemData(3, ComPortDescriptionRole).isValid());
    EXPECT_EQ(list.itemText(2), stable); // the names, which are stored, stay as they are
}

// The README's picture of the dialog. Runs only when NIGHTLUX_SCREENSHOTS names the folder
// to write it to (scripts/take-screenshots runs it under Xvfb).
class FindMetersScreenshotTest : public FindMetersDialogTest {};

TEST_F(FindMetersScreenshotTest, AfterASearch) {
    const QString folder = QString::fromLocal8Bit(qgetenv("NIGHTLUX_SCREENSHOTS"));
    if (folder.isEmpty())
        GTEST_SKIP() << "set NIGHTLUX_SCREENSHOTS to a folder to take the picture";
    MakeForm();
    Form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
    TFindMetersDialog* dialog = Search();
    Identify(dialog, 0);
    Identify(dialog, 2);
    Select(dialog, 2);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
    QTest::qWait(300);
    const QPixmap picture =
        dialog->windowHandle()->screen()->grabWindow(dialog->windowHandle()->winId());
    ASSERT_TRUE(picture.save(folder + QStringLiteral("/find-meters.png")));
}
