#pragma once

#include <cstddef>
#include <string>

// Reads the contents of the named section of an ELF file (32- or 64-bit, in the machine's
// byte order) into contents. False, with contents unchanged, when the file cannot be read,
// is not such an ELF file, is damaged, has no such section, the section holds no file data,
// or it is larger than maxSize bytes.
bool ReadElfSection(const std::string& fileName, const std::string& sectionName,
                    std::string& contents, std::size_t maxSize = 1 << 20);
