#include "session/SharingSetup.h"

#include "core/Sqmmodelnames.h"
#include "core/Versioninfo.h"
#include "sharing/SkyglowFormat.h"

TSharingSetup SavedSharingSetup(const TIniFile& ini, int modelIndex) {
    TSharingSetup setup = ReadSharingSetup(ini);
    SetDeviceAndVersion(setup, modelIndex);
    return setup;
}

void SetDeviceAndVersion(TSharingSetup& setup, int modelIndex) {
    setup.DeviceType = DeviceTypeOf(modelIndex);
    TVersionInfo version;
    version.GetVersionNumber(setup.SoftwareVersion);
}

std::string DeviceTypeOf(int modelIndex) {
    const std::vector<std::string> names = ModelNames();
    if (modelIndex < 0 || static_cast<std::size_t>(modelIndex) >= names.size())
        return {};
    return SkyglowDeviceType(names[static_cast<std::size_t>(modelIndex)]);
}

bool IsSharing(const TSharingSetup& setup) {
    return !setup.Skyglow.Folder.empty() || !setup.Mqtt.Host.empty();
}
