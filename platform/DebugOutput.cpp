#include "platform/DebugOutput.h"

#include <cstdio>

void OutputDebugString(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
}
