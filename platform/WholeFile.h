#pragma once

#include <cstddef>
#include <string>

// Reads a whole regular file of at most limit bytes into content. Returns 0 or an errno:
// EISDIR for a folder, ENODEV for anything else that is not a regular file (a FIFO, a
// device), EFBIG when the file holds more than limit bytes (checked as it is read, since a
// file may grow meanwhile), or the errno of the failing open or read. Opening never waits
// for a FIFO's writer. extraFlags are added to open(2)'s flags (O_NOFOLLOW, for one).
int ReadWholeFile(const std::string& path, std::size_t limit, std::string& content,
                  int extraFlags = 0);

// Reads at most limit bytes from the start of the open descriptor's file (without moving
// its offset); a longer file is cut at limit. Returns 0 or the errno of the failing read.
int ReadFileStart(int fd, std::size_t limit, std::string& content);

// Why ReadWholeFile failed, for a message: "it is a folder", "it is not a regular file",
// "it is larger than 1024 KiB", otherwise the system's text of the error.
std::string ReadFailureText(int error, std::size_t limit);
