// One table of concurrent-writer and fault cases, run against both record formats: the
// readings file and the skyglow file.

#include "core/Reading.h"
#include "core/ReadingsFile.h"
#include "core/Versioninfo.h"
#include "platform/RecordFile.h"
#include "sharing/SharedReading.h"
#include "sharing/SkyglowWriter.h"
#include "tests/support/StoredLink.h"
#include "tests/support/TempFolder.h"
#include "tests/support/UiRecorder.h"
#include "tools/sim/MeterReplies.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The record file's system calls with faults put in where a case asks for them.
class TFaultyCalls : public TRecordFileCalls {
public:
    // When set, a write stores only this many bytes and reports a short write.
    std::optional<std::size_t> ShortWrite;
    int WriteError = 0;                // a write fails at once with this errno
    int LinkError = 0;                 // link(2) fails with this errno
    int SyncError = 0;                 // fdatasync fails with this errno
    int CloseError = 0;                // close(2) closes, then reports this errno
    std::function<void()> DuringWrite; // runs after the partial bytes of a short write
    std::function<void()> BeforeLink;

    ssize_t Write(int fd, const void* data, std::size_t size) const override {
        if (WriteError != 0) {
            errno = WriteError;
            return -1;
        }
        if (ShortWrite && *ShortWrite < size) {
            const ssize_t n = TRecordFileCalls::Write(fd, data, *ShortWrite);
            if (DuringWrite)
                DuringWrite();
            return n;
        }
        return TRecordFileCalls::Write(fd, data, size);
    }
    int Link(const char* from, const char* to) const override {
        if (BeforeLink)
            BeforeLink();
        if (LinkError != 0) {
            errno = LinkError;
            return -1;
        }
        return TRecordFileCalls::Link(from, to);
    }
    int DataSync(int fd) const override {
        if (SyncError != 0) {
            errno = SyncError;
            return -1;
        }
        return TRecordFileCalls::DataSync(fd);
    }
    int Close(int fd) const override {
        const int closed = TRecordFileCalls::Close(fd);
        if (CloseError != 0) {
            errno = CloseError;
            return -1;
        }
        return closed;
    }
};

struct TWritten {
    bool Stored = false;
    std::string Notice;
};

void SetReading(TStoredLink& link, int minute) {
    TMeterOptions options;
    options.SerialNumber = 1234;
    const TMeterReplies replies(options);
    link.ReadingReply = replies.ReadingLine(19.5 + minute / 100.0, 5.3);
    link.UnitInfoReply = replies.UnitInfoLine();
    link.ReadingTime = EncodeDateTime(2026, 12, 9, 22, minute, 0, 0);
}

class TReadingsFormat {
public:
    explicit TReadingsFormat(std::string folder) : Name(folder + "/readings.csv") {}
    std::string FileName() const { return Name; }
    TWritten Write(int minute, const TRecordFileCalls& calls = TRecordFileCalls::System()) {
        TStoredLink link;
        SetReading(link, minute);
        const TSaveResult result =
            SaveReadingToFile(Name, ReadingOf(link), TVersionInfo(std::string()), calls);
        return {result.Stored, result.Notice.Text};
    }

private:
    std::string Name;
};

class TSkyglowFormat {
public:
    explicit TSkyglowFormat(std::string folder) : Folder(std::move(folder)) {}
    std::string FileName() const { return Folder + "/20261209_120000_SQM-LE-Dark_Site.dat"; }
    TWritten Write(int minute, const TRecordFileCalls& calls = TRecordFileCalls::System()) {
        TSkyglowSettings settings;
        settings.Folder = Folder;
        settings.TimeZone = "UTC";
        TSkyglowWriter writer(
            settings, TSite{"Dark Site", TPosition{52.25, -8.36, 80.0}}, "SQM-LE",
            [] { return std::string("c,00000019.84m,0000051.0s"); }, calls);
        TStoredLink link;
        SetReading(link, minute);
        const TSkyglowResult result = writer.Write(
            ReadSharedReading(ReadingOf(link), EncodeDateTime(2026, 12, 9, 21, minute, 0, 0)));
        return {result.Stored, result.Notice.Text};
    }

private:
    std::string Folder;
};

