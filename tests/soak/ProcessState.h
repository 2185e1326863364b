#pragma once

#include <cstddef>
#include <string>

// What the process holds, from /proc/self: what the soak compares between cycles.
struct TProcessState {
    int Descriptors = 0;   // open file descriptors
    int Threads = 0;       // threads, the main one included
    bool Children = false; // a child process that has not been waited for
    long ResidentKb = 0;   // resident memory now
    long PeakKb = 0;       // peak resident memory so far

    static TProcessState Read();
    std::string Describe() const;
};

// Standard error of the process captured into a temporary file while the object lives,
// for the diagnostic lines a cycle is expected to write.
class TCapturedStderr {
public:
    TCapturedStderr();
    TCapturedStderr(const TCapturedStderr&) = delete;
    TCapturedStderr& operator=(const TCapturedStderr&) = delete;
    ~TCapturedStderr();
    // Ends the capture and returns what was written.
    std::string Take();

private:
    int Saved = -1;
    int File = -1;
};
