#pragma once

#include "sharing/SharedReading.h"

#include <string>
#include <vector>

// The messages published for a station: topics under a prefix, the JSON state of a reading,
// and the retained discovery configs that let home automation find the sensors.

struct TMqttMessage {
    std::string Topic;
    std::string Payload;
};

// "nightlux/<serial number>".
std::string DefaultTopicPrefix(const std::string& serialNumber);
std::string StateTopic(const std::string& prefix);        // <prefix>/state
std::string AvailabilityTopic(const std::string& prefix); // <prefix>/availability

// {"time":"2026-12-09T21:00:09Z","mpsas":19.54,"nelm":5.2,"temperature":5.3,
//  "serial":"5533","model":"SQM-LE"}: universal time to the second, brightness with two
// decimals, NELM and temperature with one; a value that is not a number is null.
std::string StateMessage(const TSharedReading& reading, const std::string& model);

// What the discovery configs say about the device.
struct TMqttDevice {
    std::string SerialNumber;
    std::string Model;           // "SQM-LE"
    std::string SoftwareVersion; // the program's version
};

// One retained config per sensor (sky brightness, NELM, temperature) on
// homeassistant/sensor/nightlux_<serial>/<sensor>/config, sharing one device object.
std::vector<TMqttMessage> DiscoveryMessages(const std::string& prefix, const TMqttDevice& device);

// The text as a JSON string, quotes included.
std::string JsonString(const std::string& text);
