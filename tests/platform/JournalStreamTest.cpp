#include "platform/JournalStream.h"

#include "tests/support/ScopedEnv.h"
#include "tests/support/TempFolder.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST(JournalStream, EachLineBeginsWithItsPriorityUntilAFlushAtALinesStart) {
    std::stringbuf journal;
    TJournalLineBuffer lines(journal);
    std::ostream err(&lines);
    err << TPriority::Error << "Could not connect.\nPlease verify the address." << std::endl;
    err << "unmarked" << std::endl;
    err << TPriority::Warning << "MQTT: " << std::flush << "the broker is down" << std::endl;
    err << TPriority::Info << "The meter answers again." << std::endl;
    EXPECT_EQ(journal.str(), "<3>Could not connect.\n"
                             "<3>Please verify the address.\n"
                             "<6>unmarked\n"
                             "<4>MQTT: the broker is down\n"
                             "<6>The meter answers again.\n");
}

TEST(JournalStream, OnAnyOtherStreamThePriorityWritesNothing) {
    std::ostringstream err;
    err << TPriority::Error << "Could not connect." << std::endl;
    EXPECT_EQ(err.str(), "Could not connect.\n");
}

TEST(JournalStream, TheStreamIsTheJournalsOnlyWhenDeviceAndInodeMatch) {
    const TTempFolder folder;
    const int fd = ::open(folder.File("stderr").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    struct stat status {};
    ASSERT_EQ(::fstat(fd, &status), 0);
    const std::string device = std::to_string(status.st_dev);
    const std::string inode = std::to_string(status.st_ino);
    const struct {
        std::optional<std::string> Value;
        bool Journal;
    } cases[] = {
        {device + ":" + inode, true},
        {std::nullopt, false},
        {"", false},
        {device + ":" + std::to_string(status.st_ino + 1), false},
        {std::to_string(status.st_dev + 1) + ":" + inode, false},
        {device + ":" + inode + "x", false},
        {device + inode, false},
    };
    const TScopedEnv saved("JOURNAL_STREAM", "");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Value.value_or("(unset)"));
        std::optional<TScopedEnv> stream;
        if (c.Value)
            stream.emplace("JOURNAL_STREAM", c.Value->c_str());
        else
            ::unsetenv("JOURNAL_STREAM");
        EXPECT_EQ(IsJournalStream(fd), c.Journal);
    }
    ::close(fd);
}

} // namespace
