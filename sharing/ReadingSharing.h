#pragma once

#include "astro/Site.h"
#include "sharing/MqttPublisher.h"
#include "sharing/SharingSettings.h"
#include "sharing/SkyglowWriter.h"

#include <memory>
#include <string>
#include <vector>

class TDmSQMBase;
class TIniFile;

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

    // Shares the link's current reading; call it while the link is still connected, so that
    // a new skyglow file can ask the meter for its calibration. Returns what the user should
    // be told (empty when all went well); never throws for a failure of the file or broker.
    // A skyglow file that keeps failing is told of once, and again when it works once more.
    std::vector<std::string> Share(TDmSQMBase& link, double nelm);

private:
    std::unique_ptr<TSkyglowWriter> Writer;
    std::unique_ptr<TMqttPublisher> Publisher;
    TDmSQMBase* Link = nullptr; // during Share, for the calibration
    bool SkyglowFailing = false;
};
