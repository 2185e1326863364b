#pragma once

#include <string>

class TDmSQMBase;
class TVersionInfo;

// The readings file: comma-separated 8-bit text (ISO-8859-1, characters it cannot hold
// written as "?"), every line ending in CR LF. A new file starts with two header lines:
//   Produced by Nightlux <FileVersion of the version record>
//   Year/Month/Day,Hour/Minute/Second,MPSAS,NELM,SerialNo,Protocol,Model,Feature,Temp(C),,,,
// followed by one record line per stored reading.

inline constexpr const char* ReadingsFileColumns =
    "Year/Month/Day,Hour/Minute/Second,MPSAS,NELM,SerialNo,Protocol,Model,Feature,Temp(C),,,,";

// The record line of the link's current reading, in UTF-8 and without a line end:
//   2017/03/21,21:30:15,19.53,5.2,00001234,00000004,00000003,00000010,05.3,,,,
// date and clock time of the reading, magnitude "%.2f", NELM "%.1f", serial number,
// protocol, model and feature as received, temperature "%04.1f", four empty fields. In the
// four received texts a comma, a control character or a byte that is not UTF-8 is written
// as "?", so no reply can shift the columns or start a line. "." is the decimal point in
// every locale. Raises what the link raises (EConvertError for a reading field that is not
// a number).
std::string ReadingRecordLine(const TDmSQMBase& link);

// Appends the link's current reading to the file, creating it with the header lines when
// it does not exist; the file version comes from version, by default the program's own
// record. The record line is built first, so an exception from the link leaves the file
// untouched.
//
// The record is appended with one write(2) to a descriptor opened for appending, so a
// process killed at any instant leaves the whole line or none of it; when the file's last
// byte is not a line feed, CR LF goes first so that the record starts a line of its own. A
// new file appears with its header lines and first record already in it (written under a
// temporary name in the same folder, then linked into place): of several writers creating
// it at once exactly one does, the others append to it. An existing file, even an empty
// one, is only appended to.
//
// True when the line was stored. When the file cannot be opened, written or closed (empty
// name, missing folder, no permission, a folder of that name, a full disk), beeps, shows
// "Could not save reading to <file name>" and returns false; no folder is created, no new
// file is left behind and an existing file is cut back to its old length, so no torn line
// stays behind.
bool SaveReadingToFile(const std::string& fileName, const TDmSQMBase& link);
bool SaveReadingToFile(const std::string& fileName, const TDmSQMBase& link,
                       const TVersionInfo& version);
