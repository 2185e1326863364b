#include "core/ReadingsFile.h"

#include "astro/Jde.h"
#include "core/Nelm.h"
#include "core/UiSeams.h"
#include "core/Versioninfo.h"
#include "meter/Dm_SQMBase.h"
#include "platform/NumberFormat.h"
#include "platform/PosixFile.h"
#include "platform/Text.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool BreaksTheLine(char32_t cp) {
    return cp == InvalidCodePoint || cp < 0x20 || cp == ',' || (cp >= 0x7F && cp <= 0x9F);
}

// A received text with each character that would break the record's structure as "?".
std::string FieldText(const std::string& received) {
    std::string text;
    std::size_t length = 0;
    for (std::size_t pos = 0; pos < received.size(); pos += length) {
        const char32_t cp = DecodeUtf8(received, pos, length);
        if (BreaksTheLine(cp))
            text += '?';
        else
            text.append(received, pos, length);
    }
    return text;
}

// UTF-8 to ISO-8859-1; what it cannot hold becomes "?".
std::string FileEncoding(const std::string& utf8) {
    std::string bytes;
    std::size_t length = 0;
    for (std::size_t pos = 0; pos < utf8.size(); pos += length) {
        const char32_t cp = DecodeUtf8(utf8, pos, length);
        bytes += cp <= 0xFF ? static_cast<char>(cp) : '?';
    }
    return bytes;
}

std::string DateAndTime(const TDateTime& readingTime) {
    const astro::TJde jde(readingTime);
    int month = 0, day = 0, year = 0, hour = 0, minute = 0, second = 0;
    jde.GetMDY(month, day, year);
    jde.GetHMS(hour, minute, second);
    char text[80];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d,%02d:%02d:%02d", year, month, day, hour,
                  minute, second);
    return text;
}

void ReportFailure(const std::string& fileName) {
    Beep();
    ShowMessage("Could not save reading to " + fileName);
}

// Opens an existing file for appending. Non-blocking while opening, so that a FIFO without a
// reader fails instead of hanging the window.
bool OpenForAppend(TPosixFile& file, const std::string& fileName) {
    if (!file.Open(fileName, O_WRONLY | O_APPEND | O_NOCTTY | O_NONBLOCK))
        return false;
    const int status = ::fcntl(file.Get(), F_GETFL);
    return status >= 0 && ::fcntl(file.Get(), F_SETFL, status & ~O_NONBLOCK) == 0;
}

// One write(2) of all of bytes, so that a process killed at any instant leaves the whole
// line or none of it. Returns the number of bytes written, -1 on an error.
ssize_t WriteOnce(const TPosixFile& file, const std::string& bytes) {
    ssize_t n = 0;
    do
        n = ::write(file.Get(), bytes.data(), bytes.size());
    while (n < 0 && errno == EINTR);
    return n;
}

// True when the regular file's last byte is not a line feed, so that the next record must
// start a line of its own. The descriptor is write-only: the file is read through a second
// one opened on the same file. A file that cannot be read is taken to end its line.
bool EndsMidLine(const TPosixFile& file, const struct stat& st) {
    if (!S_ISREG(st.st_mode) || st.st_size == 0)
        return false;
    TPosixFile reader;
    if (!reader.Open("/proc/self/fd/" + std::to_string(file.Get()), O_RDONLY | O_NOCTTY))
        return false;
    char last = '\n';
    return ::pread(reader.Get(), &last, 1, st.st_size - 1) == 1 && last != '\n';
}

enum class EAppend { Stored, Missing, Failed };

// Appends record to an existing file. A write that fails partway is cut back, unless
// another writer appended after it.
EAppend AppendRecord(const std::string& fileName, const std::string& record) {
    TPosixFile file;
    if (!OpenForAppend(file, fileName))
        return errno == ENOENT ? EAppend::Missing : EAppend::Failed;
    struct stat st {};
    if (::fstat(file.Get(), &st) != 0)
        return EAppend::Failed;
    const std::string bytes = (EndsMidLine(file, st) ? "\r\n" : "") + record;
    const ssize_t written = WriteOnce(file, bytes);
    if (written != static_cast<ssize_t>(bytes.size())) {
        struct stat now {};
        if (written > 0 && S_ISREG(st.st_mode) && ::fstat(file.Get(), &now) == 0 &&
            now.st_size == st.st_size + written && ::ftruncate(file.Get(), st.st_size) != 0) {
            // The failure is reported all the same; nothing more can be done here.
        }
        return EAppend::Failed;
    }
    return file.Close() == 0 ? EAppend::Stored : EAppend::Failed;
}

