#pragma once

#include "platform/Exception.h"

#include <cstddef>
#include <optional>
#include <string>

// A settings file that cannot be written; the message names the file and the reason.
class EIniFileError : public Exception {
public:
    using Exception::Exception;
};

// The profile (ini) file format: "[Section]" lines, each followed by "Key=Value" lines.
// Sections and keys are found without regard to ASCII letter case; blanks around keys and
// values are ignored; a value wholly enclosed in double quotes loses them when read; lines
// may end in LF or CR LF. Each call opens and closes the file; nothing is cached.
//
// A write keeps every other section, key, comment and blank line, and the file's line end
// style, and replaces the file atomically (a temporary file in the same folder, renamed over
// the old one), so a crash leaves either the old or the new file, never a torn one.
class TIniFile {
public:
    // At most this many characters (UTF-8 code points) of a value are read back.
    static constexpr std::size_t MaxValueLength = 2047;
    // A larger file, or one that is not a regular file (a folder, a device such as
    // /dev/zero, a FIFO), cannot be read: it reads as missing and is never replaced.
    static constexpr std::size_t MaxFileSize = 1024 * 1024;

    explicit TIniFile(std::string fileName) : FileName(std::move(fileName)) {}
    const std::string& GetFileName() const { return FileName; }

    // Why the file cannot be read ("Permission denied", "Is a directory", ...); nothing
    // when it can, and when it does not exist.
    std::optional<std::string> UnreadableReason() const;

    // The value of the key, or defaultValue when the file, section or key is missing or
    // the file cannot be read.
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& defaultValue) const;
    // The value as a 32-bit integer: decimal with an optional sign, or hexadecimal after
    // "0x" (up to 8 digits, read as a two's-complement 32-bit value). Anything else, and a
    // missing key, gives defaultValue.
    int ReadInteger(const std::string& section, const std::string& key, int defaultValue) const;
    // ReadInteger with defaultValue as 1 or 0; true when the result is not 0.
    bool ReadBool(const std::string& section, const std::string& key, bool defaultValue) const;

    // Sets the key, adding the section and key when missing. Raises EIniFileError when the
    // file cannot be replaced (read-only file, missing folder, no permission, full disk) or
    // when section, key or value would break the format (a line break anywhere, "=" in the
    // key, "]" in the section, an empty section or key); the file then stays as it was.
    // A file that is a symbolic link is replaced at the link's target.
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& key, int value);
    // Writes "1" or "0".
    void WriteBool(const std::string& section, const std::string& key, bool value);

private:
    std::string FileName;
};
