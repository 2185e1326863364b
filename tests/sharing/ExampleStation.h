#pragma once

#include "sharing/SharingSettings.h"

#include <string>

// The skyglow settings of an example station, writing into folder.
inline TSkyglowSettings ExampleStationSettings(const std::string& folder) {
    TSkyglowSettings s;
    s.Folder = folder;
    s.InstrumentId = "Roof east";
    s.DataSupplier = "Example Astronomy Club";
    s.License = "ODbL 1.0 http://opendatacommons.org/licenses/odbl/summary/";
    s.Comments = {"Mounted on a mast, 4 m above the roof", "", "", "", ""};
    s.CoverOffset = -0.11;
    s.TimeSynchronization = "NTP";
    s.TimeZone = "Europe/Berlin";
    return s;
}
