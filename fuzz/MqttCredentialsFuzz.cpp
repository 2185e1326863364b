// The MQTT credentials file (private, as it must be) on any content: it gives a clear error
// that names the file, or a user name and password (never a password alone) that, written
// back as "username=" and "password=" lines, read back the same. A file over the size bound
// is always an error.

#include "fuzz/FuzzCheck.h"
#include "fuzz/TempFolder.h"
#include "sharing/MqttCredentials.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <sys/stat.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string name = FuzzFolder() + "/credentials";
    WriteFuzzFile(name, std::string_view(reinterpret_cast<const char*>(data), size));
    FUZZ_CHECK(::chmod(name.c_str(), 0600) == 0);
    TMqttCredentials c;
    try {
        c = ReadMqttCredentials(name);
    } catch (const EMqttError& e) {
        FUZZ_CHECK(std::string(e.what()).find("MQTT credentials file " + name) !=
                   std::string::npos);
        RemoveFuzzFile(name);
        return 0;
    }
    FUZZ_CHECK(size <= MqttCredentialsSizeLimit);
    FUZZ_CHECK(!c.Username.empty() || c.Password.empty());
    for (const std::string* value : {&c.Username, &c.Password})
        FUZZ_CHECK(value->find('\n') == std::string::npos);

    // Written back: read back the same, unless the lines grew past the size bound.
    const std::string written = "username=" + c.Username + "\r\npassword=" + c.Password + "\r\n";
    WriteFuzzFile(name, written);
    FUZZ_CHECK(::chmod(name.c_str(), 0600) == 0);
    if (written.size() <= MqttCredentialsSizeLimit) {
        const TMqttCredentials back = ReadMqttCredentials(name);
        FUZZ_CHECK(back.Username == c.Username && back.Password == c.Password);
    }
    RemoveFuzzFile(name);
    return 0;
}
