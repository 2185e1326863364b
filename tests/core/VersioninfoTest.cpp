#include "core/Versioninfo.h"

#include "platform/ElfSection.h"
#include "tests/support/TempFolder.h"

#include <cstring>
#include <elf.h>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

// The getters of a record, and whether each found its key.
struct Fields {
    bool HasBuild;
    std::string Build = "unchanged";
    bool HasCopyright;
    std::string Copyright = "unchanged";
    bool HasProductName;
    std::string ProductName = "unchanged";
    bool HasVersionNumber;
    std::string VersionNumber = "unchanged";
};

Fields Read(const TVersionInfo& info) {
    Fields f{};
    f.HasBuild = info.GetBuild(f.Build);
    f.HasCopyright = info.GetCopyright(f.Copyright);
    f.HasProductName = info.GetProductName(f.ProductName);
    f.HasVersionNumber = info.GetVersionNumber(f.VersionNumber);
    return f;
}

void ExpectOwnRecord(const TVersionInfo& info) {
    const Fields f = Read(info);
    EXPECT_TRUE(f.HasBuild);
    EXPECT_EQ(f.Build, "3.0.0.0");
    EXPECT_TRUE(f.HasCopyright);
    EXPECT_EQ(f.Copyright, "Copyright \xC2\xA9 2017-2026 Corvatek");
    EXPECT_TRUE(f.HasProductName);
    EXPECT_EQ(f.ProductName, "Nightlux");
    EXPECT_TRUE(f.HasVersionNumber);
    EXPECT_EQ(f.VersionNumber, "3.0.0.0");
}

void ExpectNoRecord(const TVersionInfo& info) {
    const Fields f = Read(info);
    EXPECT_FALSE(f.HasBuild || f.HasCopyright || f.HasProductName || f.HasVersionNumber);
    EXPECT_EQ(f.Build, "unchanged");
    EXPECT_EQ(f.Copyright, "unchanged");
    EXPECT_EQ(f.ProductName, "unchanged");
    EXPECT_EQ(f.VersionNumber, "unchanged");
}

TEST(VersionInfo, ReadsTheProgramsOwnRecord) {
    ExpectOwnRecord(TVersionInfo(""));
}

TEST(VersionInfo, ReadsTheRecordOfAFileByName) {
    ExpectOwnRecord(TVersionInfo(std::filesystem::read_symlink("/proc/self/exe").string()));
}

TEST(VersionInfo, AKeyTheRecordLacksIsFalse) {
    const TVersionInfo info;
    std::string value = "unchanged";
    EXPECT_FALSE(info.GetVersionInfoField("Comments", value));
    EXPECT_EQ(value, "unchanged");
    EXPECT_FALSE(info.GetVersionInfoField("", value));
    EXPECT_TRUE(info.GetVersionInfoField("fileversion", value)) << "keys ignore letter case";
    EXPECT_EQ(value, "3.0.0.0");
}

TEST(VersionInfo, AFileWithoutARecordAnswersFalse) {
    TTempFolder folder;
    WriteBytes(folder.File("text"), "just text\n");
    for (const std::string& name :
         {std::string("/bin/true"), folder.File("text"), folder.File("missing"), folder.GetPath(),
          std::string("/dev/null")}) {
        SCOPED_TRACE(name);
        ExpectNoRecord(TVersionInfo(name));
    }
}

// Builds a small ELF file with a section table [null, .shstrtab, section].
template <class Ehdr, class Shdr>
std::string ElfFile(const std::string& sectionName, const std::string& data,
                    unsigned char elfClass) {
    const std::string names = std::string("\0.shstrtab\0", 11) + sectionName + '\0';
    Ehdr header{};
    std::memcpy(header.e_ident, ELFMAG, SELFMAG);
    header.e_ident[EI_CLASS] = elfClass;
    header.e_ident[EI_DATA] = ELFDATA2LSB;
    header.e_ident[EI_VERSION] = EV_CURRENT;
    header.e_shentsize = sizeof(Shdr);
    header.e_shnum = 3;
    header.e_shstrndx = 1;
    const std::size_t namesOffset = sizeof header;
    const std::size_t dataOffset = namesOffset + names.size();
    header.e_shoff = dataOffset + data.size();
    Shdr sections[3]{};
    sections[1].sh_name = 1;
    sections[1].sh_type = SHT_STRTAB;
    sections[1].sh_offset = namesOffset;
    sections[1].sh_size = names.size();
    sections[2].sh_name = 11;
    sections[2].sh_type = SHT_PROGBITS;
    sections[2].sh_offset = dataOffset;
    sections[2].sh_size = data.size();
    return std::string(reinterpret_cast<const char*>(&header), sizeof header) + names + data +
           std::string(reinterpret_cast<const char*>(sections), sizeof sections);
}

