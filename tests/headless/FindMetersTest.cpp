// nightlux-read --find: its options, and a search of a network and a /sys of the test's own.

#include "headless/FindMeters.h"

#include "headless/HeadlessOptions.h"
#include "headless/HeadlessReader.h"
#include "headless/StopSignals.h"
#include "meter/ExclusivePort.h"
#include "tests/support/FakeSysTree.h"
#include "tests/support/OwnNetwork.h"
#include "tests/support/TempFolder.h"
#include "tools/sim/PtyMeter.h"
#include "tools/sim/TcpMeterServer.h"
#include "tools/sim/UdpDiscoveryResponder.h"

#include <gtest/gtest.h>
#include <sstream>

namespace {

using namespace std::chrono_literals;

class TNoWait : public TStopWaiter {
public:
    bool IsStopRequested() const override { return false; }
    bool WaitUntil(TClock::time_point) override { return true; }
};

const std::vector<std::uint8_t> Query = {0x00, 0x00, 0x00, 0xF6};

// What reached the responders that is not the query, one "[..]" each.
std::string NotTheQuery(const std::vector<const TUdpDiscoveryResponder*>& responders) {
    std::string found;
    for (const TUdpDiscoveryResponder* r : responders)
        for (const std::vector<std::uint8_t>& datagram : r->Received())
            if (datagram != Query)
                found += "[" + std::string(datagram.begin(), datagram.end()) + "]";
    return found;
}

TUdpDiscoveryOptions Module(const std::string& address, std::uint8_t last, bool sqm = true) {
    TUdpDiscoveryOptions options;
    options.BindAddress = address;
    options.Port = DiscoveryPort;
    options.Mac = {0x00,
                   static_cast<std::uint8_t>(sqm ? 0x80 : 0x1B),
                   static_cast<std::uint8_t>(sqm ? 0xA3 : 0x44),
                   0x00,
                   0x00,
                   last};
    return options;
}

// Makes a virtual Ethernet cable in the test's own network, so that the search's broadcast
// has somewhere to go; an empty text, or what failed.
std::string AddCable() {
    for (const std::vector<std::string>& command : std::vector<std::vector<std::string>>{
             {"link", "add", "nlx0", "type", "veth", "peer", "name", "nlx1"},
             {"addr", "add", "10.79.0.1/24", "brd", "+", "dev", "nlx0"},
             {"link", "set", "nlx0", "up"},
             {"link", "set", "nlx1", "up"}})
        if (const std::string failed = RunIp(command); !failed.empty())
            return failed;
    return "";
}

} // namespace

TEST(FindMetersOptions, FindTakesAddressesAnywhereAndOnlyItsOwnOptions) {
    const THeadlessOptions options =
        ParseHeadlessOptions({"--find", "192.168.1.0/24", "10.0.0.7", "--identify",
                              "--discovery-port=31000", "10.0.0.9"});
    EXPECT_TRUE(options.Find);
    EXPECT_EQ(options.FindTargets,
              (std::vector<std::string>{"192.168.1.0/24", "10.0.0.7", "10.0.0.9"}));
    EXPECT_TRUE(options.Identify);
    EXPECT_EQ(options.DiscoveryPort, 31000);
    EXPECT_TRUE(ParseHeadlessOptions({"--find"}).FindTargets.empty());

    for (const std::vector<std::string>& bad :
         std::vector<std::vector<std::string>>{{"--identify"},
                                               {"--discovery-port", "31000"},
                                               {"--find", "--discovery-port", "0"},
                                               {"--find", "--discovery-port", "65536"},
                                               {"--find", "--host", "10.0.0.7"},
                                               {"--find", "--every", "5"},
                                               {"--find", "--ephemeris"},
                                               {"--find", "--identify=yes"},
                                               {"10.0.0.7", "--find"}})
        EXPECT_THROW(ParseHeadlessOptions(bad), EUsageError) << bad.front() << " " << bad.back();
}

TEST(FindMetersOptions, AnAddressThatIsNoAddressIsABadArgumentAndNothingIsSent) {
    TNoWait waiter;
    for (const std::string bad : {"meter.invalid", "10.0.0.300", "10.0.0.0/8"}) {
        std::ostringstream out, err;
        EXPECT_EQ(RunHeadlessReader({"--find", bad}, "/nonexistent/settings.ini", out, err, waiter),
                  2)
            << bad;
        EXPECT_NE(err.str().find("'" + bad + "' is not an IPv4 address"), std::string::npos)
            << err.str();
        EXPECT_EQ(out.str(), "");
    }
}

TEST(FindMetersOptions, ModelNamesFollowTheUnitInformation) {
    EXPECT_EQ(ModelOptionOf("00000003", true), "LE");
    EXPECT_EQ(ModelOptionOf("00000003", false), "LU");
    EXPECT_EQ(ModelOptionOf("00000006", false), "LU-DL");
    EXPECT_EQ(ModelOptionOf("00000000", false), "LU");
}