std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

template <typename TFormat>
class RecordFaults : public testing::Test {
protected:
    TTempFolder Folder;
    TFormat Format{Folder.GetPath()};
    TTempFolder ReferenceFolder;
    TUiRecorder Ui;

    // The file as clean writes of these minutes make it.
    std::string Reference(std::initializer_list<int> minutes) {
        TFormat reference(ReferenceFolder.GetPath());
        std::filesystem::remove(reference.FileName());
        for (int minute : minutes)
            EXPECT_TRUE(reference.Write(minute).Stored);
        return ReadBytes(reference.FileName());
    }
};

using Formats = testing::Types<TReadingsFormat, TSkyglowFormat>;
class FormatNames {
public:
    template <typename T>
    static std::string GetName(int) {
        return std::is_same_v<T, TReadingsFormat> ? "ReadingsFile" : "SkyglowFile";
    }
};
TYPED_TEST_SUITE(RecordFaults, Formats, FormatNames);

TYPED_TEST(RecordFaults, AnAppendThatFailsLeavesTheFileAsItWas) {
    struct TCase {
        const char* Name;
        std::function<void(TFaultyCalls&)> Fault;
    };
    const std::vector<TCase> cases = {
        {"a torn write", [](TFaultyCalls& c) { c.ShortWrite = 9; }},
        {"a full disk", [](TFaultyCalls& c) { c.WriteError = ENOSPC; }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        std::filesystem::remove(this->Format.FileName());
        ASSERT_TRUE(this->Format.Write(0).Stored);
        const std::string before = ReadBytes(this->Format.FileName());
        TFaultyCalls calls;
        c.Fault(calls);
        const TWritten failed = this->Format.Write(1, calls);
        EXPECT_FALSE(failed.Stored);
        EXPECT_NE(failed.Notice.find(this->Format.FileName()), std::string::npos) << failed.Notice;
        EXPECT_EQ(ReadBytes(this->Format.FileName()), before);
        ASSERT_TRUE(this->Format.Write(2).Stored);
        EXPECT_EQ(ReadBytes(this->Format.FileName()), this->Reference({0, 2}));
    }
}

TYPED_TEST(RecordFaults, ACreateThatFailsLeavesNothingBehind) {
    for (const int error : {ENOSPC, EIO}) {
        TFaultyCalls calls;
        calls.WriteError = error;
        EXPECT_FALSE(this->Format.Write(0, calls).Stored);
        EXPECT_EQ(Entries(this->Folder.GetPath()), std::vector<std::string>{});
    }
    TFaultyCalls syncFails;
    syncFails.SyncError = EIO;
    EXPECT_FALSE(this->Format.Write(0, syncFails).Stored) << "not linked when not flushed";
    EXPECT_EQ(Entries(this->Folder.GetPath()), std::vector<std::string>{});
    ASSERT_TRUE(this->Format.Write(1).Stored);
    EXPECT_EQ(ReadBytes(this->Format.FileName()), this->Reference({1}));
}

// Another writer appends while this one's write is cut short: its record is not cut
// away with the torn one, and the next record starts a line of its own.
TYPED_TEST(RecordFaults, ATornWriteIsNotCutBackOverAnotherWritersRecord) {
    ASSERT_TRUE(this->Format.Write(0).Stored);
    TFaultyCalls calls;
    calls.ShortWrite = 9;
    calls.DuringWrite = [this] { ASSERT_TRUE(TypeParam(this->Folder.GetPath()).Write(5).Stored); };
    EXPECT_FALSE(this->Format.Write(1, calls).Stored);
    const std::string withBoth = this->Reference({0, 5});
    const std::string bytes = ReadBytes(this->Format.FileName());
    const std::string otherRecord = withBoth.substr(withBoth.rfind('\n', withBoth.size() - 2) + 1);
    ASSERT_GT(bytes.size(), otherRecord.size());
    EXPECT_EQ(bytes.substr(bytes.size() - otherRecord.size()), otherRecord);
    ASSERT_TRUE(this->Format.Write(2).Stored);
    const std::string after = ReadBytes(this->Format.FileName());
    EXPECT_EQ(after.substr(0, bytes.size()), bytes);
    const std::string lastRecord = this->Reference({2});
    const std::string last = lastRecord.substr(lastRecord.rfind('\n', lastRecord.size() - 2) + 1);
    EXPECT_EQ(after.substr(bytes.size()), last) << "a line of its own";
}

// A second writer creates the file between this one's temporary file and its link: this one
// appends to it, and the file has one header.
TYPED_TEST(RecordFaults, ASecondWriterCreatingTheFileFirstIsAppendedTo) {
    TFaultyCalls calls;
    calls.BeforeLink = [this] {
        TFaultyCalls none;
        ASSERT_TRUE(TypeParam(this->Folder.GetPath()).Write(0).Stored);
    };
    const TWritten written = this->Format.Write(1, calls);
    EXPECT_TRUE(written.Stored) << written.Notice;
    EXPECT_EQ(ReadBytes(this->Format.FileName()), this->Reference({0, 1}));
    EXPECT_EQ(Entries(this->Folder.GetPath()).size(), 1u) << "no temporary file left";
}

TYPED_TEST(RecordFaults, WithoutHardLinksTheFileIsCreatedInPlace) {
    for (const int error : {EPERM, EOPNOTSUPP, ENOSYS}) {
        std::filesystem::remove(this->Format.FileName());
        TFaultyCalls calls;
        calls.LinkError = error;
        const TWritten written = this->Format.Write(0, calls);
        EXPECT_TRUE(written.Stored) << written.Notice;
        EXPECT_EQ(ReadBytes(this->Format.FileName()), this->Reference({0}));
        EXPECT_EQ(Entries(this->Folder.GetPath()).size(), 1u);
    }
}

// Killed between writing the temporary file and linking it: the file does not appear, and
// the next reading creates it whole.
TYPED_TEST(RecordFaults, AWriterKilledWhileCreatingLeavesNoFile) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        TFaultyCalls calls;
        calls.BeforeLink = [] { ::_exit(9); };
        this->Format.Write(0, calls);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 9);
    EXPECT_FALSE(std::filesystem::exists(this->Format.FileName()));
    ASSERT_TRUE(this->Format.Write(1).Stored);
    EXPECT_EQ(ReadBytes(this->Format.FileName()), this->Reference({1}));
}

