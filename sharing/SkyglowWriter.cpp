#include "sharing/SkyglowWriter.h"

#include "platform/PosixFile.h"
#include "sharing/SkyglowFormat.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr int MaxFilesPerNight = 100;
constexpr std::size_t HeaderReadLimit = 64 * 1024;
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

// Opens an existing file for appending; a FIFO without a reader fails instead of blocking.
bool OpenExisting(TPosixFile& file, const std::string& path) {
    if (!file.Open(path, O_RDWR | O_APPEND | O_NOCTTY | O_NONBLOCK))
        return false;
    const int status = ::fcntl(file.Get(), F_GETFL);
    return status >= 0 && ::fcntl(file.Get(), F_SETFL, status & ~O_NONBLOCK) == 0;
}

// Appends the record with one write(); on a short write the file is cut back.
TOutcome Append(const std::string& path, const std::string& record, std::string& notice) {
    TPosixFile file;
    if (!OpenExisting(file, path)) {
        if (errno == ENOENT)
            return TOutcome::Missing;
        notice = Failure(path, errno);
        return TOutcome::Failed;
    }
    struct stat st {};
    if (::fstat(file.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        notice = "Could not write the skyglow file " + path + ": it is not a regular file";
        return TOutcome::Failed;
    }
    std::string bytes = record;
    char last = '\n';
    if (st.st_size > 0 && ::pread(file.Get(), &last, 1, st.st_size - 1) == 1 && last != '\n')
        bytes.insert(0, "\r\n");
    const ssize_t written = ::write(file.Get(), bytes.data(), bytes.size());
    const int error = written < 0 ? errno : ENOSPC;
    if (written != static_cast<ssize_t>(bytes.size())) {
        if (written > 0 && ::ftruncate(file.Get(), st.st_size) != 0) {
            // Reported below all the same.
        }
        notice = Failure(path, error);
        return TOutcome::Failed;
    }
    if (const int closeError = file.Close(); closeError != 0) {
        notice = Failure(path, closeError);
        return TOutcome::Failed;
    }
    return TOutcome::Done;
}

std::string TemporaryName(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    const std::size_t slash = path.rfind('/');
    return path.substr(0, slash + 1) + "." + path.substr(slash + 1) + "." +
           std::to_string(::getpid()) + "." + std::to_string(counter++) + ".tmp";
}

bool NoHardLinks(int error) {
    return error == EPERM || error == EOPNOTSUPP || error == ENOSYS || error == EMLINK;
}

// Creates path exclusively and writes bytes in one write(); removes it again on failure.
int CreateInOneWrite(const std::string& path, const std::string& bytes) {
    TPosixFile file;
    if (!file.Open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY, 0666))
        return errno;
    const ssize_t written = ::write(file.Get(), bytes.data(), bytes.size());
    int error = written < 0 ? errno : written != static_cast<ssize_t>(bytes.size()) ? ENOSPC : 0;
    if (const int closeError = file.Close(); error == 0)
        error = closeError;
    if (error != 0)
        ::unlink(path.c_str());
    return error;
}

} // namespace

std::vector<std::string> ReadSkyglowHeader(const std::string& path) {
    TPosixFile file;
    if (!file.Open(path, O_RDONLY | O_NOCTTY | O_NONBLOCK))
        return {};
    std::string text(HeaderReadLimit, '\0');
    std::size_t size = 0;
    while (size < text.size()) {
        const ssize_t n = ::read(file.Get(), text.data() + size, text.size() - size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        size += static_cast<std::size_t>(n);
    }
    text.resize(size);
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

TSkyglowWriter::TSkyglowWriter(TSkyglowSettings settings, TSite site, std::string deviceType,
                               std::function<std::string()> readCalibration)
    : Settings(std::move(settings)), Site(std::move(site)), DeviceType(std::move(deviceType)),
      ReadCalibration(std::move(readCalibration)),
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
    TSkyglowResult result;
    if (Settings.Folder.empty()) {
        result.Notice = "No folder is set for the skyglow files";
        return result;
    }
    const std::string record = SkyglowRecordLine(reading) + "\r\n";
    const std::string night = SkyglowFileName(reading.LocalTime, DeviceType, Site.Name);
    if (night != NightFile) {
        NightFile = night;
        CurrentFile.clear();
    }
    if (!CurrentFile.empty()) {
        result.FileName = CurrentFile;
        const TOutcome outcome = Append(CurrentFile, record, result.Notice);
        if (outcome != TOutcome::Missing) {
            result.Stored = outcome == TOutcome::Done;
            return result;
        }
        CurrentFile.clear();
    }

    const std::vector<std::string> header = Header(reading, "");
    std::string skipped;
    bool raced = false;
    for (int number = 1; number <= MaxFilesPerNight; ++number) {
        const std::string path = Candidate(Settings.Folder, night, number);
        result.FileName = path;
        const std::vector<std::string> found = ReadSkyglowHeader(path);
        struct stat st {};
        TOutcome outcome = TOutcome::Missing;
        if (!found.empty() || ::lstat(path.c_str(), &st) == 0) {
            if (!SameHeader(found, header)) {
                if (skipped.empty())
                    skipped = path;
                continue;
            }
            outcome = Append(path, record, result.Notice);
        }
        if (outcome == TOutcome::Missing) {
            const bool lookedAgain = std::exchange(raced, false);
            TSkyglowResult created = WriteInNewFile(path, reading, record, raced);
            if (raced) {
                if (!lookedAgain)
                    --number; // someone else made it meanwhile: look at it once more
                continue;
            }
            result = created;
            outcome = result.Stored ? TOutcome::Done : TOutcome::Failed;
        }
        if (outcome == TOutcome::Done) {
            CurrentFile = path;
            result.Stored = true;
            if (!skipped.empty())
                result.Notice = (result.Notice.empty() ? "" : result.Notice + "\n") +
                                "The skyglow file " + skipped +
                                " has a different header and is left as it is; this night's "
                                "readings go to " +
                                path;
        }
        return result;
    }
    result.Notice = "Could not write a skyglow file for this night: " + night + " and " +
                    std::to_string(MaxFilesPerNight - 1) +
                    " files beside it all have different headers";
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
        result.Notice = std::string("The calibration (cx) could not be read for the header of ") +
                        path + ": " + e.what();
    }
    const std::string bytes = Joined(Header(reading, calibration)) + record;

    const auto fail = [&result, &path](int error) {
        result.Notice = (result.Notice.empty() ? "" : result.Notice + "\n") + Failure(path, error);
        return result;
    };
    const std::string temporary = TemporaryName(path);
    TPosixFile file;
    if (!file.Open(temporary, O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY, 0666))
        return fail(errno);
    int error = file.WriteAll(bytes);
    if (const int closeError = file.Close(); error == 0)
        error = closeError;
    if (error == 0 && ::link(temporary.c_str(), path.c_str()) != 0)
        error = errno;
    ::unlink(temporary.c_str());
    if (NoHardLinks(error)) {
        error = CreateInOneWrite(path, bytes);
    }
    if (error == EEXIST) {
        raced = true;
        return result;
    }
    if (error != 0)
        return fail(error);
    result.Stored = true;
    return result;
}
