#include "history/LineFile.h"

#include "platform/Exception.h"
#include "platform/PosixFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

Exception Failure(const std::string& fileName, const std::string& reason) {
    return Exception("Could not read " + fileName + ": " + reason);
}

std::string KindOf(mode_t mode) {
    if (S_ISDIR(mode))
        return "it is a folder, not a file";
    if (S_ISFIFO(mode))
        return "it is a pipe (FIFO), not a regular file";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "it is a device, not a regular file";
    if (S_ISSOCK(mode))
        return "it is a socket, not a regular file";
    return "it is not a regular file";
}

void CheckRegular(const std::string& fileName, const struct stat& status) {
    if (!S_ISREG(status.st_mode))
        throw Failure(fileName, KindOf(status.st_mode));
}

} // namespace

std::size_t RegularFileSize(const std::string& fileName) {
    struct stat status {};
    if (::stat(fileName.c_str(), &status) != 0)
        throw Failure(fileName, std::strerror(errno));
    CheckRegular(fileName, status);
    return std::size_t(status.st_size);
}

void ReadFileLines(
    const std::string& fileName,
    const std::function<bool(std::string_view line, std::size_t number, bool cut)>& onLine,
    std::size_t maxLine) {
    // Looked at before opening, so that opening a FIFO never waits for a writer; O_NONBLOCK
    // covers a FIFO swapped in between.
    RegularFileSize(fileName);
    TPosixFile file;
    if (!file.Open(fileName, O_RDONLY | O_NOCTTY | O_NONBLOCK))
        throw Failure(fileName, std::strerror(errno));
    struct stat status {};
    if (::fstat(file.Get(), &status) != 0)
        throw Failure(fileName, std::strerror(errno));
    CheckRegular(fileName, status);

    constexpr std::size_t ChunkSize = 1 << 20;
    std::vector<char> chunk(ChunkSize);
    std::string pending; // the start of a line that runs past the chunk, at most maxLine
    bool cut = false;    // pending was cut
    std::size_t number = 0;
    const auto deliver = [&](std::string_view line, bool lineCut) {
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        return onLine(line, ++number, lineCut);
    };
    for (;;) {
        const ssize_t got = ::read(file.Get(), chunk.data(), chunk.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw Failure(fileName, std::strerror(errno));
        if (got == 0)
            break;
        std::string_view rest(chunk.data(), std::size_t(got));
        for (;;) {
            const std::size_t lineFeed = rest.find('\n');
            if (lineFeed == std::string_view::npos) {
                const std::size_t room = maxLine + 1 - std::min(pending.size(), maxLine + 1);
                if (rest.size() > room)
                    cut = true;
                pending.append(rest.substr(0, std::min(room, rest.size())));
                break;
            }
            std::string_view line = rest.substr(0, lineFeed);
            rest.remove_prefix(lineFeed + 1);
            bool going;
            if (pending.empty() && !cut) {
                going = line.size() > maxLine + 1 ? deliver(line.substr(0, maxLine), true)
                                                  : deliver(line, false);
            } else {
                const std::size_t room = maxLine + 1 - std::min(pending.size(), maxLine + 1);
                if (line.size() > room)
                    cut = true;
                pending.append(line.substr(0, std::min(room, line.size())));
                going = deliver(pending, cut);
                pending.clear();
                cut = false;
            }
            if (!going)
                return;
        }
    }
    if (!pending.empty() || cut)
        deliver(pending, cut);
}
