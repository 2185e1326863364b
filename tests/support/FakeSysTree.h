#pragma once

#include <filesystem>
#include <fstream>
#include <string>

// A small /sys and /dev under root, to which USB serial ports are added as the kernel's
// USB serial drivers show them.
class TFakeSysTree {
public:
    struct TUsb {
        std::string Vendor, Product, Maker, Name, Serial;
    };

    explicit TFakeSysTree(const std::filesystem::path& root) : Root(root) {
        std::filesystem::create_directories(Sys() / "class/tty");
        std::filesystem::create_directories(Dev() / "serial/by-id");
    }

    std::filesystem::path Sys() const { return Root / "sys"; }
    std::filesystem::path Dev() const { return Root / "dev"; }

    static void Link(const std::filesystem::path& link, const std::filesystem::path& target) {
        std::filesystem::create_directories(link.parent_path());
        std::filesystem::create_symlink(target, link);
    }

    // A USB device (folder name such as "1-1") with one interface whose port is tty: ttyUSB
    // under a port folder of its own, ttyACM directly under the interface. Its device node
    // is an empty file until PointAt makes it lead somewhere; stableName, when given, is its
    // link under /dev/serial/by-id.
    void AddUsbTty(const std::string& device, const std::string& tty, const TUsb& usb,
                   const std::string& stableName = "") {
        namespace fs = std::filesystem;
        const fs::path folder = Sys() / "devices/pci0000:00/0000:00:14.0/usb1" / device;
        const fs::path interface = folder / (device + ":1.0");
        const fs::path port = tty.starts_with("ttyACM") ? interface : interface / tty;
        fs::create_directories(port / "tty" / tty);
        Write(folder / "idVendor", usb.Vendor);
        Write(folder / "idProduct", usb.Product);
        Write(folder / "manufacturer", usb.Maker);
        Write(folder / "product", usb.Name);
        Write(folder / "serial", usb.Serial);
        Link(Sys() / "class/tty" / tty, fs::relative(port / "tty" / tty, Sys() / "class/tty"));
        Link(port / "tty" / tty / "device", "../..");
        std::ofstream(Dev() / tty);
        if (!stableName.empty())
            Link(Dev() / "serial/by-id" / stableName, "../../" + tty);
    }

    // Makes the device node of tty a link to device (a pseudo-terminal, say).
    void PointAt(const std::string& tty, const std::string& device) {
        std::filesystem::remove(Dev() / tty);
        std::filesystem::create_symlink(device, Dev() / tty);
    }

private:
    static void Write(const std::filesystem::path& file, const std::string& text) {
        if (!text.empty())
            std::ofstream(file) << text << "\n";
    }

    std::filesystem::path Root;
};
