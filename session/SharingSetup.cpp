#include "session/SharingSetup.h"

#include "core/Sqmmodelnames.h"
#include "core/Versioninfo.h"
#include "sharing/SkyglowFormat.h"

std::unique_ptr<TReadingSharing> MakeSharing(TSharingSetup setup, int modelIndex) {
    if (!IsSharing(setup))
        return nullptr;
    setup.DeviceType = DeviceTypeOf(modelIndex);
    TVersionInfo version;
    version.GetVersionNumber(setup.SoftwareVersion);
    return std::make_unique<TReadingSharing>(setup);
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
