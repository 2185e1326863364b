#include "sharing/ReadingSharing.h"

#include "meter/Dm_SQMBase.h"

TSharingSetup ReadSharingSetup(const TIniFile& ini) {
    TSharingSetup setup;
    setup.Site = ReadSite(ini);
    setup.Skyglow = ReadSkyglowSettings(ini);
    setup.Mqtt = ReadMqttSettings(ini);
    return setup;
}

TReadingSharing::TReadingSharing(const TSharingSetup& setup) {
    if (!setup.Mqtt.Host.empty()) {
        TMqttPublisherOptions options;
        options.Settings = setup.Mqtt;
        options.Credentials = ResolveMqttCredentials(setup.Mqtt.CredentialsFile);
        options.Model = setup.DeviceType;
        options.SoftwareVersion = setup.SoftwareVersion;
        Publisher = std::make_unique<TMqttPublisher>(std::move(options));
    }
    if (!setup.Skyglow.Folder.empty())
        Writer =
            std::make_unique<TSkyglowWriter>(setup.Skyglow, setup.Site, setup.DeviceType, [this] {
                Link->ReadCalibration();
                return Link->CalibrationReply;
            });
}

TReadingSharing::~TReadingSharing() = default;

std::vector<std::string> TReadingSharing::Share(TDmSQMBase& link, double nelm) {
    std::vector<std::string> notices;
    if (!IsActive())
        return notices;
    TSharedReading reading;
    try {
        reading = ReadSharedReading(link);
    } catch (const EConvertError& e) {
        notices.push_back(std::string("The reading was not shared: ") + e.what());
        return notices;
    }
    reading.Nelm = nelm;
    if (Writer) {
        Link = &link;
        const TSkyglowResult result = Writer->Write(reading);
        Link = nullptr;
        if (result.Stored && SkyglowFailing)
            notices.push_back("Readings are written to the skyglow file " + result.FileName +
                              " again.");
        if (!result.Notice.empty() && !(SkyglowFailing && !result.Stored))
            notices.push_back(result.Notice);
        SkyglowFailing = !result.Stored;
    }
    if (Publisher) {
        Publisher->Publish(reading);
        for (TNotice& notice : Publisher->TakeNotices())
            notices.push_back(std::move(notice.Text));
    }
    return notices;
}
