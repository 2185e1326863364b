#include "platform/IniFile.h"

#include "platform/PosixFile.h"
#include "platform/Text.h"
#include "platform/WholeFile.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::string_view Bom = "\xEF\xBB\xBF";

// The file as lines without their line ends. Each line keeps the end it was read with, so
// that a rewrite leaves the bytes of the lines it does not change; new lines take the end
// of the file's first line.
struct TIniText {
    bool HasBom = false;
    std::string LineEnd = "\n";
    std::vector<std::string> Lines;
    std::vector<std::string> Ends; // one per line; empty for a last line without an end
};

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string_view Trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool IsSectionLine(std::string_view line, std::string_view& name) {
    line = Trim(line);
    if (line.empty() || line.front() != '[')
        return false;
    const std::size_t close = line.find(']');
    if (close == std::string_view::npos)
        return false;
    name = Trim(line.substr(1, close - 1));
    return true;
}

bool IsKeyLine(std::string_view line, std::string_view& key, std::string_view& value) {
    line = Trim(line);
    if (line.empty() || line.front() == ';' || line.front() == '[')
        return false;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos)
        return false;
    key = Trim(line.substr(0, equals));
    value = Trim(line.substr(equals + 1));
    return true;
}

// Reads the whole file; returns 0 or the errno of the failing call (see ReadWholeFile).
int ReadFile(const std::string& name, std::string& content) {
    return ReadWholeFile(name, TIniFile::MaxFileSize, content);
}

std::string ReasonText(int error) {
    switch (error) {
    case ENODEV:
        return "not a regular file";
    case EFBIG:
        return "larger than " + std::to_string(TIniFile::MaxFileSize / 1024) + " KiB";
    default:
        return std::strerror(error);
    }
}

TIniText Parse(std::string_view content) {
    TIniText text;
    if (content.starts_with(Bom)) {
        text.HasBom = true;
        content.remove_prefix(Bom.size());
    }
    const std::size_t firstEnd = content.find('\n');
    if (firstEnd != std::string_view::npos && firstEnd > 0 && content[firstEnd - 1] == '\r')
        text.LineEnd = "\r\n";
    while (!content.empty()) {
        const std::size_t end = content.find('\n');
        std::string_view line = content.substr(0, end);
        std::string_view lineEnd = end == std::string_view::npos ? "" : "\n";
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
            if (!lineEnd.empty())
                lineEnd = "\r\n";
            // A last line without LF gets the file's line end: CRs alone at the very end end
            // no line and belong to no value.
            while (lineEnd.empty() && line.ends_with('\r'))
                line.remove_suffix(1);
        }
        text.Lines.emplace_back(line);
        text.Ends.emplace_back(lineEnd);
        content.remove_prefix(end == std::string_view::npos ? content.size() : end + 1);
    }
    return text;
}

std::string Serialize(const TIniText& text) {
    std::string content = text.HasBom ? std::string(Bom) : std::string();
    for (std::size_t i = 0; i < text.Lines.size(); ++i) {
        const bool kept = i < text.Ends.size() && !text.Ends[i].empty();
        content += text.Lines[i] + (kept ? text.Ends[i] : text.LineEnd);
    }
    return content;
}

// Inserts line before line i (at the end when i is the count); it ends as the file's lines do.
void InsertLine(TIniText& text, std::size_t i, std::string line) {
    text.Lines.insert(text.Lines.begin() + static_cast<std::ptrdiff_t>(i), std::move(line));
    text.Ends.insert(text.Ends.begin() + static_cast<std::ptrdiff_t>(i), text.LineEnd);
}

// Index of the header line of the first section of that name, or npos.
std::size_t FindSection(const TIniText& text, const std::string& section) {
    std::string_view name;
    for (std::size_t i = 0; i < text.Lines.size(); ++i)
        if (IsSectionLine(text.Lines[i], name) && SameText(name, section))
            return i;
    return std::string::npos;
}

// The first line after the section that starts at header.
std::size_t SectionEnd(const TIniText& text, std::size_t header) {
    std::string_view name;
    std::size_t i = header + 1;
    while (i < text.Lines.size() && !IsSectionLine(text.Lines[i], name))
        ++i;
    return i;
}

// Index of the key's line in the section that starts at header, or npos.
std::size_t FindKey(const TIniText& text, std::size_t header, const std::string& key) {
    std::string_view name;
    std::string_view value;
    const std::size_t end = SectionEnd(text, header);
    for (std::size_t i = header + 1; i < end; ++i)
        if (IsKeyLine(text.Lines[i], name, value) && SameText(name, key))
            return i;
    return std::string::npos;
}

// The first maxChars UTF-8 code points of s.
std::string LeadingCharacters(std::string_view s, std::size_t maxChars) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (!IsUtf8Continuation(s[i]) && chars++ == maxChars)
            return std::string(s.substr(0, i));
    }
    return std::string(s);
}

bool ParseInteger(const std::string& s, int& result) {
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        if (s.size() > 10)
            return false;
        std::uint32_t value = 0;
        for (std::size_t i = 2; i < s.size(); ++i) {
            const char c = LowerAscii(s[i]);
            const int digit = c >= '0' && c <= '9'   ? c - '0'
                              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                     : -1;
            if (digit < 0)
                return false;
            value = value * 16 + static_cast<std::uint32_t>(digit);
        }
        result = static_cast<std::int32_t>(value);
        return true;
    }
    std::size_t pos = s.size() > 0 && (s[0] == '+' || s[0] == '-') ? 1 : 0;
    if (pos == s.size())
        return false;
    long long value = 0;
    for (; pos < s.size(); ++pos) {
        if (s[pos] < '0' || s[pos] > '9')
            return false;
        value = value * 10 + (s[pos] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            return false;
    }
    if (s[0] == '-')
        value = -value;
    if (value > INT_MAX || value < INT_MIN)
        return false;
    result = static_cast<int>(value);
    return true;
}

