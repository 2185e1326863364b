#include "platform/Folders.h"

#include "platform/Exception.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempFolder.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

TEST(Folders, TellFilesFromFolders) {
    TTempFolder folder;
    WriteBytes(folder.File("a.txt"), "x");
    EXPECT_TRUE(FileExists(folder.File("a.txt")));
    EXPECT_FALSE(DirectoryExists(folder.File("a.txt")));
    EXPECT_TRUE(DirectoryExists(folder.GetPath()));
    EXPECT_FALSE(FileExists(folder.GetPath()));
    EXPECT_FALSE(FileExists(folder.File("missing")));
    EXPECT_FALSE(FileExists(""));
    EXPECT_FALSE(DirectoryExists(""));
}

TEST(Folders, ForceDirectoriesMakesEveryMissingParent) {
    TTempFolder folder;
    const std::string deep = folder.File("Corvatek/Nightlux/3.0");
    ForceDirectories(deep);
    EXPECT_TRUE(DirectoryExists(deep));
    ForceDirectories(deep + "/"); // existing, with a trailing delimiter
    EXPECT_TRUE(DirectoryExists(deep));
}

TEST(Folders, ForceDirectoriesFailsWithAReason) {
    TTempFolder folder;
    WriteBytes(folder.File("file"), "x");
    EXPECT_THROW(ForceDirectories(""), Exception);
    try {
        ForceDirectories(folder.File("file/sub"));
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Unable to create directory \"" + folder.File("file/sub") +
                                   "\": Not a directory");
    }
    EXPECT_THROW(ForceDirectories(folder.File("file")), Exception);
}

TEST(Folders, AnAccountHomeThatIsTheRootOrMissingIsNone) {
    TTempFolder home;
    const struct {
        std::string Home, Usable;
    } cases[] = {{"/", ""},
                 {"//", ""},
                 {"", ""},
                 {home.File("missing"), ""},
                 {home.GetPath(), home.GetPath()}};
    for (const auto& c : cases)
        EXPECT_EQ(UsableAccountHome(c.Home), c.Usable) << c.Home;
}

// HOME unset (or empty) and an account home that is none: no configuration folder, never
// "/.config"; the message names the variables that give one.
TEST(Folders, WithoutAnyHomeThereIsNoConfigurationFolder) {
    TTempFolder home;
    const TScopedEnv config("XDG_CONFIG_HOME", "");
    for (const bool unset : {false, true}) {
        const TScopedEnv variable("HOME", "");
        if (unset)
            ::unsetenv("HOME");
        for (const std::string& account :
             {std::string("/"), std::string(""), home.File("nonexistent")})
            EXPECT_EQ(UserConfigFolder(account), "") << account;
        EXPECT_EQ(UserConfigFolder(home.GetPath()), home.GetPath() + "/.config");
    }
    {
        const TScopedEnv variable("HOME", home.GetPath().c_str());
        EXPECT_EQ(UserConfigFolder("/"), home.GetPath() + "/.config");
    }
    EXPECT_EQ(NoConfigFolderMessage(),
              "There is no folder for the settings: HOME is not set and the account has no "
              "home folder. Set HOME (or XDG_CONFIG_HOME) to a folder where the settings may "
              "be kept.");
}

} // namespace
