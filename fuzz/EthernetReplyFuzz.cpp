// A reply line as the Ethernet link receives it: the bytes up to the line end, those above
// 127 read as '?'. The link takes it only in its layout, and what it takes is what a
// meter's reply may be (CheckTakenReply); the accessors stay safe on any line.

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
    if (FitsReplyLayout(line))
        CheckTakenReply(line);
    return 0;
}
