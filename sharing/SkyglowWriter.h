#pragma once

#include "astro/Site.h"
#include "sharing/SharedReading.h"
#include "sharing/SharingSettings.h"

#include <functional>
#include <string>
#include <vector>

// What became of one reading.
struct TSkyglowResult {
    bool Stored = false;
    std::string FileName; // the file written, or the one that failed
    // For the user, empty when there is nothing to tell: why the reading was not stored, or
    // that this night's file was started beside a file with a different header.
    std::string Notice;
};

// Writes readings into one skyglow data file per night, in the settings' folder (which is
// not created). A file of the night that exists with the same header (the meter's readout
// lines aside) is appended to. One whose header differs is never touched: the readings go
// to the first of "<name>_2.dat", "<name>_3.dat", ... that matches or does not exist yet,
// and the first reading that does so carries a notice.
//
// Each record is written by one write() to a descriptor opened O_APPEND; a file that does
// not end in a line end gets one first. A new file appears complete with its header and
// first record: it is written under a temporary name and linked into place (on a file
// system without hard links it is created exclusively and written in one write()).
class TSkyglowWriter {
public:
    // readCalibration gives the meter's "cx" reply (without line end) for the header of each
    // new file; when it throws, the header carries the placeholder and the result a notice.
    TSkyglowWriter(TSkyglowSettings settings, TSite site, std::string deviceType,
                   std::function<std::string()> readCalibration);

    // Never throws for a failure of the file: the result tells.
    TSkyglowResult Write(const TSharedReading& reading);

private:
    // raced: the file appeared meanwhile and nothing was written.
    TSkyglowResult WriteInNewFile(const std::string& path, const TSharedReading& reading,
                                  const std::string& record, bool& raced);
    std::vector<std::string> Header(const TSharedReading& reading,
                                    const std::string& calibration) const;

    TSkyglowSettings Settings;
    TSite Site;
    std::string DeviceType;
    std::function<std::string()> ReadCalibration;
    std::string TimeZone;
    std::string NightFile;   // the night's first candidate name
    std::string CurrentFile; // the file this night's readings go to, once chosen
};

// The lines of a file's header as far as "# END OF HEADER" (CR LF or LF ends); empty when
// the file cannot be read. At most the first 64 KiB are looked at.
std::vector<std::string> ReadSkyglowHeader(const std::string& path);
