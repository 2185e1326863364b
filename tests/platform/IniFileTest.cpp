#include "platform/IniFile.h"

#include "tests/support/RowName.h"
#include "tests/support/TempFolder.h"

#include <climits>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class IniFileTest : public testing::Test {
protected:
    TTempFolder Folder;
    std::string Name = Folder.File("nightlux.ini");
    TIniFile Ini{Name};

    // Names of the folder's entries, sorted.
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(Folder.GetPath()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(IniFileTest, WritesTheSettingsKeysInOrderAndReadsThemBack) {
    const std::string config =
        "\"SQM0\", \"LE (Ethernet)\", 192.168.1.10, 10001, 8000, COM1, 115200";
    Ini.WriteString("SQM", "Config-1", config);
    Ini.WriteString("SQM", "Timer", "15");
    Ini.WriteBool("SQM", "Store", true);
    Ini.WriteString("SQM", "File", "/home/ann/Documents/Nightlux 3/readings.csv");
    Ini.WriteString("SQM", "Style", "Slate Classico");

    EXPECT_EQ(ReadBytes(Name), "[SQM]\n"
                               "Config-1=" +
                                   config +
                                   "\n"
                                   "Timer=15\n"
                                   "Store=1\n"
                                   "File=/home/ann/Documents/Nightlux 3/readings.csv\n"
                                   "Style=Slate Classico\n");
    EXPECT_EQ(Ini.ReadString("SQM", "Config-1", ""), config);
    EXPECT_EQ(Ini.ReadInteger("SQM", "Timer", 0), 15);
    EXPECT_TRUE(Ini.ReadBool("SQM", "Store", false));
    EXPECT_EQ(Ini.ReadString("SQM", "File", ""), "/home/ann/Documents/Nightlux 3/readings.csv");
    EXPECT_EQ(Ini.ReadString("SQM", "Style", ""), "Slate Classico");
    EXPECT_EQ(Entries(), std::vector<std::string>{"nightlux.ini"}) << "no temporary file left";
}

TEST_F(IniFileTest, MissingFileSectionOrKeyGivesTheDefault) {
    EXPECT_EQ(Ini.ReadString("SQM", "Style", "none"), "none");
    EXPECT_EQ(Ini.ReadInteger("SQM", "Timer", 15), 15);
    EXPECT_TRUE(Ini.ReadBool("SQM", "Store", true));
    WriteBytes(Name, "[Other]\nStyle=Glow\n");
    EXPECT_EQ(Ini.ReadString("SQM", "Style", "none"), "none");
    WriteBytes(Name, "[SQM]\nTimer=5\n");
    EXPECT_EQ(Ini.ReadString("SQM", "Style", "none"), "none");
    EXPECT_FALSE(fs::exists(Folder.File("other.ini")));
}

TEST_F(IniFileTest, FindsSectionsAndKeysWithoutRegardToCaseAndReadsCrLf) {
    WriteBytes(Name, "; comment\r\n[sqm]\r\n  TIMER = 20 \r\nstyle=Night Vision\r\n");
    EXPECT_EQ(Ini.ReadInteger("SQM", "Timer", 15), 20);
    EXPECT_EQ(Ini.ReadString("Sqm", "STYLE", ""), "Night Vision");
}

TEST_F(IniFileTest, ValuesAreTakenFromTheFirstMatchingSection) {
    WriteBytes(Name, "[A]\nKey=a\n[SQM]\nKey=1\n[B]\nKey=b\n");
    EXPECT_EQ(Ini.ReadString("SQM", "Key", ""), "1");
    EXPECT_EQ(Ini.ReadString("B", "Key", ""), "b");
}

struct IntegerCase {
    std::string Name;
    std::string Text;
    int Expected; // -99 is the default
};

class IniInteger : public IniFileTest, public testing::WithParamInterface<IntegerCase> {};

TEST_P(IniInteger, ReadsDecimalAndHexadecimal) {
    WriteBytes(Name, "[SQM]\nTimer=" + GetParam().Text + "\n");
    EXPECT_EQ(Ini.ReadInteger("SQM", "Timer", -99), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniInteger,
    testing::Values(IntegerCase{"Decimal", "20", 20}, IntegerCase{"Negative", "-5", -5},
                    IntegerCase{"Plus", "+7", 7}, IntegerCase{"Hexadecimal", "0x1F", 31},
                    IntegerCase{"HexadecimalUpperX", "0X10", 16},
                    IntegerCase{"HexadecimalAllBits", "0xFFFFFFFF", -1},
                    IntegerCase{"HexadecimalTooLong", "0x100000000", -99},
                    IntegerCase{"HexadecimalWithoutDigits", "0x", -99},
                    IntegerCase{"HexadecimalBadDigit", "0x1G", -99},
                    IntegerCase{"Smallest", "-2147483648", INT_MIN},
                    IntegerCase{"TooLarge", "2147483648", -99}, IntegerCase{"Letters", "abc", -99},
                    IntegerCase{"TrailingLetters", "12abc", -99}, IntegerCase{"Empty", "", -99},
                    IntegerCase{"SignAlone", "-", -99}, IntegerCase{"Fraction", "1.5", -99},
                    IntegerCase{"Quoted", "\"42\"", 42}),
    RowName());

TEST_F(IniFileTest, BoolIsAnIntegerThatIsNotZero) {
    WriteBytes(Name, "[SQM]\nA=1\nB=0\nC=2\nD=abc\n");
    EXPECT_TRUE(Ini.ReadBool("SQM", "A", false));
    EXPECT_FALSE(Ini.ReadBool("SQM", "B", true));
    EXPECT_TRUE(Ini.ReadBool("SQM", "C", false));
    EXPECT_TRUE(Ini.ReadBool("SQM", "D", true));
    EXPECT_FALSE(Ini.ReadBool("SQM", "D", false));
}

TEST_F(IniFileTest, QuotesAroundAWholeValueAreRemoved) {
    WriteBytes(Name, "[SQM]\nFile=\"/tmp/my readings.csv\"\nHalf=\"abc\nEmpty=\"\"\nOne=\"\n"
                     "Inner=a \"b\" c\n");
    EXPECT_EQ(Ini.ReadString("SQM", "File", ""), "/tmp/my readings.csv");
    EXPECT_EQ(Ini.ReadString("SQM", "Half", ""), "\"abc");
    EXPECT_EQ(Ini.ReadString("SQM", "Empty", "x"), "");
    EXPECT_EQ(Ini.ReadString("SQM", "One", ""), "\"");
    EXPECT_EQ(Ini.ReadString("SQM", "Inner", ""), "a \"b\" c");
}

TEST_F(IniFileTest, ValuesAreWrittenAsTheyStand) {
    Ini.WriteString("SQM", "File", "\"quoted\"");
    EXPECT_EQ(ReadBytes(Name), "[SQM]\nFile=\"quoted\"\n");
}

TEST_F(IniFileTest, ReadsAtMost2047CharactersOfAValue) {
    const std::string longValue(3000, 'a');
    Ini.WriteString("SQM", "File", longValue);
    EXPECT_EQ(ReadBytes(Name), "[SQM]\nFile=" + longValue + "\n") << "written in full";
    EXPECT_EQ(Ini.ReadString("SQM", "File", ""), std::string(2047, 'a'));

    // Characters, not bytes: a two-byte character is the 2047th.
    const std::string wide = std::string(2046, 'a') + "\xC3\xA9" + "bc";
    Ini.WriteString("SQM", "File", wide);
    EXPECT_EQ(Ini.ReadString("SQM", "File", ""), std::string(2046, 'a') + "\xC3\xA9");
}

TEST_F(IniFileTest, AWriteKeepsEverythingElse) {
    WriteBytes(Name, "\xEF\xBB\xBF; my settings\r\n"
                     "[Window]\r\nLeft=10\r\n\r\n"
                     "[sqm]\r\ntimer=5\r\nStore=0\r\n\r\n"
                     "[Other]\r\nTimer=7\r\n");
    Ini.WriteString("SQM", "Timer", "20");
    Ini.WriteString("SQM", "Style", "Glow");
    Ini.WriteString("New", "Key", "v");
    EXPECT_EQ(ReadBytes(Name), "\xEF\xBB\xBF; my settings\r\n"
                               "[Window]\r\nLeft=10\r\n\r\n"
                               "[sqm]\r\nTimer=20\r\nStore=0\r\nStyle=Glow\r\n\r\n"
                               "[Other]\r\nTimer=7\r\n"
                               "[New]\r\nKey=v\r\n");
    EXPECT_EQ(Ini.ReadInteger("Other", "Timer", 0), 7);
}

TEST_F(IniFileTest, AFileWithoutAFinalLineEndGetsOne) {
    WriteBytes(Name, "[SQM]\nTimer=5");
    Ini.WriteString("SQM", "Store", "1");
    EXPECT_EQ(ReadBytes(Name), "[SQM]\nTimer=5\nStore=1\n");
}

struct LineEndCase {
    const char* Name;
    std::string Before;
    std::string After; // once Timer=20 is written
};

class IniLineEnds : public IniFileTest, public testing::WithParamInterface<LineEndCase> {};

TEST_P(IniLineEnds, LinesNotChangedKeepTheirBytes) {
    WriteBytes(Name, GetParam().Before);
    Ini.WriteString("SQM", "Timer", "20");
    EXPECT_EQ(ReadBytes(Name), GetParam().After);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniLineEnds,
    testing::Values(
        LineEndCase{"CrCrLfInALfFile", "[SQM]\nA=1\r\r\nTimer=5\n", "[SQM]\nA=1\r\r\nTimer=20\n"},
        LineEndCase{"CrCrLfInACrLfFile", "[SQM]\r\nA=1\r\r\nTimer=5\r\n",
                    "[SQM]\r\nA=1\r\r\nTimer=20\r\n"},
        LineEndCase{"CrLfInALfFile", "[SQM]\nA=1\r\nTimer=5\n", "[SQM]\nA=1\r\nTimer=20\n"},
        LineEndCase{"LfInACrLfFile", "[SQM]\r\nA=1\nTimer=5\r\n", "[SQM]\r\nA=1\nTimer=20\r\n"},
        // The changed line keeps its own end; an added line takes the first line's.
        LineEndCase{"ChangedLineKeepsItsEnd", "[SQM]\nTimer=5\r\n", "[SQM]\nTimer=20\r\n"},
        // Found by fuzzing: a CR alone at the very end is no line end of its own.
        LineEndCase{"LastLineEndsInCrAlone", "[SQM]\nA=1\r", "[SQM]\nA=1\nTimer=20\n"},
        LineEndCase{"LastLineEndsInSeveralCrs", "[SQM]\nA=1\r\r", "[SQM]\nA=1\nTimer=20\n"},
        LineEndCase{"AddedLineTakesTheFirstLinesEnd", "[SQM]\r\nA=1\n",
                    "[SQM]\r\nA=1\nTimer=20\r\n"}),
    RowName());

TEST_F(IniFileTest, EachWriteReplacesTheFileInsteadOfChangingIt) {
    WriteBytes(Name, "[SQM]\nTimer=5\n");
    const std::string oldLink = Folder.File("old");
    fs::create_hard_link(Name, oldLink);
    Ini.WriteString("SQM", "Timer", "20");
    EXPECT_EQ(ReadBytes(oldLink), "[SQM]\nTimer=5\n") << "the old file was never touched";
    EXPECT_EQ(ReadBytes(Name), "[SQM]\nTimer=20\n");
}

TEST_F(IniFileTest, AReadOnlyFileKeepsItsOldContent) {
    WriteBytes(Name, "[SQM]\nTimer=5\n");
    ::chmod(Name.c_str(), 0444);
    EXPECT_THROW(Ini.WriteString("SQM", "Timer", "20"), EIniFileError);
    EXPECT_EQ(ReadBytes(Name), "[SQM]\nTimer=5\n");
    EXPECT_EQ(Entries(), std::vector<std::string>{"nightlux.ini"});
}

TEST_F(IniFileTest, KeepsThePermissionsOfTheFile) {
    WriteBytes(Name, "[SQM]\nTimer=5\n");
    ::chmod(Name.c_str(), 0640);
    Ini.WriteString("SQM", "Timer", "20");
    struct stat st {};
    ASSERT_EQ(::stat(Name.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(IniFileTest, AMissingFolderIsAnErrorAndNothingIsCreated) {
    TIniFile ini(Folder.File("missing/nightlux.ini"));
    EXPECT_THROW(ini.WriteString("SQM", "Timer", "20"), EIniFileError);
    EXPECT_TRUE(Entries().empty());
}

TEST_F(IniFileTest, AnEmptyFileNameIsAnError) {
    TIniFile ini("");
    EXPECT_EQ(ini.ReadString("SQM", "Timer", "none"), "none");
    EXPECT_THROW(ini.WriteString("SQM", "Timer", "20"), EIniFileError);
}

TEST_F(IniFileTest, ASymbolicLinkIsFollowed) {
    const std::string target = Folder.File("real.ini");
    WriteBytes(target, "[SQM]\nTimer=5\n");
    fs::create_symlink(target, Name);
    Ini.WriteString("SQM", "Timer", "20");
    EXPECT_TRUE(fs::is_symlink(Name));
    EXPECT_EQ(ReadBytes(target), "[SQM]\nTimer=20\n");
}

TEST_F(IniFileTest, SomethingOtherThanAFileIsNeitherReadNorReplaced) {
    ASSERT_EQ(::mkfifo(Name.c_str(), 0644), 0);
    EXPECT_EQ(Ini.ReadString("SQM", "Timer", "none"), "none") << "does not wait for a writer";
    EXPECT_THROW(Ini.WriteString("SQM", "Timer", "20"), EIniFileError);
    EXPECT_TRUE(fs::is_fifo(Name));
    EXPECT_EQ(Entries(), std::vector<std::string>{"nightlux.ini"});
}

// What cannot be read in full, at once, reads as missing and is not replaced; the reason
// says why.
struct UnreadableCase {
    const char* Name;
    std::function<void(const std::string& name)> Make;
    std::string Reason;
};

class IniUnreadable : public IniFileTest, public testing::WithParamInterface<UnreadableCase> {};

TEST_P(IniUnreadable, ReadsAsMissingWithoutReadingForever) {
    GetParam().Make(Name);
    EXPECT_EQ(Ini.ReadString("SQM", "Timer", "none"), "none");
    EXPECT_EQ(Ini.UnreadableReason().value_or("readable"), GetParam().Reason);
    EXPECT_THROW(Ini.WriteString("SQM", "Timer", "20"), EIniFileError);
}

void MakeHugeFile(const std::string& name) {
    // Sparse: a valid section whose size is past the limit.
    WriteBytes(name, "[SQM]\nTimer=5\n");
    fs::resize_file(name, TIniFile::MaxFileSize + 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniUnreadable,
    testing::Values(UnreadableCase{"LinkToDevZero",
                                   [](const std::string& n) { fs::create_symlink("/dev/zero", n); },
                                   "not a regular file"},
                    UnreadableCase{
                        "Fifo",
                        [](const std::string& n) { ASSERT_EQ(::mkfifo(n.c_str(), 0644), 0); },
                        "not a regular file"},
                    UnreadableCase{"Folder", [](const std::string& n) { fs::create_directory(n); },
                                   "Is a directory"},
                    UnreadableCase{"PastTheSizeLimit", MakeHugeFile, "larger than 1024 KiB"}),
    RowName());

TEST_F(IniFileTest, ReadableOrMissingFileHasNoUnreadableReason) {
    EXPECT_FALSE(Ini.UnreadableReason());
    WriteBytes(Name, "[SQM]\nTimer=5\n");
    EXPECT_FALSE(Ini.UnreadableReason());
    fs::resize_file(Name, TIniFile::MaxFileSize); // at the limit: still read
    EXPECT_EQ(Ini.ReadInteger("SQM", "Timer", 0), 5);
}

struct BadWrite {
    std::string Name;
    std::string Section;
    std::string Key;
    std::string Value;
};

class IniBadWrite : public IniFileTest, public testing::WithParamInterface<BadWrite> {};

TEST_P(IniBadWrite, IsRefusedAndChangesNothing) {
    WriteBytes(Name, "[SQM]\nTimer=5\n");
    const BadWrite& c = GetParam();
    EXPECT_THROW(Ini.WriteString(c.Section, c.Key, c.Value), EIniFileError);
    EXPECT_EQ(ReadBytes(Name), "[SQM]\nTimer=5\n");
}

INSTANTIATE_TEST_SUITE_P(Cases, IniBadWrite,
                         testing::Values(BadWrite{"LineFeedInValue", "SQM", "File", "a\nTimer=1"},
                                         BadWrite{"CarriageReturnInValue", "SQM", "File", "a\rb"},
                                         BadWrite{"EqualsInKey", "SQM", "A=B", "1"},
                                         BadWrite{"EmptyKey", "SQM", " ", "1"},
                                         BadWrite{"KeyLikeASection", "SQM", "[X]", "1"},
                                         BadWrite{"BracketInSection", "SQ]M", "Key", "1"},
                                         BadWrite{"EmptySection", "", "Key", "1"}),
                         RowName());

TEST_F(IniFileTest, WriteErrorNamesTheFile) {
    TIniFile ini(Folder.File("missing/nightlux.ini"));
    try {
        ini.WriteString("SQM", "Timer", "20");
        FAIL();
    } catch (const EIniFileError& e) {
        EXPECT_EQ(e.Message(), "Could not write the settings file " +
                                   Folder.File("missing/nightlux.ini") +
                                   ": No such file or directory");
    }
}

} // namespace
