#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

// A fresh folder under the system's temporary folder, removed with its content at the end.
class TTempFolder {
public:
    TTempFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "nightlux-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        Path = pattern;
    }
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;
    ~TTempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(Path, ignored);
    }

    const std::string& GetPath() const { return Path; }
    std::string File(const std::string& name) const { return Path + "/" + name; }

private:
    std::string Path;
};

// The bytes of a file; empty when it cannot be read.
inline std::string ReadBytes(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void WriteBytes(const std::string& name, const std::string& bytes) {
    std::ofstream(name, std::ios::binary) << bytes;
}