std::string Elf64(const std::string& data, const std::string& section = ".nightlux_version") {
    return ElfFile<Elf64_Ehdr, Elf64_Shdr>(section, data, ELFCLASS64);
}

std::string Record(const std::string& translation, const std::string& entries) {
    return "NLXV" + translation + entries;
}

const std::string UsEnglish("\x09\x04\xE4\x04", 4);

std::string Entry(const std::string& path, const std::string& value) {
    return path + '\0' + value + '\0';
}

class VersionInfoFile : public testing::Test {
protected:
    TTempFolder Folder;
    std::string Name = Folder.File("program");

    std::string Build(const std::string& fileBytes) {
        WriteBytes(Name, fileBytes);
        std::string value = "unchanged";
        TVersionInfo(Name).GetBuild(value);
        return value;
    }
};

TEST_F(VersionInfoFile, ReadsTheRecordOfEitherElfClass) {
    const std::string record =
        Record(UsEnglish, Entry("\\StringFileInfo\\040904e4\\FileVersion", "1.2.3.4"));
    EXPECT_EQ(Build(Elf64(record)), "1.2.3.4");
    EXPECT_EQ(Build(ElfFile<Elf32_Ehdr, Elf32_Shdr>(".nightlux_version", record, ELFCLASS32)),
              "1.2.3.4");
}

TEST_F(VersionInfoFile, LooksUpTheRecordsOwnTranslation) {
    const std::string german("\x07\x04\xB0\x04", 4); // language 0x0407, code page 1200
    EXPECT_EQ(Build(Elf64(Record(german, Entry("\\StringFileInfo\\040704b0\\FileVersion", "2.0")))),
              "2.0");
    EXPECT_EQ(Build(Elf64(Record(german, Entry("\\StringFileInfo\\040904e4\\FileVersion", "2.0")))),
              "unchanged");
}

TEST_F(VersionInfoFile, FindsLaterEntries) {
    const std::string entries = Entry("\\StringFileInfo\\040904e4\\ProductName", "X") +
                                Entry("\\StringFileInfo\\040904e4\\FileVersion", "") + '\0';
    WriteBytes(Name, Elf64(Record(UsEnglish, entries)));
    std::string value = "unchanged";
    EXPECT_TRUE(TVersionInfo(Name).GetBuild(value));
    EXPECT_EQ(value, "") << "an empty text is a text";
}

TEST_F(VersionInfoFile, DamagedRecordsAndFilesAnswerFalse) {
    const std::string entry = Entry("\\StringFileInfo\\040904e4\\FileVersion", "1.0");
    EXPECT_EQ(Build(Elf64(Record(UsEnglish, entry), ".other")), "unchanged") << "no such section";
    EXPECT_EQ(Build(Elf64("NLXW" + UsEnglish + entry)), "unchanged") << "wrong magic";
    EXPECT_EQ(Build(Elf64("NLXV\x09")), "unchanged") << "too short";
    EXPECT_EQ(Build(Elf64(Record(UsEnglish, entry.substr(0, entry.size() - 1)))), "unchanged")
        << "value cut off";
    EXPECT_EQ(Build(Elf64(Record(UsEnglish, std::string(1, '\0') + entry))), "unchanged")
        << "the empty path ends the list";
    const std::string whole = Elf64(Record(UsEnglish, entry));
    EXPECT_EQ(Build(whole.substr(0, whole.size() - 1)), "unchanged") << "section table cut off";
    EXPECT_EQ(Build(whole.substr(0, 40)), "unchanged") << "header cut off";
}

TEST(ElfSection, ReadsTheRecordSectionOfThisProgram) {
    std::string contents = "unchanged";
    ASSERT_TRUE(ReadElfSection("/proc/self/exe", ".nightlux_version", contents));
    EXPECT_EQ(contents.substr(0, 4), "NLXV");
    std::string other = "unchanged";
    EXPECT_FALSE(ReadElfSection("/proc/self/exe", ".nightlux_version", other, 8))
        << "over the size limit";
    EXPECT_FALSE(ReadElfSection("/proc/self/exe", ".bss", other)) << "no file data";
    EXPECT_EQ(other, "unchanged");
}

} // namespace
