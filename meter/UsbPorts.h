#pragma once

#include <string>
#include <vector>

// The USB serial ports of this machine, with what the system knows of them, read from /sys
// (nothing is opened or sent).

struct TSerialPortInfo {
    std::string Device;       // "/dev/ttyUSB0"
    std::string StableName;   // "/dev/serial/by-id/usb-FTDI_..."; empty when there is none
    std::string VendorId;     // "0403"
    std::string ProductId;    // "6001"
    std::string Manufacturer; // the USB descriptor's strings, as the device reports them
    std::string Product;
    std::string BridgeSerial; // the USB serial bridge's own serial string, not the meter's

    // The name to store: the stable one where there is one.
    const std::string& PreferredName() const { return StableName.empty() ? Device : StableName; }
    // The USB identifiers of the serial bridge the SQM-LU, -LU-DL and -LR adaptor carry
    // (and many other devices too).
    bool LikelyMeter() const { return VendorId == "0403" && ProductId == "6001"; }
    // "FTDI FT232R USB UART, serial A9012345 (0403:6001)".
    std::string Description() const;
};

// The serial ports backed by a USB device, in name order (ttyACM before ttyUSB, numbers in
// order). sysRoot and devRoot stand for /sys and /dev, so tests can use a tree of their own.
std::vector<TSerialPortInfo> ListUsbSerialPorts(const std::string& sysRoot = "/sys",
                                                const std::string& devRoot = "/dev");
