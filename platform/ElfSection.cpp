#include "platform/ElfSection.h"

#include "platform/PosixFile.h"

#include <bit>
#include <cerrno>
#include <cstring>
#include <elf.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Section header tables larger than this are taken as damage.
constexpr std::uint64_t MaxSections = 1 << 16;
constexpr std::uint64_t MaxNameTable = 1 << 20;

bool ReadAt(int fd, void* buffer, std::uint64_t size, std::uint64_t offset) {
    auto* bytes = static_cast<char*>(buffer);
    std::uint64_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, bytes + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::uint64_t>(n);
    }
    return true;
}

template <class Ehdr, class Shdr>
bool ReadSection(int fd, const std::string& sectionName, std::string& contents,
                 std::size_t maxSize) {
    Ehdr header;
    if (!ReadAt(fd, &header, sizeof header, 0) || header.e_shoff == 0 ||
        header.e_shentsize < sizeof(Shdr))
        return false;
    const auto sectionHeader = [&](std::uint64_t index, Shdr& section) {
        return ReadAt(fd, &section, sizeof section, header.e_shoff + index * header.e_shentsize);
    };

    // Counts beyond the header's 16-bit fields are kept in section 0.
    Shdr first;
    if (!sectionHeader(0, first))
        return false;
    const std::uint64_t count = header.e_shnum != 0 ? header.e_shnum : first.sh_size;
    const std::uint64_t namesIndex =
        header.e_shstrndx == SHN_XINDEX ? first.sh_link : header.e_shstrndx;
    Shdr names;
    if (count > MaxSections || namesIndex >= count || !sectionHeader(namesIndex, names) ||
        names.sh_type != SHT_STRTAB || names.sh_size > MaxNameTable)
        return false;
    std::string nameTable(names.sh_size, '\0');
    if (!ReadAt(fd, nameTable.data(), names.sh_size, names.sh_offset))
        return false;

    for (std::uint64_t i = 1; i < count; ++i) {
        Shdr section;
        if (!sectionHeader(i, section))
            return false;
        if (section.sh_name >= nameTable.size() ||
            std::strcmp(nameTable.c_str() + section.sh_name, sectionName.c_str()) != 0)
            continue;
        if (section.sh_type == SHT_NOBITS || section.sh_size > maxSize)
            return false;
        std::string data(section.sh_size, '\0');
        if (!ReadAt(fd, data.data(), section.sh_size, section.sh_offset))
            return false;
        contents = std::move(data);
        return true;
    }
    return false;
}

} // namespace

bool ReadElfSection(const std::string& fileName, const std::string& sectionName,
                    std::string& contents, std::size_t maxSize) {
    TPosixFile file;
    if (!file.Open(fileName, O_RDONLY | O_NOCTTY | O_NONBLOCK))
        return false;
    unsigned char ident[EI_NIDENT];
    if (!ReadAt(file.Get(), ident, sizeof ident, 0) || std::memcmp(ident, ELFMAG, SELFMAG) != 0)
        return false;
    const int nativeData = std::endian::native == std::endian::little ? ELFDATA2LSB : ELFDATA2MSB;
    if (ident[EI_DATA] != nativeData)
        return false;
    if (ident[EI_CLASS] == ELFCLASS64)
        return ReadSection<Elf64_Ehdr, Elf64_Shdr>(file.Get(), sectionName, contents, maxSize);
    if (ident[EI_CLASS] == ELFCLASS32)
        return ReadSection<Elf32_Ehdr, Elf32_Shdr>(file.Get(), sectionName, contents, maxSize);
    return false;
}
