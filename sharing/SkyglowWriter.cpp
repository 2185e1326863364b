#include "sharing/SkyglowWriter.h"

#include "platform/PosixFile.h"
#include "platform/RecordFile.h"
#include "platform/WholeFile.h"
#include "sharing/SkyglowFormat.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr int MaxFilesPerNight = 100;
constexpr std::size_t HeaderReadLimit = std::size_t{64} * 1024;
constexpr const char* EndOfHeader = "# END OF HEADER";

enum class TOutcome { Done, Missing, Failed };

std::string Failure(const std::string& path, int error) {
    return "Could not write the skyglow file " + path + ": " + std::strerror(error);
}

std::string Candidate(const std::string& folder, const std::string& name, int number) {
    std::string file = name;
    if (number > 1)
        file.insert(file.size() - 4, "_" + std::to_string(number));
    return folder + "/" + file;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

bool SameHeader(const std::vector<std::string>& found, const std::vector<std::string>& wanted) {
    if (found.size() != wanted.size())
        return false;
    for (std::size_t i = 0; i < found.size(); ++i)
        if (!IsReadoutLine(i) && found[i] != wanted[i])
            return false;
    return true;
}

std::vector<std::string> HeaderLines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t begin = 0; begin < text.size();) {
        const std::size_t end = text.find('\n', begin);
        if (end == std::string::npos)
            break;
        std::string line = text.substr(begin, end - begin);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        if (line == EndOfHeader)
            return lines;
        begin = end + 1;
    }
    return lines;
}

// What is at a night file's name that is not a regular file, named for the user; empty for
// a regular file.
std::string WhatIsAt(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode))
        return {};
    if (S_ISLNK(st.st_mode)) {
        struct stat target {};
        return ::stat(path.c_str(), &target) == 0
                   ? "is a symbolic link, which is not followed,"
                   : "is a symbolic link to a file that does not exist, which is not followed,";
    }
    if (S_ISDIR(st.st_mode))
        return "is a folder";
    if (S_ISFIFO(st.st_mode))
        return "is a FIFO (named pipe)";
    if (S_ISSOCK(st.st_mode))
        return "is a socket";
    return "is a device";
}

std::string Uncertain(const std::string& path, int error) {
    return "The reading was written to the skyglow file " + path +
           " but may not be on the disk: " + std::strerror(error);
}

} // namespace

std::vector<std::string> ReadSkyglowHeader(const std::string& path) {
    TPosixFile file;
    std::string text;
    if (!file.Open(path, O_RDONLY | O_NOCTTY | O_NONBLOCK) ||
        ReadFileStart(file.Get(), HeaderReadLimit, text) != 0)
        return {};
    return HeaderLines(text);
}

TSkyglowWriter::TSkyglowWriter(TSkyglowSettings settings, TSite site, std::string deviceType,
                               std::function<std::string()> readCalibration,
                               const TRecordFileCalls& calls)
    : Settings(std::move(settings)), Site(std::move(site)), DeviceType(std::move(deviceType)),
      ReadCalibration(std::move(readCalibration)), Calls(&calls),
      TimeZone(Settings.TimeZone.empty() ? LocalTimeZoneName() : Settings.TimeZone) {}

std::vector<std::string> TSkyglowWriter::Header(const TSharedReading& reading,
                                                const std::string& calibration) const {
    TSkyglowHeaderInfo info;
    info.Settings = Settings;
    info.Site = Site;
    info.DeviceType = DeviceType;
    info.TimeZone = TimeZone;
    info.SerialNumber = reading.SerialNumber;
    info.FirmwareVersion = reading.FirmwareVersion;
    info.UnitInfoReply = reading.UnitInfoReply;
    info.ReadingReply = reading.ReadingReply;
    info.CalibrationReply = calibration;
    return SkyglowHeaderLines(info);
}

TSkyglowResult TSkyglowWriter::Write(const TSharedReading& reading) {
    TSkyglowResult result = WriteRecord(reading);
    // The sharing never fails a reading: what the file tells is a warning.
    if (!result.Notice.Text.empty())
        result.Notice.Severity = ENoticeSeverity::Warning;
    return result;
}

