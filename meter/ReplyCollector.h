#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Collects a reply of fixed length that begins with a marker (its type letter and comma)
// from bytes as they arrive. Bytes before the first marker are dropped; a tail that may be
// the start of a marker split between two reads is kept until the next bytes show.
class TReplyCollector {
public:
    // An empty marker takes every byte from the first on.
    TReplyCollector(std::string_view marker, std::size_t length);

    // How many bytes the next read may take without passing the end of the reply.
    std::size_t Room() const { return Length - Held.size(); }
    // Takes bytes just read; at most Room() of them.
    void Take(const char* bytes, std::size_t count);

    // Whether the marker has come: the reply has begun.
    bool HasBegun() const { return Begun; }
    bool IsComplete() const { return Begun && Held.size() == Length; }
    // The reply so far, marker first; empty until it has begun.
    std::string_view GetReply() const { return Begun ? Held : std::string_view(); }

private:
    std::string Marker;
    std::size_t Length;
    std::string Held;
    bool Begun;
};
