#include "core/ReadingsFile.h"

#include "astro/Jde.h"
#include "core/Nelm.h"
#include "core/UiSeams.h"
#include "core/Versioninfo.h"
#include "meter/Dm_SQMBase.h"
#include "platform/NumberFormat.h"
#include "platform/PosixFile.h"
#include "platform/Text.h"

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

// Opens for appending, creating a missing file; created tells whether this call made it.
bool OpenForAppend(TPosixFile& file, const std::string& fileName, bool& created) {
    // Non-blocking, so that a FIFO without a reader fails instead of hanging the window.
    constexpr int flags = O_WRONLY | O_APPEND | O_NOCTTY | O_NONBLOCK;
    created = file.Open(fileName, flags | O_CREAT | O_EXCL, 0666);
    if (!created && (errno != EEXIST || !file.Open(fileName, flags | O_CREAT, 0666)))
        return false;
    const int status = ::fcntl(file.Get(), F_GETFL);
    return status >= 0 && ::fcntl(file.Get(), F_SETFL, status & ~O_NONBLOCK) == 0;
}

// Takes back what a failed write left, so that no torn line stays behind: removes the file
// this call created, or cuts an existing file back to oldSize (not for a device: -1).
void TakeBack(TPosixFile& file, const std::string& fileName, bool created, off_t oldSize) {
    if (created) {
        ::unlink(fileName.c_str());
    } else if (oldSize >= 0 && ::ftruncate(file.Get(), oldSize) != 0) {
        // The failure is reported all the same; nothing more can be done here.
    }
    file.Close();
}

bool Save(const std::string& fileName, const TDmSQMBase& link,
          const std::function<std::string()>& build) {
    const std::string record = ReadingRecordLine(link);
    if (fileName.empty()) {
        ReportFailure(fileName);
        return false;
    }
    struct stat st {};
    const bool existed = ::stat(fileName.c_str(), &st) == 0;

    TPosixFile file;
    bool created = false;
    if (!OpenForAppend(file, fileName, created)) {
        ReportFailure(fileName);
        return false;
    }
    struct stat opened {};
    const bool regular = ::fstat(file.Get(), &opened) == 0 && S_ISREG(opened.st_mode);

    std::string bytes;
    if (!existed)
        bytes = FileEncoding(FieldText("Produced by Nightlux " + build())) + "\r\n" +
                ReadingsFileColumns + "\r\n";
    bytes += FileEncoding(record) + "\r\n";

    if (file.WriteAll(bytes) != 0) {
        TakeBack(file, fileName, created, regular ? opened.st_size : -1);
        ReportFailure(fileName);
        return false;
    }
    if (file.Close() != 0) {
        ReportFailure(fileName);
        return false;
    }
    return true;
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