TSkyglowResult TSkyglowWriter::WriteRecord(const TSharedReading& reading) {
    TSkyglowResult result;
    if (Settings.Folder.empty()) {
        result.Notice.Text = "No folder is set for the skyglow files";
        return result;
    }
    const std::string record = SkyglowRecordLine(reading) + "\r\n";
    const std::string night = SkyglowFileName(reading.LocalTime, DeviceType, Site.Name);
    if (night != NightFile) {
        NightFile = night;
        CurrentFile.clear();
    }
    if (!CurrentFile.empty()) {
        // Appended to only while it is the very file whose header was checked: a link or
        // another file put at its name sends the search below over the names again.
        TRecordFile file(*Calls);
        const int error = file.Open(CurrentFile);
        if (error == 0 && file.IsSameFile(CurrentStatus)) {
            result.FileName = CurrentFile;
            return Appended(result, file, record);
        }
        if (error != 0 && error != ENOENT && error != ELOOP && error != ENXIO) {
            result.FileName = CurrentFile;
            result.Notice.Text = Failure(CurrentFile, error);
            return result;
        }
        CurrentFile.clear();
    }

    const std::vector<std::string> header = Header(reading, "");
    std::string skipped;
    std::string skippedWhy;
    bool lookedAgain = false;
    for (int number = 1; number <= MaxFilesPerNight; ++number) {
        const std::string path = Candidate(Settings.Folder, night, number);
        result.FileName = path;
        TRecordFile file(*Calls);
        const int error = file.Open(path);
        std::string why;
        if (error == ELOOP || error == ENXIO || error == EISDIR ||
            (error == 0 && !file.IsRegular())) {
            why = WhatIsAt(path);
            if (why.empty())
                why = "is not a regular file";
        } else if (error == 0) {
            std::string text;
            if (file.ReadStart(HeaderReadLimit, text) != 0 ||
                !SameHeader(HeaderLines(text), header))
                why = "has a different header";
        } else if (error != ENOENT) {
            result.Notice.Text = Failure(path, error);
            return result;
        }
        if (!why.empty()) {
            if (skipped.empty()) {
                skipped = path;
                skippedWhy = why;
            }
            continue;
        }
        if (error == 0) {
            CurrentStatus = file.Status();
            Appended(result, file, record);
        } else {
            bool raced = false;
            TSkyglowResult created = WriteInNewFile(path, reading, record, raced);
            if (raced) {
                if (!std::exchange(lookedAgain, true))
                    --number; // someone else made it meanwhile: look at it once more
                continue;
            }
            result = created;
        }
        if (result.Stored) {
            CurrentFile = path;
            if (!skipped.empty())
                result.Notice.Text = (result.Notice.Text.empty() ? "" : result.Notice.Text + "\n") +
                                     "The skyglow file " + skipped + " " + skippedWhy +
                                     " and is left as it is; this night's readings go to " + path;
        }
        return result;
    }
    result.Notice.Text = "Could not write a skyglow file for this night: " + night + " and " +
                         std::to_string(MaxFilesPerNight - 1) +
                         " files beside it all have different headers";
    return result;
}

TSkyglowResult& TSkyglowWriter::Appended(TSkyglowResult& result, TRecordFile& file,
                                         const std::string& record) {
    const TRecordResult appended = file.Append(record);
    result.Stored =
        appended.Status == ERecordStatus::Stored || appended.Status == ERecordStatus::Uncertain;
    if (appended.Status == ERecordStatus::Uncertain)
        result.Notice.Text = Uncertain(result.FileName, appended.Error);
    else if (!result.Stored)
        result.Notice.Text = Failure(result.FileName, appended.Error);
    return result;
}

TSkyglowResult TSkyglowWriter::WriteInNewFile(const std::string& path,
                                              const TSharedReading& reading,
                                              const std::string& record, bool& raced) {
    TSkyglowResult result;
    result.FileName = path;
    std::string calibration;
    try {
        calibration = ReadCalibration ? ReadCalibration() : std::string();
    } catch (const std::exception& e) {
        result.Notice.Text =
            std::string("The calibration (cx) could not be read for the header of ") + path + ": " +
            e.what();
    }
    const std::string bytes = Joined(Header(reading, calibration)) + record;
    const auto tell = [&result](const std::string& text) {
        result.Notice.Text = (result.Notice.Text.empty() ? "" : result.Notice.Text + "\n") + text;
    };
    TRecordFile file(*Calls);
    const TRecordResult created = file.Create(path, bytes);
    switch (created.Status) {
    case ERecordStatus::Exists:
        raced = true;
        break;
    case ERecordStatus::Failed:
        tell(Failure(path, created.Error));
        break;
    case ERecordStatus::Uncertain:
        tell(Uncertain(path, created.Error));
        result.Stored = true;
        break;
    case ERecordStatus::Stored:
        result.Stored = true;
        break;
    }
    if (result.Stored) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0)
            CurrentStatus = st;
    }
    return result;
}
