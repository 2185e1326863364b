// The ini reader and writer on any file content: reading never fails, and writing one key
// reads back as written while another key of the same section keeps its value.

#include "fuzz/FuzzCheck.h"
#include "fuzz/TempFolder.h"
#include "platform/IniFile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string name = FuzzFolder() + "/settings.ini";
    WriteFuzzFile(name, std::string_view(reinterpret_cast<const char*>(data), size));
    TIniFile ini(name);
    const std::string timer = ini.ReadString("SQM", "Timer", "\x01none");
    ini.ReadInteger("SQM", "Config-1", 7);
    ini.ReadBool("Window", "Left", false);
    FUZZ_CHECK(!ini.UnreadableReason());

    ini.WriteString("SQM", "Fuzzed", "written value");
    FUZZ_CHECK(ini.ReadString("SQM", "Fuzzed", "") == "written value");
    // Another key of the section keeps its value.
    FUZZ_CHECK(ini.ReadString("SQM", "Timer", "\x01none") == timer);
    RemoveFuzzFile(name);
    return 0;
}
