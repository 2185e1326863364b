#pragma once

#include "platform/Export.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// The name of the ELF section that holds an executable's version record.
inline constexpr const char* VersionRecordSection = ".nightlux_version";

// Reads texts from the version record of an executable file, by default the program's own.
//
// The record (built from resources/VersionRecord.cpp.in) is laid out as:
//   bytes 0-3   "NLXV"
//   bytes 4-7   the translation, little-endian: language in the low 16 bits, code page in
//               the high 16 bits (0x04E40409: US English, code page 1252)
//   then        pairs of NUL-terminated texts, a query path and its value, for example
//               "\StringFileInfo\040904e4\FileVersion" and "3.0.0.0"; an empty path ends
//               the list.
// A file without a readable record answers false to every query.
class NIGHTLUX_EXPORT TVersionInfo {
public:
    // Reads the record of the named file; an empty name means the program's own file.
    explicit TVersionInfo(const std::string& fileName = "");
    TVersionInfo(const TVersionInfo&) = delete;
    TVersionInfo& operator=(const TVersionInfo&) = delete;
    ~TVersionInfo();

    // Looks up "\StringFileInfo\<translation as 8 hex digits>\<key>". True with the text in
    // value when found; false, value unchanged, otherwise.
    bool GetVersionInfoField(const std::string& key, std::string& value) const;
    bool GetProductName(std::string& value) const;   // "ProductName"
    bool GetVersionNumber(std::string& value) const; // "ProductVersion"
    bool GetCopyright(std::string& value) const;     // "LegalCopyright"
    bool GetBuild(std::string& value) const;         // "FileVersion"

private:
    // The first translation of the record, rewritten so that the language is in the high
    // 16 bits and the code page in the low; points into Data.
    std::uint32_t* Translation = nullptr;
    // The whole record, in 32-bit words so that Translation is aligned; none without one.
    std::unique_ptr<std::uint32_t[]> Data;
    std::size_t DataSize = 0; // bytes
};
