#include "platform/RecordFile.h"

#include "platform/WholeFile.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

// A file system without hard links answers link(2) with one of these.
bool NoHardLinks(int error) {
    return error == EPERM || error == EOPNOTSUPP || error == ENOSYS;
}

// fdatasync and fsync of what cannot be flushed (a FIFO, a device, some file systems'
// folders): nothing to wait for.
bool Unsyncable(int error) {
    return error == EINVAL || error == EROFS;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string TemporaryName(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    return folder + "." + path.substr(slash + 1) + "." + std::to_string(::getpid()) + "." +
           std::to_string(counter++) + ".tmp";
}

} // namespace

ssize_t TRecordFileCalls::Write(int fd, const void* data, std::size_t size) const {
    ssize_t n = 0;
    do
        n = ::write(fd, data, size);
    while (n < 0 && errno == EINTR);
    return n;
}

int TRecordFileCalls::Link(const char* from, const char* to) const {
    return ::link(from, to);
}

int TRecordFileCalls::DataSync(int fd) const {
    return ::fdatasync(fd);
}

int TRecordFileCalls::FolderSync(int fd) const {
    return ::fsync(fd);
}

int TRecordFileCalls::Close(int fd) const {
    return ::close(fd);
}

const TRecordFileCalls& TRecordFileCalls::System() {
    static const TRecordFileCalls calls;
    return calls;
}

TRecordFile::TRecordFile(const TRecordFileCalls& calls) : Calls(calls) {}

int TRecordFile::Open(const std::string& path) {
    // Non-blocking while opening, so that a FIFO without a reader fails instead of waiting.
    if (!File.Open(path, O_WRONLY | O_APPEND | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW))
        return errno;
    const int status = ::fcntl(File.Get(), F_GETFL);
    if (status < 0 || ::fcntl(File.Get(), F_SETFL, status & ~O_NONBLOCK) != 0 ||
        ::fstat(File.Get(), &OpenStatus) != 0) {
        const int error = errno;
        File.Close();
        return error;
    }
    return 0;
}

int TRecordFile::ReadStart(std::size_t limit, std::string& text) const {
    // The descriptor is write-only: the same file is read through a second one.
    TPosixFile reader;
    if (!reader.Open("/proc/self/fd/" + std::to_string(File.Get()), O_RDONLY | O_NOCTTY))
        return errno;
    return ReadFileStart(reader.Get(), limit, text);
}

int TRecordFile::SyncAndClose(TPosixFile& file, bool& unsyncable) const {
    int error = 0;
    unsyncable = false;
    if (Calls.DataSync(file.Get()) != 0) {
        unsyncable = Unsyncable(errno);
        if (!unsyncable)
            error = errno;
    }
    const int fd = file.Release();
    if (Calls.Close(fd) != 0 && error == 0)
        error = errno; // Linux releases the descriptor even when close fails
    return error;
}

TRecordResult TRecordFile::Append(const std::string& record) {
    if (!File.IsOpen())
        return {ERecordStatus::Failed, EBADF};
    std::string bytes = record;
    if (IsRegular() && OpenStatus.st_size > 0) {
        TPosixFile reader;
        if (reader.Open("/proc/self/fd/" + std::to_string(File.Get()), O_RDONLY | O_NOCTTY)) {
            char c = '\n';
            if (::pread(reader.Get(), &c, 1, OpenStatus.st_size - 1) == 1 && c != '\n')
                bytes.insert(0, "\r\n");
        }
    }
    const ssize_t written = Calls.Write(File.Get(), bytes.data(), bytes.size());
    if (written != static_cast<ssize_t>(bytes.size())) {
        const int error = written < 0 ? errno : ENOSPC;
        struct stat now {};
        // Cut back only what this write added: when another writer got in, its record stays.
        if (written > 0 && IsRegular() && ::fstat(File.Get(), &now) == 0 &&
            now.st_size == OpenStatus.st_size + written &&
            ::ftruncate(File.Get(), OpenStatus.st_size) != 0) {
            // The failure is reported all the same.
        }
        File.Close();
        return {ERecordStatus::Failed, error};
    }
    bool unsyncable = false;
    if (const int error = SyncAndClose(File, unsyncable); error != 0)
        return {ERecordStatus::Uncertain, error};
    return {ERecordStatus::Stored, 0};
}

int TRecordFile::SyncFolder(const std::string& path) const {
    TPosixFile folder;
    if (!folder.Open(FolderOf(path), O_RDONLY | O_DIRECTORY | O_NOCTTY))
        return errno;
    if (Calls.FolderSync(folder.Get()) != 0 && !Unsyncable(errno))
        return errno;
    return 0;
}

TRecordResult TRecordFile::Create(const std::string& path, const std::string& bytes) {
    const std::string temporary = TemporaryName(path);
    TPosixFile file;
    if (!file.Open(temporary, O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_NOFOLLOW, 0666))
        return {ERecordStatus::Failed, errno};
    int error = 0;
    const ssize_t written = Calls.Write(file.Get(), bytes.data(), bytes.size());
    if (written != static_cast<ssize_t>(bytes.size()))
        error = written < 0 ? errno : ENOSPC;
    bool unsyncable = false;
    if (const int closeError = SyncAndClose(file, unsyncable); error == 0)
        error = closeError;
    if (error == 0 && Calls.Link(temporary.c_str(), path.c_str()) != 0)
        error = errno;
    ::unlink(temporary.c_str());
    if (NoHardLinks(error))
        return CreateInPlace(path, bytes);
    if (error == EEXIST)
        return {ERecordStatus::Exists, 0};
    if (error != 0)
        return {ERecordStatus::Failed, error};
    if (const int folderError = SyncFolder(path); folderError != 0)
        return {ERecordStatus::Uncertain, folderError};
    return {ERecordStatus::Stored, 0};
}

// For a file system without hard links: created exclusively and written in one write(2);
// removed again when that fails.
TRecordResult TRecordFile::CreateInPlace(const std::string& path, const std::string& bytes) {
    TPosixFile file;
    if (!file.Open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_NOFOLLOW, 0666))
        return {errno == EEXIST ? ERecordStatus::Exists : ERecordStatus::Failed, errno};
    int error = 0;
    const ssize_t written = Calls.Write(file.Get(), bytes.data(), bytes.size());
    if (written != static_cast<ssize_t>(bytes.size()))
        error = written < 0 ? errno : ENOSPC;
    if (error != 0) {
        file.Close();
        ::unlink(path.c_str());
        return {ERecordStatus::Failed, error};
    }
    bool unsyncable = false;
    if (const int closeError = SyncAndClose(file, unsyncable); closeError != 0)
        return {ERecordStatus::Uncertain, closeError};
    if (const int folderError = SyncFolder(path); folderError != 0)
        return {ERecordStatus::Uncertain, folderError};
    return {ERecordStatus::Stored, 0};
}
