#pragma once

#include "platform/PosixFile.h"

#include <cstddef>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>

// The system calls a record file makes where a failure must be survived; a test gives its
// own to inject faults (a short write, a full disk, a failed link, EIO on close). Each
// returns what the system call returns and sets errno as it does.
class TRecordFileCalls {
public:
    virtual ~TRecordFileCalls() = default;
    virtual ssize_t Write(int fd, const void* data, std::size_t size) const;
    virtual int Link(const char* from, const char* to) const;
    virtual int DataSync(int fd) const;
    virtual int FolderSync(int fd) const;
    virtual int Close(int fd) const;

    // The real system calls.
    static const TRecordFileCalls& System();
};

// What became of a record.
enum class ERecordStatus {
    Stored,    // in the file and flushed to the device
    Uncertain, // written to the file, but the flush or the close failed: it may not be on
               // the disk
    Exists,    // Create only: the name was taken meanwhile, nothing was written
    Failed,    // not in the file; the file is as it was (see Append for a second writer)
};

struct TRecordResult {
    ERecordStatus Status = ERecordStatus::Failed;
    int Error = 0; // the errno of what failed (Uncertain, Failed)
};

// A file of text records, each ending in a line end, written so that a crash or a power cut
// at any instant never leaves a torn record and never loses one that was reported stored.
//
// Create: the header and the first record are written under a hidden temporary name in the
// same folder, flushed (fdatasync), closed and linked into place, then the folder is
// flushed (fsync), so that the file appears complete or not at all; of several writers
// creating it at once exactly one does (Exists for the others, which then append). On a
// file system without hard links the file is created exclusively and written in one write.
//
// Append: one write(2) to a descriptor opened O_APPEND, then fdatasync; when the file's last
// byte is not a line feed, CR LF goes first. A write that fails partway (a full disk) is cut
// back to the old length, unless another writer appended meanwhile: then the partial record
// stays, and the next record starts a line of its own.
//
// A symbolic link at the file's name is never followed (ELOOP).
class TRecordFile {
public:
    explicit TRecordFile(const TRecordFileCalls& calls = TRecordFileCalls::System());

    // Opens an existing file for appending. Returns 0 or an errno: ENOENT when there is no
    // file, ELOOP for a symbolic link at the name; a FIFO without a reader fails (ENXIO)
    // instead of waiting.
    int Open(const std::string& path);
    const struct stat& Status() const { return OpenStatus; }
    bool IsRegular() const { return S_ISREG(OpenStatus.st_mode); }
    // The open file is the one identified by st (device and inode).
    bool IsSameFile(const struct stat& st) const {
        return st.st_dev == OpenStatus.st_dev && st.st_ino == OpenStatus.st_ino;
    }
    // Up to limit bytes from the start of the open file. Returns 0 or an errno.
    int ReadStart(std::size_t limit, std::string& text) const;
    // Appends record (which ends in its line end) to the open file and closes it.
    TRecordResult Append(const std::string& record);

    // Creates path with bytes (header and first record) in it; see above.
    TRecordResult Create(const std::string& path, const std::string& bytes);

private:
    TRecordResult CreateInPlace(const std::string& path, const std::string& bytes);
    int SyncAndClose(TPosixFile& file, bool& unsyncable) const;
    int SyncFolder(const std::string& path) const;

    const TRecordFileCalls& Calls;
    TPosixFile File;
    struct stat OpenStatus {};
};
