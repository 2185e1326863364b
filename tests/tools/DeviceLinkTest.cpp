#include "tools/sim/DeviceLink.h"

#include "tests/support/TempFolder.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

namespace fs = std::filesystem;

class DeviceLinkFolder : public testing::Test {
protected:
    TTempFolder Temp;
    const fs::path Folder = Temp.GetPath();
};

TEST_F(DeviceLinkFolder, NamesTheDeviceWhileItLives) {
    const fs::path link = Folder / "sqm-lu";
    {
        TDeviceLink named(link, "/dev/pts/7");
        ASSERT_TRUE(fs::is_symlink(link));
        EXPECT_EQ(fs::read_symlink(link), "/dev/pts/7");
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

TEST_F(DeviceLinkFolder, ReplacesAnOldLink) {
    const fs::path link = Folder / "sqm-lu";
    fs::create_symlink("/dev/pts/3", link);
    TDeviceLink named(link, "/dev/pts/7");
    EXPECT_EQ(fs::read_symlink(link), "/dev/pts/7");
    EXPECT_EQ(std::distance(fs::directory_iterator(Folder), fs::directory_iterator()), 1);
}

TEST_F(DeviceLinkFolder, LeavesAFileOfThatNameAlone) {
    const fs::path file = Folder / "notes.txt";
    std::ofstream(file) << "keep me";
    EXPECT_THROW(TDeviceLink(file, "/dev/pts/7"), std::runtime_error);
    std::ifstream in(file);
    std::string text;
    std::getline(in, text);
    EXPECT_EQ(text, "keep me");
}

TEST_F(DeviceLinkFolder, LeavesALinkThatSomeoneElseHasTakenOver) {
    const fs::path link = Folder / "sqm-lu";
    {
        TDeviceLink named(link, "/dev/pts/7");
        fs::remove(link);
        fs::create_symlink("/dev/pts/9", link); // a second simulator took the name
    }
    EXPECT_EQ(fs::read_symlink(link), "/dev/pts/9");
}

TEST_F(DeviceLinkFolder, FailsInAFolderThatDoesNotExist) {
    EXPECT_THROW(TDeviceLink(Folder / "missing" / "sqm-lu", "/dev/pts/7"), std::runtime_error);
}

} // namespace
