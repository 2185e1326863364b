// The ini reader and writer on any file content: reading never fails, and writing one key
// reads back as written while another key of the same section keeps its value.

#include "fuzz/FuzzCheck.h"
#include "platform/IniFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

// A folder of its own on a memory file system where there is one.
const std::string& Folder() {
    static const std::string folder = [] {
        std::string pattern = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm/nightlux-fuzz-XXXXXX"
                                                              : "/tmp/nightlux-fuzz-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        std::atexit([] { ::rmdir(Folder().c_str()); });
        return pattern;
    }();
    return folder;
}

void WriteFile(const std::string& name, const std::uint8_t* data, std::size_t size) {
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    FUZZ_CHECK(fd >= 0);
    FUZZ_CHECK(::write(fd, data, size) == static_cast<ssize_t>(size));
    ::close(fd);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string name = Folder() + "/settings.ini";
    WriteFile(name, data, size);
    TIniFile ini(name);
    const std::string timer = ini.ReadString("SQM", "Timer", "\x01none");
    ini.ReadInteger("SQM", "Config-1", 7);
    ini.ReadBool("Window", "Left", false);
    FUZZ_CHECK(!ini.UnreadableReason());

    ini.WriteString("SQM", "Fuzzed", "written value");
    FUZZ_CHECK(ini.ReadString("SQM", "Fuzzed", "") == "written value");
    // Another key of the section keeps its value.
    FUZZ_CHECK(ini.ReadString("SQM", "Timer", "\x01none") == timer);
    ::unlink(name.c_str());
    return 0;
}