[[noreturn]] void WriteFailed(const std::string& fileName, const std::string& reason) {
    throw EIniFileError("Could not write the settings file " + fileName + ": " + reason);
}

[[noreturn]] void WriteFailed(const std::string& fileName, int error) {
    WriteFailed(fileName, std::strerror(error));
}

void CheckFormat(const std::string& fileName, const std::string& section, const std::string& key,
                 const std::string& value) {
    const auto hasLineBreak = [](const std::string& s) {
        return s.find_first_of("\r\n") != std::string::npos;
    };
    if (section.empty() || hasLineBreak(section) || section.find(']') != std::string::npos)
        WriteFailed(fileName, "invalid section name \"" + section + "\"");
    const std::string_view trimmedKey = Trim(key);
    if (trimmedKey.empty() || hasLineBreak(key) || key.find('=') != std::string::npos ||
        trimmedKey.front() == '[' || trimmedKey.front() == ';')
        WriteFailed(fileName, "invalid key name \"" + key + "\"");
    if (hasLineBreak(value))
        WriteFailed(fileName, "the value of " + key + " holds a line break");
}

// A temporary file that is removed unless it was renamed into place.
struct TTemporaryFile {
    std::string Name;
    bool Renamed = false;
    ~TTemporaryFile() {
        if (!Name.empty() && !Renamed)
            ::unlink(Name.c_str());
    }
};

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Replaces target by a file holding content: a temporary file beside it, flushed to disk,
// then renamed over it. An existing file keeps its permissions.
void ReplaceFile(const std::string& fileName, const std::string& target, const std::string& content,
                 const struct stat* existing) {
    TTemporaryFile temporary;
    std::string pattern = target + ".XXXXXX";
    TPosixFile file;
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0)
        WriteFailed(fileName, errno);
    file.Attach(fd);
    temporary.Name = pattern;
    if (existing != nullptr && ::fchmod(fd, existing->st_mode & 07777) != 0)
        WriteFailed(fileName, errno);
    if (const int error = file.WriteAll(content))
        WriteFailed(fileName, error);
    if (::fsync(fd) != 0)
        WriteFailed(fileName, errno);
    if (const int error = file.Close())
        WriteFailed(fileName, error);
    if (::rename(temporary.Name.c_str(), target.c_str()) != 0)
        WriteFailed(fileName, errno);
    temporary.Renamed = true;
    // Make the rename itself durable; a failure here no longer loses anything.
    TPosixFile folder;
    if (folder.Open(FolderOf(target), O_RDONLY | O_DIRECTORY))
        ::fsync(folder.Get());
}

} // namespace

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) const {
    std::string content;
    if (ReadFile(FileName, content) != 0)
        return defaultValue;
    const TIniText text = Parse(content);
    const std::size_t header = FindSection(text, section);
    if (header == std::string::npos)
        return defaultValue;
    const std::size_t line = FindKey(text, header, key);
    if (line == std::string::npos)
        return defaultValue;
    std::string_view name;
    std::string_view value;
    IsKeyLine(text.Lines[line], name, value);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    return LeadingCharacters(value, MaxValueLength);
}

std::optional<std::string> TIniFile::UnreadableReason() const {
    std::string content;
    const int error = ReadFile(FileName, content);
    if (error == 0 || error == ENOENT)
        return std::nullopt;
    return ReasonText(error);
}

int TIniFile::ReadInteger(const std::string& section, const std::string& key,
                          int defaultValue) const {
    int value = 0;
    return ParseInteger(ReadString(section, key, ""), value) ? value : defaultValue;
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key,
                        bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void TIniFile::WriteString(const std::string& section, const std::string& key,
                           const std::string& value) {
    if (FileName.empty())
        WriteFailed(FileName, std::strerror(ENOENT));
    CheckFormat(FileName, section, key, value);

    // A symbolic link is followed, so the link stays and its target is replaced.
    std::string target = FileName;
    if (char* resolved = ::realpath(FileName.c_str(), nullptr)) {
        target = resolved;
        std::free(resolved);
    }
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    std::string content;
    if (exists) {
        if (!S_ISREG(existing.st_mode))
            WriteFailed(FileName, "not a regular file");
        // Read-only is the missing write permission bits, also for a user (root) whom the
        // system would let write anyway.
        if ((existing.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0)
            WriteFailed(FileName, std::strerror(EACCES));
        if (const int error = ReadFile(target, content))
            WriteFailed(FileName, ReasonText(error));
    }

    TIniText text = Parse(content);
    const std::string line = key + "=" + value;
    std::size_t header = FindSection(text, section);
    if (header == std::string::npos) {
        InsertLine(text, text.Lines.size(), "[" + section + "]");
        InsertLine(text, text.Lines.size(), line);
    } else if (const std::size_t keyLine = FindKey(text, header, key);
               keyLine != std::string::npos) {
        text.Lines[keyLine] = line;
    } else {
        // After the section's last line that is not blank.
        std::size_t insert = SectionEnd(text, header);
        while (insert > header + 1 && Trim(text.Lines[insert - 1]).empty())
            --insert;
        InsertLine(text, insert, line);
    }
    ReplaceFile(FileName, target, Serialize(text), exists ? &existing : nullptr);
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, int value) {
    WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}
