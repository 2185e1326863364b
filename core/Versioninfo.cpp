#include "core/Versioninfo.h"

#include "platform/ElfSection.h"
#include "platform/Text.h"

#include <cstdio>
#include <cstring>
#include <string_view>

namespace {

constexpr std::string_view Magic = "NLXV";
constexpr std::size_t TranslationOffset = 4;
constexpr std::size_t EntriesOffset = 8;

} // namespace

TVersionInfo::TVersionInfo(const std::string& fileName) {
    std::string record;
    const std::string file = fileName.empty() ? std::string("/proc/self/exe") : fileName;
    if (!ReadElfSection(file, VersionRecordSection, record) || record.size() < EntriesOffset ||
        std::string_view(record).substr(0, Magic.size()) != Magic)
        return;

    DataSize = record.size();
    Data = std::make_unique<std::uint32_t[]>((DataSize + 3) / 4);
    std::memcpy(Data.get(), record.data(), DataSize);
    Translation = &Data[TranslationOffset / 4];
    const auto* bytes = reinterpret_cast<const unsigned char*>(record.data()) + TranslationOffset;
    const std::uint32_t language = bytes[0] | (bytes[1] << 8);
    const std::uint32_t codePage = bytes[2] | (bytes[3] << 8);
    *Translation = (language << 16) | codePage;
}

TVersionInfo::~TVersionInfo() = default;

bool TVersionInfo::GetVersionInfoField(const std::string& key, std::string& value) const {
    if (!Data)
        return false;
    char translation[9];
    std::snprintf(translation, sizeof translation, "%08lx",
                  static_cast<unsigned long>(*Translation));
    const std::string path = std::string("\\StringFileInfo\\") + translation + "\\" + key;

    // Pairs of NUL-terminated texts up to an empty path or the end of the record; a text
    // cut off by the end of the record does not count.
    const std::string_view entries(reinterpret_cast<const char*>(Data.get()) + EntriesOffset,
                                   DataSize - EntriesOffset);
    std::size_t pos = 0;
    while (pos < entries.size()) {
        const std::size_t pathEnd = entries.find('\0', pos);
        if (pathEnd == std::string_view::npos || pathEnd == pos)
            return false;
        const std::size_t valueEnd = entries.find('\0', pathEnd + 1);
        if (valueEnd == std::string_view::npos)
            return false;
        if (SameText(entries.substr(pos, pathEnd - pos), path)) {
            value = std::string(entries.substr(pathEnd + 1, valueEnd - pathEnd - 1));
            return true;
        }
        pos = valueEnd + 1;
    }
    return false;
}

bool TVersionInfo::GetProductName(std::string& value) const {
    return GetVersionInfoField("ProductName", value);
}

bool TVersionInfo::GetVersionNumber(std::string& value) const {
    return GetVersionInfoField("ProductVersion", value);
}

bool TVersionInfo::GetCopyright(std::string& value) const {
    return GetVersionInfoField("LegalCopyright", value);
}

bool TVersionInfo::GetBuild(std::string& value) const {
    return GetVersionInfoField("FileVersion", value);
}