// The record is in the file, but flushing or closing it failed: told as a reading that may
// not be on the disk, never as one that was not saved.
TYPED_TEST(RecordFaults, AFlushOrCloseThatFailsAfterTheWriteIsToldAsMaybeNotOnTheDisk) {
    ASSERT_TRUE(this->Format.Write(0).Stored);
    for (const bool closing : {false, true}) {
        std::filesystem::remove(this->Format.FileName());
        ASSERT_TRUE(this->Format.Write(0).Stored);
        TFaultyCalls calls;
        (closing ? calls.CloseError : calls.SyncError) = EIO;
        const TWritten written = this->Format.Write(1, calls);
        EXPECT_TRUE(written.Stored);
        EXPECT_NE(written.Notice.find("may not be on the disk: Input/output error"),
                  std::string::npos)
            << written.Notice;
        EXPECT_EQ(written.Notice.find("Could not"), std::string::npos) << written.Notice;
        EXPECT_EQ(ReadBytes(this->Format.FileName()), this->Reference({0, 1}));
    }
}

TEST(FileNotices, AnErrorBeepsAndIsShownAWarningIsShown) {
    TUiRecorder ui;
    PresentFileNotice({ENoticeSeverity::Error, "Could not save reading to x"});
    PresentFileNotice({ENoticeSeverity::Warning, "The reading may not be on the disk."});
    PresentFileNotice({});
    EXPECT_EQ(ui.Events,
              (std::vector<std::string>{"Beep", "ShowMessage: Could not save reading to x",
                                        "ShowMessage: The reading may not be on the disk."}));
}

} // namespace
