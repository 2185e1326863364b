#include "meter/UsbPorts.h"

#include "meter/ExclusivePort.h"
#include "meter/MeterIdentify.h"
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
    UsbPortsTest() {
        const fs::path hub = Sys() / "devices/pci0000:00/0000:00:14.0/usb1";
        UsbTty(hub / "1-1", "1-1:1.0", "ttyUSB0",
               {"0403", "6001", "FTDI", "FT232R USB UART", "A9012345"});
        UsbTty(hub / "1-2", "1-2:1.0", "ttyUSB1", {"1a86", "7523", "", "USB Serial", ""});
        UsbTty(hub / "1-3", "1-3:1.0", "ttyACM0",
               {"2341", "0043", "Arduino (www.arduino.cc)", "Uno", "7563331"});
        const fs::path platform = Sys() / "devices/platform/serial8250";
        fs::create_directories(platform / "tty/ttyS0");
        Link(Sys() / "class/tty/ttyS0", "../../devices/platform/serial8250/tty/ttyS0");
        Link(platform / "tty/ttyS0/device", "../../../serial8250");
        fs::create_directories(Sys() / "devices/virtual/tty/tty0");
        Link(Sys() / "class/tty/tty0", "../../devices/virtual/tty/tty0");

        fs::create_directories(Dev() / "serial/by-id");
        for (const char* name : {"ttyUSB0", "ttyUSB1", "ttyACM0"})
            std::ofstream(Dev() / name);
        Link(Dev() / "serial/by-id/usb-FTDI_FT232R_USB_UART_A9012345-if00-port0", "../../ttyUSB0");
        Link(Dev() / "serial/by-id/usb-Arduino__www.arduino.cc__Uno_7563331-if00", "../../ttyACM0");
    }

    struct TUsb {
        std::string Vendor, Product, Maker, Name, Serial;
    };

    fs::path Sys() const { return fs::path(Root.GetPath()) / "sys"; }
    fs::path Dev() const { return fs::path(Root.GetPath()) / "dev"; }

    static void Link(const fs::path& link, const fs::path& target) {
        fs::create_directories(link.parent_path());
        fs::create_symlink(target, link);
    }
    static void Write(const fs::path& file, const std::string& text) {
        if (!text.empty())
            std::ofstream(file) << text << "\n";
    }

    // A USB device with one interface whose port is tty, as the USB serial drivers make
    // them (ttyUSB under a port folder of its own, ttyACM directly under the interface).
    void UsbTty(const fs::path& device, const std::string& interface, const std::string& tty,
                const TUsb& usb) {
        const bool acm = tty.starts_with("ttyACM");
        const fs::path port = acm ? device / interface : device / interface / tty;
        fs::create_directories(port / "tty" / tty);
        Write(device / "idVendor", usb.Vendor);
        Write(device / "idProduct", usb.Product);
        Write(device / "manufacturer", usb.Maker);
        Write(device / "product", usb.Name);
        Write(device / "serial", usb.Serial);
        Link(Sys() / "class/tty" / tty, fs::relative(port / "tty" / tty, Sys() / "class/tty"));
        Link(port / "tty" / tty / "device", "../..");
    }

    void PointAt(const std::string& name, const std::string& device) {
        fs::remove(Dev() / name);
        fs::create_symlink(device, Dev() / name);
    }

    TTempFolder Root;
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