// The whole search with --identify in a network and a /sys of the test's own: modules on
// the network (one without a meter behind it, one that is no SQM) and USB ports (a meter,
// a meter held by another program, another maker's bridge). Nothing but the query ever
// reaches the discovery port, and only the SQMs are asked for their unit information.
TEST(FindMeters, FindsAndIdentifiesTheMetersOfTheNetworkAndOfUsb) {
    std::string whyNot;
    const std::optional<std::string> outcome = RunInOwnNetwork(
        [] {
            if (const std::string failed = AddCable(); !failed.empty())
                return failed;
            TTempFolder root;
            TFakeSysTree tree(root.GetPath());
            tree.AddUsbTty("1-1", "ttyUSB0", {"0403", "6001", "FTDI", "FT232R USB UART", "A1"},
                           "usb-FTDI_FT232R_USB_UART_A1-if00-port0");
            tree.AddUsbTty("1-2", "ttyUSB1", {"0403", "6001", "FTDI", "FT232R USB UART", "B2"});
            tree.AddUsbTty("1-3", "ttyUSB2", {"1a86", "7523", "", "USB Serial", ""});
            TMeterOptions usbMeter;
            usbMeter.SerialNumber = 2718;
            usbMeter.ModelNumber = 6;
            const TPtyMeter meter(usbMeter), heldMeter, otherDevice;
            tree.PointAt("ttyUSB0", meter.DevicePath());
            tree.PointAt("ttyUSB1", heldMeter.DevicePath());
            tree.PointAt("ttyUSB2", otherDevice.DevicePath());
            const TExclusivePort holder = TExclusivePort::Open(heldMeter.DevicePath());

            TMeterOptions ethernetMeter;
            ethernetMeter.SerialNumber = 4711;
            const TTcpMeterServer server(ethernetMeter);
            TUdpDiscoveryOptions listener = Module("0.0.0.0", 0xEE);
            listener.Silent = true; // hears the broadcast and any query not for the others
            const TUdpDiscoveryResponder sqm(Module("127.0.0.1", 0x01)),
                noMeter(Module("127.0.0.4", 0x04)), other(Module("127.0.0.3", 0x03, false)),
                all(listener);

            TFindRequest request;
            request.Targets = {"127.0.0.0/29"};
            request.Identify = true;
            request.Listen = 500ms;
            request.Ethernet.Port = server.GetPort();
            request.Ethernet.Attempts = 1;
            request.SysRoot = tree.Sys();
            request.DevRoot = tree.Dev();
            std::ostringstream out, err;
            const int status = FindMeters(request, out, err);
            return "status " + std::to_string(status) + "\n" + out.str() + "errors:\n" + err.str() +
                   "not the query: " + NotTheQuery({&sqm, &noMeter, &other, &all}) +
                   "\nbroadcast heard: " + std::to_string(all.Received().size() >= 1) +
                   "\nTCP received: " + server.GetCounts().Received +
                   "\nUSB commands: " + std::to_string(meter.CommandsReceived()) + " " +
                   std::to_string(heldMeter.CommandsReceived()) + " " +
                   std::to_string(otherDevice.CommandsReceived()) + "\n" + tree.Dev().string();
        },
        whyNot);
    ASSERT_TRUE(outcome) << whyNot;
    std::string text = *outcome;
    const std::string dev = text.substr(text.rfind('\n') + 1);
    for (std::size_t at; (at = text.find(dev)) != std::string::npos;)
        text.replace(at, dev.size(), "/dev");
    const std::size_t portAt = text.find("--port ") + 7; // the simulated meter's free port
    const std::string port = text.substr(portAt, text.find('\n', portAt) - portAt);
    EXPECT_EQ(text.substr(0, text.find("errors:")),
              "status 0\n"
              "Ethernet 127.0.0.1  MAC 00:80:A3:00:00:01  SQM model 3, feature 76, serial 4711  "
              "--model LE --host 127.0.0.1 --port " +
                  port +
                  "\n"
                  "Ethernet 127.0.0.3  MAC 00:1B:44:00:00:03  not an SQM-LE (its MAC address does "
                  "not start 00:80:A3)\n"
                  "Ethernet 127.0.0.4  MAC 00:80:A3:00:00:04  did not answer as a meter: Sky "
                  "Quality Meter communication error: Could not connect with SQM-LE.\n"
                  "USB /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1-if00-port0 (/dev/ttyUSB0)  "
                  "FTDI FT232R USB UART, serial A1 (0403:6001)  SQM model 6, feature 76, serial "
                  "2718  --model LU-DL --serial "
                  "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1-if00-port0\n"
                  "USB /dev/ttyUSB1  FTDI FT232R USB UART, serial B2 (0403:6001)  Sky Quality "
                  "Meter communication error: The port /dev/ttyUSB1 is in use by another "
                  "program; it was not asked.\n"
                  "USB /dev/ttyUSB2  USB Serial (1a86:7523)  not an SQM bridge\n")
        << text;
    EXPECT_NE(text.find("errors:\nnot the query: \n"), std::string::npos) << text;
    EXPECT_NE(text.find("broadcast heard: 1\n"), std::string::npos) << text;
    EXPECT_NE(text.find("TCP received: ix\n"), std::string::npos) << text;
    EXPECT_NE(text.find("USB commands: 1 0 0\n"), std::string::npos) << text;
}

TEST(FindMeters, NoMeterAnsweringEndsWithStatusOne) {
    std::string whyNot;
    const std::optional<std::string> outcome = RunInOwnNetwork(
        [] {
            TTempFolder root;
            const TFakeSysTree tree(root.GetPath());
            TFindRequest request;
            request.Targets = {"127.0.0.1"};
            request.Listen = 200ms;
            request.SysRoot = tree.Sys();
            request.DevRoot = tree.Dev();
            std::ostringstream out, err;
            const int status = FindMeters(request, out, err);
            return std::to_string(status) + "|" + out.str() + "|" + err.str();
        },
        whyNot);
    ASSERT_TRUE(outcome) << whyNot;
    EXPECT_EQ(*outcome, "1||nightlux-read: No meter was found.\n");
}
