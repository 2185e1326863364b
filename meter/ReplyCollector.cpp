#include "meter/ReplyCollector.h"

#include <algorithm>

TReplyCollector::TReplyCollector(std::string_view marker, std::size_t length)
    : Marker(marker), Length(length), Begun(marker.empty()) {
    Held.reserve(length);
}

void TReplyCollector::Take(const char* bytes, std::size_t count) {
    Held.append(bytes, std::min(count, Room()));
    if (Begun)
        return;
    const std::size_t at = Held.find(Marker);
    Begun = at != std::string::npos;
    // [0, Length - 1]: a kept tail always leaves room for one more byte.
    const std::size_t tail = std::min({Held.size(), Marker.size() - 1, Length - 1});
    Held.erase(0, Begun ? at : Held.size() - tail);
}
