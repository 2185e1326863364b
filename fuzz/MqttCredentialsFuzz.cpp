// The MQTT credentials file on any content: it gives a clear error, or a user name and
// password (never a password alone) that, written back as "username=" and "password="
// lines, read back the same.

#include "fuzz/FuzzCheck.h"
#include "fuzz/TempFolder.h"
#include "sharing/MqttCredentials.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string name = FuzzFolder() + "/credentials";
    WriteFuzzFile(name, std::string_view(reinterpret_cast<const char*>(data), size));
    TMqttCredentials c;
    try {
        c = ReadMqttCredentials(name);
    } catch (const EMqttError& e) {
        FUZZ_CHECK(std::string(e.what()).starts_with("The MQTT credentials file " + name));
        RemoveFuzzFile(name);
        return 0;
    }
    FUZZ_CHECK(!c.Username.empty() || c.Password.empty());
    for (const std::string* value : {&c.Username, &c.Password})
        FUZZ_CHECK(value->find('\n') == std::string::npos);

    WriteFuzzFile(name, "username=" + c.Username + "\r\npassword=" + c.Password + "\r\n");
    const TMqttCredentials back = ReadMqttCredentials(name);
    FUZZ_CHECK(back.Username == c.Username && back.Password == c.Password);
    RemoveFuzzFile(name);
    return 0;
}
