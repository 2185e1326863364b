#include "core/ReadingsFile.h"

#include "astro/Jde.h"
#include "core/Reading.h"
#include "core/UiSeams.h"
#include "core/Versioninfo.h"
#include "platform/NumberFormat.h"
#include "platform/Text.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>

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

TSaveResult Failure(const std::string& fileName, const std::string& reason = "") {
    return {false,
            {ENoticeSeverity::Error,
             "Could not save reading to " + fileName + (reason.empty() ? "" : ": " + reason)}};
}

TSaveResult Outcome(const std::string& fileName, const TRecordResult& result) {
    switch (result.Status) {
    case ERecordStatus::Stored:
        return {true, {}};
    case ERecordStatus::Uncertain:
        return {true,
                {ENoticeSeverity::Warning,
                 "The reading was written to " + fileName +
                     " but may not be on the disk: " + std::strerror(result.Error) + "."}};
    case ERecordStatus::Exists:
    case ERecordStatus::Failed:
        break;
    }
    return Failure(fileName);
}

TSaveResult Save(const std::string& fileName, const TReading& reading,
                 const std::function<std::string()>& build, const TRecordFileCalls& calls) {
    const std::string record = FileEncoding(ReadingRecordLine(reading)) + "\r\n";
    if (fileName.empty())
        return Failure(fileName);
    for (int attempt = 0; attempt < 2; ++attempt) {
        TRecordFile file(calls);
        const int error = file.Open(fileName);
        if (error == ELOOP)
            return Failure(fileName, "a symbolic link is at that name, and it is not followed");
        if (error == 0)
            return Outcome(fileName, file.Append(record));
        if (error != ENOENT)
            return Failure(fileName);
        const std::string header = FileEncoding(FieldText("Produced by Nightlux " + build())) +
                                   "\r\n" + ReadingsFileColumns + "\r\n";
        const TRecordResult created = file.Create(fileName, header + record);
        if (created.Status != ERecordStatus::Exists)
            return Outcome(fileName, created);
        // Another writer created it first: append to it.
    }
    return Failure(fileName);
}

} // namespace

std::string ReadingRecordLine(const TReading& reading) {
    return DateAndTime(reading.Time) + "," + FormatFixed(reading.Magnitude, 2) + "," +
           FormatFixed(reading.Nelm, 1) + "," + FieldText(reading.SerialNumber) + "," +
           FieldText(reading.ProtocolVersion) + "," + FieldText(reading.ModelNumber) + "," +
           FieldText(reading.FeatureVersion) + "," + FormatFixed(reading.Temperature, 1, 4) +
           ",,,,";
}

TSaveResult SaveReadingToFile(const std::string& fileName, const TReading& reading) {
    return Save(
        fileName, reading,
        [] {
            std::string build;
            TVersionInfo(std::string()).GetBuild(build);
            return build;
        },
        TRecordFileCalls::System());
}

TSaveResult SaveReadingToFile(const std::string& fileName, const TReading& reading,
                              const TVersionInfo& version, const TRecordFileCalls& calls) {
    return Save(
        fileName, reading,
        [&version] {
            std::string build;
            version.GetBuild(build);
            return build;
        },
        calls);
}

void PresentFileNotice(const TNotice& notice) {
    if (notice.Text.empty())
        return;
    if (notice.Severity == ENoticeSeverity::Error)
        Beep();
    ShowMessage(notice.Text);
}
