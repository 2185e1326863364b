#include "sharing/MqttMessages.h"

#include "platform/NumberFormat.h"

#include <cmath>
#include <cstdio>

namespace {

constexpr const char* DiscoveryPrefix = "homeassistant";

std::string JsonNumber(double value, int decimals) {
    return std::isfinite(value) ? FormatFixed(value, decimals) : "null";
}

// Letters, digits, "_" and "-" only, as discovery topics and ids want.
std::string NodePart(const std::string& text) {
    std::string part;
    for (const char c : text) {
        const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '_' || c == '-';
        part += keep ? c : '_';
    }
    return part;
}

struct TSensor {
    const char* ObjectId;
    const char* Name;
    const char* Field;
    const char* Unit;
    const char* DeviceClass; // nullptr: none
    const char* Icon;
};

constexpr TSensor Sensors[] = {
    {"sky_brightness", "Sky brightness", "mpsas", "mag/arcsec\xC2\xB2", nullptr,
     "mdi:weather-night"},
    {"nelm", "Naked-eye limiting magnitude", "nelm", "mag", nullptr, "mdi:star-outline"},
    {"temperature", "Temperature", "temperature",
     "\xC2\xB0"
     "C",
     "temperature", nullptr},
};

} // namespace

std::string JsonString(const std::string& text) {
    std::string json = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (byte < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            json += escape;
        } else {
            json += c;
        }
    }
    return json + "\"";
}

std::string DefaultTopicPrefix(const std::string& serialNumber) {
    return "nightlux/" + serialNumber;
}

std::string StateTopic(const std::string& prefix) {
    return prefix + "/state";
}

std::string AvailabilityTopic(const std::string& prefix) {
    return prefix + "/availability";
}

std::string StateMessage(const TSharedReading& r, const std::string& model) {
    const TDateTimeFields t = DecodeDateTime(r.UniversalTime);
    char time[40];
    std::snprintf(time, sizeof time, "%04d-%02d-%02dT%02d:%02d:%02dZ", t.Year, t.Month, t.Day,
                  t.Hour, t.Minute, t.Second);
    return std::string("{\"time\":\"") + time + "\",\"mpsas\":" + JsonNumber(r.Magnitude, 2) +
           ",\"nelm\":" + JsonNumber(r.Nelm, 1) +
           ",\"temperature\":" + JsonNumber(r.Temperature, 1) +
           ",\"serial\":" + JsonString(r.SerialNumber) + ",\"model\":" + JsonString(model) + "}";
}

std::vector<TMqttMessage> DiscoveryMessages(const std::string& prefix, const TMqttDevice& device) {
    const std::string node = "nightlux_" + NodePart(device.SerialNumber);
    const std::string deviceObject =
        "{\"identifiers\":[" + JsonString(node) +
        "],\"name\":" + JsonString("Nightlux " + device.Model + " " + device.SerialNumber) +
        ",\"model\":" + JsonString(device.Model) + ",\"manufacturer\":\"Corvatek\"" +
        ",\"sw_version\":" + JsonString(device.SoftwareVersion) + "}";
    std::vector<TMqttMessage> messages;
    for (const TSensor& sensor : Sensors) {
        std::string json = "{\"name\":" + JsonString(sensor.Name) +
                           ",\"unique_id\":" + JsonString(node + "_" + sensor.ObjectId) +
                           ",\"state_topic\":" + JsonString(StateTopic(prefix)) +
                           ",\"value_template\":" +
                           JsonString(std::string("{{ value_json.") + sensor.Field + " }}") +
                           ",\"unit_of_measurement\":" + JsonString(sensor.Unit) +
                           ",\"state_class\":\"measurement\"";
        if (sensor.DeviceClass != nullptr)
            json += ",\"device_class\":" + JsonString(sensor.DeviceClass);
        if (sensor.Icon != nullptr)
            json += ",\"icon\":" + JsonString(sensor.Icon);
        json += ",\"availability_topic\":" + JsonString(AvailabilityTopic(prefix)) +
                ",\"device\":" + deviceObject + "}";
        messages.push_back(
            {std::string(DiscoveryPrefix) + "/sensor/" + node + "/" + sensor.ObjectId + "/config",
             json});
    }
    return messages;
}
