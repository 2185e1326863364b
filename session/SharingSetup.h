#pragma once

#include "sharing/ReadingSharing.h"

#include <memory>
#include <string>

// The sharing of a session's readings from the setup, with the device type of the model
// list's entry and the program's version; none when the setup shares nothing. Raises what
// TReadingSharing raises.
std::unique_ptr<TReadingSharing> MakeSharing(TSharingSetup setup, int modelIndex);

// The device type of a model list index ("SQM-LE"); empty for an index outside the list.
std::string DeviceTypeOf(int modelIndex);

// True when the setup writes skyglow files or publishes to a broker.
bool IsSharing(const TSharingSetup& setup);
