#pragma once

#include "astro/Site.h"
#include "platform/DateTime.h"
#include "sharing/SharedReading.h"
#include "sharing/SharingSettings.h"

#include <string>
#include <vector>

// The community standard for skyglow observations, version 1.0: ASCII text, CR LF line ends,
// no tabs and no blank lines; a header of "# " lines, then one ";"-separated record per
// reading.

inline constexpr int SkyglowHeaderLineCount = 35;
// Written for every value the user has not given.
inline constexpr const char* SkyglowPlaceholder = "unknown";

// Everything a file's header says.
struct TSkyglowHeaderInfo {
    TSkyglowSettings Settings;
    TSite Site;
    std::string DeviceType;      // "SQM-LE", "SQM-LU", "SQM-LU-DL", "SQM-LR"
    std::string TimeZone;        // IANA name; empty: placeholder
    std::string SerialNumber;    // without leading zeros
    std::string FirmwareVersion; // protocol-model-feature
    std::string UnitInfoReply;   // the raw replies, without line ends
    std::string ReadingReply;
    std::string CalibrationReply;
};

// The header lines, each starting with "# ", without line ends.
std::vector<std::string> SkyglowHeaderLines(const TSkyglowHeaderInfo& info);
// The 0-based header lines that carry the meter's raw replies at the file's start; they
// differ between readings and so between files of one meter.
bool IsReadoutLine(std::size_t index);

// "UTC;local;temperature;counts;frequency;brightness" without line end, e.g.
// "2026-12-09T21:00:09.000;2026-12-09T22:00:09.000;5.30;75771.000;6.098;19.54".
std::string SkyglowRecordLine(const TSharedReading& reading);

// The file of the night a local time belongs to: the evening's date (local time minus 12 h)
// as "YYYYMMDD_120000_", the device type and "-" with the site name, ".dat". The site name
// keeps letters, digits, ".", "-" and "_"; anything else becomes "_". No site: no suffix.
std::string SkyglowFileName(TDateTime localTime, const std::string& deviceType,
                            const std::string& siteName);

// "SQM-" and the model's short name from a model list text ("LU-DL (USB)" -> "SQM-LU-DL").
std::string SkyglowDeviceType(const std::string& modelName);

// The system's IANA zone name: TZ when it names a zone (":Europe/Dublin", a path under
// zoneinfo), else /etc/timezone, else the target of /etc/localtime; empty when none says.
std::string LocalTimeZoneName();

// Text as printable ASCII: a letter of Latin-1 or Latin Extended-A becomes its nearest ASCII
// ("D\u00FAn" is "Dun", "\u00DF" is "ss"; a combining accent is dropped), a tab a blank, other
// control characters, other characters and bytes that are not UTF-8 "?".
std::string AsciiText(const std::string& text);
