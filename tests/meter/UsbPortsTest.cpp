#include "meter/UsbPorts.h"

#include "meter/ExclusivePort.h"
#include "meter/MeterIdentify.h"
#include "tests/support/FakeSysTree.h"
#include "tests/support/TempFolder.h"
#include "tools/sim/PtyMeter.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

// A small /sys and /dev of a machine with three USB serial ports (an FTDI bridge as the
// USB meters carry, another maker's bridge and a modem-class device), an on-board serial
// port and a virtual terminal, which are no USB ports.
class UsbPortsTest : public testing::Test {
protected:
    UsbPortsTest() : Tree(Root.GetPath()) {
        Tree.AddUsbTty("1-1", "ttyUSB0", {"0403", "6001", "FTDI", "FT232R USB UART", "A9012345"},
                       "usb-FTDI_FT232R_USB_UART_A9012345-if00-port0");
        Tree.AddUsbTty("1-2", "ttyUSB1", {"1a86", "7523", "", "USB Serial", ""});
        Tree.AddUsbTty("1-3", "ttyACM0",
                       {"2341", "0043", "Arduino (www.arduino.cc)", "Uno", "7563331"},
                       "usb-Arduino__www.arduino.cc__Uno_7563331-if00");
        const fs::path platform = Sys() / "devices/platform/serial8250";
        fs::create_directories(platform / "tty/ttyS0");
        TFakeSysTree::Link(Sys() / "class/tty/ttyS0",
                           "../../devices/platform/serial8250/tty/ttyS0");
        TFakeSysTree::Link(platform / "tty/ttyS0/device", "../../../serial8250");
        fs::create_directories(Sys() / "devices/virtual/tty/tty0");
        TFakeSysTree::Link(Sys() / "class/tty/tty0", "../../devices/virtual/tty/tty0");
    }

    fs::path Sys() const { return Tree.Sys(); }
    fs::path Dev() const { return Tree.Dev(); }
    void PointAt(const std::string& tty, const std::string& device) { Tree.PointAt(tty, device); }

    TTempFolder Root;
    TFakeSysTree Tree;
};

} // namespace

TEST_F(UsbPortsTest, ListsTheUsbSerialPortsWithWhatTheSystemKnowsOfThem) {
    const std::vector<TSerialPortInfo> ports = ListUsbSerialPorts(Sys(), Dev());
    ASSERT_EQ(ports.size(), 3u);
    const TSerialPortInfo& acm = ports[0];
    const TSerialPortInfo& ftdi = ports[1];
    const TSerialPortInfo& other = ports[2];

    EXPECT_EQ(ftdi.Device, (Dev() / "ttyUSB0").string());
    EXPECT_EQ(ftdi.StableName,
              (Dev() / "serial/by-id/usb-FTDI_FT232R_USB_UART_A9012345-if00-port0").string());
    EXPECT_EQ(ftdi.PreferredName(), ftdi.StableName);
    EXPECT_EQ(ftdi.BridgeSerial, "A9012345");
    EXPECT_TRUE(ftdi.LikelyMeter());
    EXPECT_EQ(ftdi.Description(), "FTDI FT232R USB UART, serial A9012345 (0403:6001)");

    EXPECT_EQ(other.Device, (Dev() / "ttyUSB1").string());
    EXPECT_EQ(other.StableName, "");
    EXPECT_EQ(other.PreferredName(), other.Device);
    EXPECT_FALSE(other.LikelyMeter());
    EXPECT_EQ(other.Description(), "USB Serial (1a86:7523)");

    EXPECT_EQ(acm.Device, (Dev() / "ttyACM0").string());
    EXPECT_EQ(acm.VendorId + ":" + acm.ProductId, "2341:0043");
    EXPECT_EQ(acm.Manufacturer, "Arduino (www.arduino.cc)");
    EXPECT_NE(acm.StableName.find("Uno_7563331"), std::string::npos);
    EXPECT_FALSE(acm.LikelyMeter());
}

TEST_F(UsbPortsTest, AMachineWithoutTheFoldersHasNoPorts) {
    EXPECT_TRUE(ListUsbSerialPorts(Root.File("none"), Root.File("none")).empty());
    fs::remove_all(Dev() / "serial"); // no stable names: the ports are still listed
    const std::vector<TSerialPortInfo> ports = ListUsbSerialPorts(Sys(), Dev());
    ASSERT_EQ(ports.size(), 3u);
    EXPECT_EQ(ports[1].PreferredName(), (Dev() / "ttyUSB0").string());
}

// The listed port is asked under its stable name: a simulated meter behind it answers, one
// that another program holds is busy and is not asked.
TEST_F(UsbPortsTest, AListedPortIsProbedUnlessItIsBusy) {
    TMeterOptions options;
    options.SerialNumber = 2718;
    const TPtyMeter meter(options), heldMeter;
    PointAt("ttyUSB0", meter.DevicePath());
    PointAt("ttyUSB1", heldMeter.DevicePath());
    const TExclusivePort holder = TExclusivePort::Open(heldMeter.DevicePath());
    ASSERT_TRUE(holder.IsValid());

    const std::vector<TSerialPortInfo> ports = ListUsbSerialPorts(Sys(), Dev());
    ASSERT_EQ(ports.size(), 3u);
    EXPECT_EQ(IdentifySerialMeter(ports[1].PreferredName()).Serial, "00002718");
    EXPECT_EQ(CheckPort(ports[2].PreferredName()), TPortState::Busy);
    EXPECT_THROW(IdentifySerialMeter(ports[2].PreferredName()), ESqm);
    EXPECT_EQ(heldMeter.CommandsReceived(), 0);
}
