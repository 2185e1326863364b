// A fixed-length reply as the serial link receives it: bytes in reads of any size, noise
// before the reply's type letter and comma. The link takes the reply only whole, with its
// CR LF, and in its layout; what it takes is what a meter's reply may be (CheckTakenReply).
// Whatever arrived, the accessors stay safe on it. The first byte picks the reply kind,
// each read's size comes from the input too.

#include "fuzz/ReadingAccessors.h"
#include "meter/ReplyCollector.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    struct TKind {
        const char* Marker;
        std::size_t Length;
    };
    static const TKind Kinds[] = {{"r,", 57}, {"i,", 39}, {"c,", 58}};
    const TKind& kind = Kinds[data[0] % 3];
    TReplyCollector reply(kind.Marker, kind.Length);
    std::string arrived; // what the collector has been given
    std::size_t pos = 1;
    while (pos < size && !reply.IsComplete()) {
        const std::size_t want = 1 + data[pos++] % 64;
        const std::size_t n = std::min({want, size - pos, reply.Room()});
        reply.Take(reinterpret_cast<const char*>(data + pos), n);
        arrived.append(reinterpret_cast<const char*>(data + pos), n);
        pos += n;
        FUZZ_CHECK(reply.Room() > 0 || reply.IsComplete());
    }
    // The reply is what arrived from the first marker on, within the length.
    const std::size_t at = arrived.find(kind.Marker);
    FUZZ_CHECK(reply.HasBegun() == (at != std::string::npos));
    if (reply.HasBegun())
        FUZZ_CHECK(reply.GetReply() == arrived.substr(at, kind.Length));
    const std::string received(reply.GetReply());
    CheckAccessors(received);
    if (!reply.IsComplete() || !received.ends_with("\r\n"))
        return 0;
    const std::string line = received.substr(0, received.size() - 2);
    if (FitsReplyLayout(line))
        CheckTakenReply(line);
    return 0;
}
