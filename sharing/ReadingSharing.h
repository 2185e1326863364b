#pragma once

#include "astro/Site.h"
#include "platform/Notice.h"
#include "sharing/MqttPublisher.h"
#include "sharing/SharingSettings.h"
#include "sharing/SkyglowWriter.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TIniFile;
struct TReading;

// Everything the sharing of readings is set up from.
struct TSharingSetup {
    TSite Site;
    TSkyglowSettings Skyglow;    // no folder: no skyglow files
    TMqttSettings Mqtt;          // no host: no publishing
    std::string DeviceType;      // "SQM-LE", ...
    std::string SoftwareVersion; // the program's version, for the discovery configs
};

// The site and the [Skyglow] and [MQTT] sections of the settings; raises what ReadSite,
// ReadSkyglowSettings and ReadMqttSettings raise. The device type and version are left to
// the caller.
TSharingSetup ReadSharingSetup(const TIniFile& ini);

// Shares each reading of a session: a line in the night's skyglow file, then a message to
// the broker. Neither can stop or delay the other, nor the caller's own readings file.
class TReadingSharing {
public:
    // Raises EMqttError for MQTT settings or credentials that cannot work (credentials come
    // from the settings' file, else the environment).
    explicit TReadingSharing(const TSharingSetup& setup);
    ~TReadingSharing();

    bool IsActive() const { return Writer || Publisher; }

    // Gives the meter's "cx" reply (without line end); raises when it cannot be read.
    using TReadCalibration = std::function<std::string()>;

    // Shares the reading; readCalibration is asked only when a new skyglow file needs the
    // calibration for its header (call Share while the link is still connected). Returns
    // what the user should be told (empty when all went well); never throws for a failure of
    // the file or broker. A skyglow file that keeps failing is told of once, as a warning,
    // and again, as information, when it works once more.
    std::vector<TNotice> Share(const TReading& reading, const TReadCalibration& readCalibration);

private:
    std::unique_ptr<TSkyglowWriter> Writer;
    std::unique_ptr<TMqttPublisher> Publisher;
    const TReadCalibration* ReadCalibration = nullptr; // during Share
    bool SkyglowFailing = false;
};
