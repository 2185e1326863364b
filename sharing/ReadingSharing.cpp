#include "sharing/ReadingSharing.h"

#include "core/Reading.h"
#include "platform/Exception.h"

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
                return ReadCalibration && *ReadCalibration ? (*ReadCalibration)() : std::string();
            });
}

TReadingSharing::~TReadingSharing() = default;

std::vector<TNotice> TReadingSharing::Share(const TReading& reading,
                                            const TReadCalibration& readCalibration) {
    std::vector<TNotice> notices;
    if (!IsActive())
        return notices;
    TSharedReading shared;
    try {
        shared = ReadSharedReading(reading);
    } catch (const EConvertError& e) {
        notices.push_back(
            {ENoticeSeverity::Warning, std::string("The reading was not shared: ") + e.what()});
        return notices;
    }
    if (Writer) {
        ReadCalibration = &readCalibration;
        TSkyglowResult result = Writer->Write(shared);
        ReadCalibration = nullptr;
        if (result.Stored && SkyglowFailing)
            notices.push_back(
                {ENoticeSeverity::Information,
                 "Readings are written to the skyglow file " + result.FileName + " again."});
        if (!result.Notice.Text.empty() && !(SkyglowFailing && !result.Stored))
            notices.push_back(std::move(result.Notice));
        SkyglowFailing = !result.Stored;
    }
    if (Publisher) {
        Publisher->Publish(shared);
        for (TNotice& notice : Publisher->TakeNotices())
            notices.push_back(std::move(notice));
    }
    return notices;
}
