#pragma once

#include "sharing/ReadingSharing.h"

class TIniFile;

// The saved site and sharing settings, with the device type of the model list's entry and
// the program's version. Raises what ReadSharingSetup raises.
TSharingSetup SavedSharingSetup(const TIniFile& ini, int modelIndex);

// Sets the device type of the model list's entry and the program's version.
void SetDeviceAndVersion(TSharingSetup& setup, int modelIndex);

// The device type of a model list index ("SQM-LE"); empty for an index outside the list.
std::string DeviceTypeOf(int modelIndex);

// True when the setup writes skyglow files or publishes to a broker.
bool IsSharing(const TSharingSetup& setup);
