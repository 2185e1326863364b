#include "meter/UsbPorts.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// The first line of a small /sys attribute file, without its line end; empty when absent.
std::string Attribute(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    return line;
}

// The USB device folder that the tty's device belongs to: the nearest folder above it
// with an idVendor file, inside sysRoot; empty when it is no USB device.
fs::path UsbDeviceOf(const fs::path& tty, const fs::path& sysRoot) {
    std::error_code error;
    fs::path folder = fs::canonical(tty / "device", error);
    if (error)
        return {};
    const fs::path root = fs::canonical(sysRoot, error);
    for (; !error && folder.has_relative_path() && folder != root; folder = folder.parent_path())
        if (fs::exists(folder / "idVendor", error))
            return folder;
    return {};
}

// "ttyUSB10" after "ttyUSB9": the name's digits compared as a number.
bool NameLess(const std::string& a, const std::string& b) {
    const auto split = [](const std::string& name) {
        const std::size_t digits = name.find_last_not_of("0123456789") + 1;
        const std::string number = name.substr(digits);
        return std::make_pair(name.substr(0, digits),
                              number.empty() ? -1L : std::stol(number.substr(0, 9)));
    };
    return split(a) < split(b);
}

} // namespace

std::string TSerialPortInfo::Description() const {
    std::string text = Manufacturer;
    if (!Product.empty())
        text += (text.empty() ? "" : " ") + Product;
    if (!BridgeSerial.empty())
        text += (text.empty() ? "serial " : ", serial ") + BridgeSerial;
    if (!VendorId.empty())
        text += (text.empty() ? "" : " ") + ("(" + VendorId + ":" + ProductId + ")");
    return text;
}

std::vector<TSerialPortInfo> ListUsbSerialPorts(const std::string& sysRoot,
                                                const std::string& devRoot) {
    std::vector<TSerialPortInfo> ports;
    std::error_code error;
    const fs::path classFolder = fs::path(sysRoot) / "class" / "tty";
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(classFolder, error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end(), NameLess);

    // The stable names, by the device each leads to.
    std::vector<std::pair<fs::path, std::string>> stable;
    const fs::path byId = fs::path(devRoot) / "serial" / "by-id";
    for (const fs::directory_entry& entry : fs::directory_iterator(byId, error)) {
        std::error_code e;
        const fs::path target = fs::canonical(entry.path(), e);
        if (!e)
            stable.emplace_back(target, (byId / entry.path().filename()).string());
    }
    std::sort(stable.begin(), stable.end());

    for (const std::string& name : names) {
        const fs::path usb = UsbDeviceOf(classFolder / name, sysRoot);
        if (usb.empty())
            continue;
        TSerialPortInfo port;
        port.Device = (fs::path(devRoot) / name).string();
        port.VendorId = Attribute(usb / "idVendor");
        port.ProductId = Attribute(usb / "idProduct");
        port.Manufacturer = Attribute(usb / "manufacturer");
        port.Product = Attribute(usb / "product");
        port.BridgeSerial = Attribute(usb / "serial");
        std::error_code e;
        const fs::path device = fs::canonical(fs::path(devRoot) / name, e);
        if (!e)
            for (const auto& [target, link] : stable)
                if (target == device) {
                    port.StableName = link;
                    break;
                }
        ports.push_back(port);
    }
    return ports;
}
