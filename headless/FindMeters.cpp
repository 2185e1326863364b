#include "headless/FindMeters.h"

#include "meter/UsbPorts.h"

#include <ostream>

namespace {

std::string IdentityText(const TMeterIdentity& identity) {
    const auto number = [](const std::string& field) {
        const std::size_t digit = field.find_first_not_of('0');
        return digit == std::string::npos ? std::string("0") : field.substr(digit);
    };
    return "model " + number(identity.Model) + ", feature " + number(identity.Feature) +
           ", serial " + number(identity.Serial);
}

// The first line of a message that may span several.
std::string FirstLine(const std::string& text) {
    std::string line = text.substr(0, text.find('\n'));
    return line;
}

} // namespace

std::string ModelOptionOf(const std::string& modelNumber, bool ethernet) {
    if (modelNumber.find_first_not_of('0') != std::string::npos &&
        modelNumber.substr(modelNumber.find_first_not_of('0')) == "6")
        return "LU-DL";
    return ethernet ? "LE" : "LU";
}

int FindMeters(const TFindRequest& request, std::ostream& out, std::ostream& err) {
    TDiscoveryOptions options;
    options.Targets = request.Targets;
    options.Port = request.DiscoveryPort;
    options.Listen = request.Listen;
    TEthernetDiscovery discovery(options);
    const std::vector<TDiscoveredDevice> devices = discovery.Run();
    for (const std::string& problem : discovery.Problems())
        err << "nightlux-read: " << problem << std::endl;

    int meters = 0;
    for (const TDiscoveredDevice& device : devices) {
        std::string line = "Ethernet " + device.Address + "  MAC " + device.MacText();
        if (!device.HasSqmPrefix()) {
            out << line << "  not an SQM-LE (its MAC address does not start 00:80:A3)" << std::endl;
            continue;
        }
        std::string model = "LE";
        if (request.Identify) {
            try {
                const TMeterIdentity identity =
                    IdentifyEthernetMeter(device.Address, request.Ethernet);
                line += "  SQM " + IdentityText(identity);
                model = ModelOptionOf(identity.Model, true);
            } catch (const std::exception& e) {
                out << line << "  did not answer as a meter: " << FirstLine(e.what()) << std::endl;
                continue;
            }
        }
        ++meters;
        line += "  --model " + model + " --host " + device.Address;
        if (request.Ethernet.Port != 10001)
            line += " --port " + std::to_string(request.Ethernet.Port);
        out << line << std::endl;
    }

    for (const TSerialPortInfo& port : ListUsbSerialPorts(request.SysRoot, request.DevRoot)) {
        std::string line = "USB " + port.PreferredName();
        if (!port.StableName.empty())
            line += " (" + port.Device + ")";
        if (!port.Description().empty())
            line += "  " + port.Description();
        if (!port.LikelyMeter()) {
            out << line << "  not an SQM bridge" << std::endl;
            continue;
        }
        std::string model = "LU";
        if (request.Identify) {
            try {
                const TMeterIdentity identity =
                    IdentifySerialMeter(port.PreferredName(), request.SerialTimeout);
                line += "  SQM " + IdentityText(identity);
                model = ModelOptionOf(identity.Model, false);
            } catch (const std::exception& e) {
                out << line << "  " << FirstLine(e.what()) << std::endl;
                continue;
            }
        } else {
            line += "  likely a meter";
        }
        ++meters;
        out << line << "  --model " << model << " --serial " << port.PreferredName() << std::endl;
    }
    if (meters == 0)
        err << "nightlux-read: No meter was found." << std::endl;
    return meters > 0 ? 0 : 1;
}
