#pragma once

#include <string>
#include <vector>

// What one run of a program used, as wait4 reports it for the child.
struct TChildUsage {
    int Status = 0;     // exit status; 128 + signal number when killed
    long MaxRssKiB = 0; // peak resident set
    double UserSeconds = 0.0;
    double SystemSeconds = 0.0;
};

// The pointers of texts followed by a null pointer, as exec and posix_spawn take them; valid
// while texts lives.
std::vector<char*> PointersTo(const std::vector<std::string>& texts);

// Runs command (program path first) with the environment through the launcher
// nightlux-bench-spawn and returns what the program used. The program's standard output
// is thrown away, its standard error kept. Raises std::runtime_error when the launcher
// cannot be run or reports nothing.
TChildUsage MeasureChild(const std::string& launcher, const std::vector<std::string>& command,
                         const std::vector<std::string>& environment);