std::string FolderOf(const std::string& fileName) {
    const std::size_t slash = fileName.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : fileName.substr(0, slash);
}

// Writes bytes to a fresh file of a unique name in fileName's folder, synced and closed.
// Returns its name, or an empty text when that failed (nothing is left behind).
std::string WriteTemporary(const std::string& fileName, const std::string& bytes) {
    static std::atomic<unsigned> counter{0};
    const std::string folder = FolderOf(fileName);
    const std::string base = fileName.substr(fileName.rfind('/') + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = folder + "/." + base + "." + std::to_string(::getpid()) + "." +
                           std::to_string(counter++) + ".tmp";
        TPosixFile file;
        if (!file.Open(name, O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY, 0666)) {
            if (errno == EEXIST)
                continue;
            return {};
        }
        const bool ok = WriteOnce(file, bytes) == static_cast<ssize_t>(bytes.size()) &&
                        ::fdatasync(file.Get()) == 0 && file.Close() == 0;
        if (!ok) {
            ::unlink(name.c_str());
            return {};
        }
        return name;
    }
    return {};
}

enum class ECreate { Stored, Exists, Failed };

// For a file system without hard links: creates the file exclusively and writes it in one
// write(2); removed again when that fails.
ECreate CreateInPlace(const std::string& fileName, const std::string& bytes) {
    TPosixFile file;
    if (!file.Open(fileName, O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY, 0666))
        return errno == EEXIST ? ECreate::Exists : ECreate::Failed;
    if (WriteOnce(file, bytes) == static_cast<ssize_t>(bytes.size()) && file.Close() == 0)
        return ECreate::Stored;
    ::unlink(fileName.c_str());
    return ECreate::Failed;
}

// Creates the file with the header and the record in it at once: written under a temporary
// name, then linked into place, so that exactly one of several creators wins.
ECreate CreateWithRecord(const std::string& fileName, const std::string& bytes) {
    const std::string temporary = WriteTemporary(fileName, bytes);
    if (temporary.empty())
        return ECreate::Failed;
    const int linked = ::link(temporary.c_str(), fileName.c_str());
    const int linkError = errno;
    ::unlink(temporary.c_str());
    if (linked == 0)
        return ECreate::Stored;
    if (linkError == EPERM || linkError == EOPNOTSUPP)
        return CreateInPlace(fileName, bytes);
    return linkError == EEXIST ? ECreate::Exists : ECreate::Failed;
}

bool Save(const std::string& fileName, const TDmSQMBase& link,
          const std::function<std::string()>& build) {
    const std::string record = FileEncoding(ReadingRecordLine(link)) + "\r\n";
    if (fileName.empty()) {
        ReportFailure(fileName);
        return false;
    }
    EAppend appended = AppendRecord(fileName, record);
    if (appended == EAppend::Missing) {
        const std::string header = FileEncoding(FieldText("Produced by Nightlux " + build())) +
                                   "\r\n" + ReadingsFileColumns + "\r\n";
        switch (CreateWithRecord(fileName, header + record)) {
        case ECreate::Stored:
            return true;
        case ECreate::Exists: // another writer created it first
            appended = AppendRecord(fileName, record);
            break;
        case ECreate::Failed:
            appended = EAppend::Failed;
            break;
        }
    }
    if (appended == EAppend::Stored)
        return true;
    ReportFailure(fileName);
    return false;
}

} // namespace

std::string ReadingRecordLine(const TDmSQMBase& link) {
    const double magnitude = link.GetMagnitude();
    const std::string dateAndTime = DateAndTime(link.GetReadingTime());
    const std::string serial = FieldText(link.GetSerialNumber());
    const std::string protocol = FieldText(link.GetProtocolVersion());
    const std::string model = FieldText(link.GetModelNumber());
    const std::string feature = FieldText(link.GetFeatureVersion());
    const double temperature = link.GetTemperature();
    return dateAndTime + "," + FormatFixed(magnitude, 2) + "," +
           FormatFixed(ComputeNelm(magnitude), 1) + "," + serial + "," + protocol + "," + model +
           "," + feature + "," + FormatFixed(temperature, 1, 4) + ",,,,";
}

bool SaveReadingToFile(const std::string& fileName, const TDmSQMBase& link) {
    return Save(fileName, link, [] {
        std::string build;
        TVersionInfo(std::string()).GetBuild(build);
        return build;
    });
}

bool SaveReadingToFile(const std::string& fileName, const TDmSQMBase& link,
                       const TVersionInfo& version) {
    return Save(fileName, link, [&version] {
        std::string build;
        version.GetBuild(build);
        return build;
    });
}
