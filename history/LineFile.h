#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

// Reads a regular file line by line in bounded memory: a chunk at a time, each line (its CR LF
// or LF taken off) handed to onLine with its 1-based number. A line longer than maxLine is
// handed over cut to maxLine bytes with `cut` set, so the caller counts it damaged. onLine
// returning false stops the reading.
// Raises Exception "Could not read <file>: <reason>" for a file that cannot be opened or read,
// and for anything but a regular file (a folder, a device such as /dev/zero, a FIFO, a
// socket), naming what it is.
void ReadFileLines(
    const std::string& fileName,
    const std::function<bool(std::string_view line, std::size_t number, bool cut)>& onLine,
    std::size_t maxLine = 4096);

// The file's size when it is a regular file (links followed); raises as ReadFileLines does.
std::size_t RegularFileSize(const std::string& fileName);
