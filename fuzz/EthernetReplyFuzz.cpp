// A reply line as the Ethernet link receives it: the bytes up to the line end, those above
// 127 read as '?', then cut into fields and converted.

#include "fuzz/ReadingAccessors.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string line;
    for (std::size_t i = 0; i < size && data[i] != '\n'; ++i)
        line += data[i] > 127 ? '?' : static_cast<char>(data[i]);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    CheckAccessors(line);
    return 0;
}
