#pragma once

#include "astro/Site.h"
#include "platform/Notice.h"
#include "platform/RecordFile.h"
#include "sharing/SharedReading.h"
#include "sharing/SharingSettings.h"

#include <functional>
#include <string>
#include <sys/stat.h>
#include <vector>

// What became of one reading.
struct TSkyglowResult {
    bool Stored = false;
    std::string FileName; // the file written, or the one that failed
    // For the user, a warning, empty when there is nothing to tell: why the reading was not
    // stored, or that this night's file was started beside a file with a different header.
    TNotice Notice;
};

// Writes readings into one skyglow data file per night, in the settings' folder (which is
// not created). A file of the night that exists with the same header (the meter's readout
// lines aside) is appended to. One whose header differs is never touched: the readings go
// to the first of "<name>_2.dat", "<name>_3.dat", ... that matches or does not exist yet,
// and the first reading that does so carries a notice.
//
// The files are record files (platform/RecordFile.h): a new file appears complete with its
// header and first record, each record is appended in one write and flushed to the device
// before the result says it is stored. A symbolic link, a FIFO, a folder or a device at a
// night file's name is never written through: it is passed over like a file with another
// header, and the notice names what it is. Records go only to the file whose header was
// checked (the same device and inode); another file put at its name is looked at anew.
class TSkyglowWriter {
public:
    // readCalibration gives the meter's "cx" reply (without line end) for the header of each
    // new file; when it throws, the header carries the placeholder and the result a notice.
    // calls: the record file's system calls, the real ones but in tests.
    TSkyglowWriter(TSkyglowSettings settings, TSite site, std::string deviceType,
                   std::function<std::string()> readCalibration,
                   const TRecordFileCalls& calls = TRecordFileCalls::System());

    // Never throws for a failure of the file: the result tells.
    TSkyglowResult Write(const TSharedReading& reading);

private:
    TSkyglowResult WriteRecord(const TSharedReading& reading);
    // raced: the file appeared meanwhile and nothing was written.
    TSkyglowResult WriteInNewFile(const std::string& path, const TSharedReading& reading,
                                  const std::string& record, bool& raced);
    TSkyglowResult& Appended(TSkyglowResult& result, TRecordFile& file, const std::string& record);
    std::vector<std::string> Header(const TSharedReading& reading,
                                    const std::string& calibration) const;

    TSkyglowSettings Settings;
    TSite Site;
    std::string DeviceType;
    std::function<std::string()> ReadCalibration;
    const TRecordFileCalls* Calls;
    std::string TimeZone;
    std::string NightFile;        // the night's first candidate name
    std::string CurrentFile;      // the file this night's readings go to, once chosen
    struct stat CurrentStatus {}; // its device and inode, as its header was checked
};

// The lines of a file's header as far as "# END OF HEADER" (CR LF or LF ends); empty when
// the file cannot be read. At most the first 64 KiB are looked at.
std::vector<std::string> ReadSkyglowHeader(const std::string& path);
