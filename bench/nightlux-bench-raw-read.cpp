// The least a program can do to take one reading from a meter on 127.0.0.1: exchange "ix"
// and "rx" over a plain socket and print the two replies. The floor for nightlux-read.
//   nightlux-bench-raw-read PORT

#include "bench/RawExchange.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <exception>

int main(int argc, char** argv) {
    std::uint16_t port = 0;
    const char* end = argc == 2 ? argv[1] + std::strlen(argv[1]) : nullptr;
    if (argc != 2 || std::from_chars(argv[1], end, port).ptr != end || port == 0) {
        std::fputs("usage: nightlux-bench-raw-read PORT\n", stderr);
        return 2;
    }
    try {
        const TRawReplies replies = RawTcpExchange(port);
        std::fputs(replies.UnitInfo.c_str(), stdout);
        std::fputs(replies.Reading.c_str(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "nightlux-bench-raw-read: %s\n", e.what());
        return 1;
    }
}
