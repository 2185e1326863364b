#pragma once

#include "platform/Notice.h"
#include "platform/RecordFile.h"

#include <string>

struct TReading;
class TVersionInfo;

// What became of a reading given to the readings file.
struct TSaveResult {
    // The record line is in the file (possibly not yet on the disk: see Notice).
    bool Stored = false;
    // For the user, empty when there is nothing to tell.
    TNotice Notice;

    explicit operator bool() const { return Stored; }
};

// The readings file: comma-separated 8-bit text (ISO-8859-1, characters it cannot hold
// written as "?"), every line ending in CR LF. A new file starts with two header lines:
//   Produced by Nightlux <FileVersion of the version record>
//   Year/Month/Day,Hour/Minute/Second,MPSAS,NELM,SerialNo,Protocol,Model,Feature,Temp(C),,,,
// followed by one record line per stored reading.

inline constexpr const char* ReadingsFileColumns =
    "Year/Month/Day,Hour/Minute/Second,MPSAS,NELM,SerialNo,Protocol,Model,Feature,Temp(C),,,,";

// The record line of the reading, in UTF-8 and without a line end:
//   2017/03/21,21:30:15,19.53,5.2,00001234,00000004,00000003,00000010,05.3,,,,
// date and clock time of the reading, magnitude "%.2f", NELM "%.1f", serial number,
// protocol, model and feature as received, temperature "%04.1f", four empty fields. In the
// four received texts a comma, a control character or a byte that is not UTF-8 is written
// as "?", so no reply can shift the columns or start a line. "." is the decimal point in
// every locale.
std::string ReadingRecordLine(const TReading& reading);

// Appends the reading to the file, creating it with the header lines when
// it does not exist; the file version comes from version, by default the program's own
// record. The file is a TRecordFile (platform/RecordFile.h): a new file appears with its
// header lines and first record already in it, a record is appended in one write and
// flushed to the device before the result says it is stored, and no torn line stays behind.
// An existing file, even an empty one, is only appended to. A symbolic link at the name is
// not followed (a program that takes a link from its user resolves it first).
//
// Nothing is shown here: the result tells, and the caller presents its notice. When the file
// cannot be opened, written or closed (empty name, missing folder, no permission, a folder of
// that name, a full disk), Stored is false and the notice is the error "Could not save
// reading to <file name>"; no folder is created and no new file is left behind. When the
// line was written but could not be flushed or closed, Stored is true and the notice a
// warning that the reading may not be on the disk.
TSaveResult SaveReadingToFile(const std::string& fileName, const TReading& reading);
TSaveResult SaveReadingToFile(const std::string& fileName, const TReading& reading,
                              const TVersionInfo& version,
                              const TRecordFileCalls& calls = TRecordFileCalls::System());

// Shows a notice of the readings file as the programs always have: an error beeps and shows
// its text, a warning shows its text, an empty notice nothing.
void PresentFileNotice(const TNotice& notice);
