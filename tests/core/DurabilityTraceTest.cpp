// The order of the system calls when a reading is stored, traced with strace on a small
// program: the record is flushed to the device (and a new file's folder entry too) before
// the program reports the reading stored.

#include "tests/support/TempFolder.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

std::vector<std::string> Lines(const std::string& name) {
    std::ifstream in(name);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

int RunProgram(const std::vector<std::string>& args) {
    const pid_t child = ::fork();
    if (child == 0) {
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        // Standard output to nowhere: the trace holds what was said.
        if (FILE* devNull = std::freopen("/dev/null", "w", stdout); devNull == nullptr)
            ::_exit(126);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// Each step is the pieces one line of the trace has, in this order; a step's line comes
// after the line of the step before. Returns the steps not found, for the failure message.
std::string MissingSteps(const std::vector<std::string>& trace,
                         const std::vector<std::vector<std::string>>& steps) {
    std::size_t at = 0;
    for (std::size_t s = 0; s < steps.size(); ++s) {
        const auto matches = [&](const std::string& line) {
            for (const std::string& piece : steps[s])
                if (line.find(piece) == std::string::npos)
                    return false;
            return true;
        };
        while (at < trace.size() && !matches(trace[at]))
            ++at;
        if (at == trace.size()) {
            std::string missing = "step " + std::to_string(s) + ":";
            for (const std::string& piece : steps[s])
                missing += " [" + piece + "]";
            return missing;
        }
        ++at;
    }
    return {};
}

TEST(Durability, ARecordAndANewFilesFolderAreFlushedBeforeTheReadingIsReportedStored) {
    TTempFolder folder;
    const std::string readings = folder.File("readings.csv");
    const std::string trace = folder.File("trace");
    // A sanitizer build's leak check cannot work under ptrace; the traced writer goes without.
    const char* sanitizer = std::getenv("ASAN_OPTIONS");
    const std::string noLeakCheck =
        "ASAN_OPTIONS=" + std::string(sanitizer ? sanitizer : "") + ":detect_leaks=0";
    ASSERT_EQ(RunProgram({NIGHTLUX_STRACE, "-f", "-qq", "-y", "-s", "64", "-o", trace, "-e",
                          "trace=write,fdatasync,fsync,link,close", "-E", noLeakCheck,
                          NIGHTLUX_RECORD_WRITER, readings, folder.GetPath()}),
              0);
    const std::vector<std::string> lines = Lines(trace);
    const std::string night = folder.File("20261209_120000_SQM-LE.dat");
    const std::string tmp = ".tmp>";
    const std::vector<std::vector<std::string>> steps = {
        // A new readings file: written under a temporary name, flushed, closed, linked, and
        // its folder flushed, before the first reading is reported stored.
        {"write(", tmp, "Produced by Nightlux"},
        {"fdatasync(", tmp},
        {"close(", tmp},
        {"link(", "\"" + readings + "\""},
        {"fsync(", "<" + folder.GetPath() + ">"},
        {"write(1", "readings file stored 0"},
        // The same for the night's skyglow file.
        {"write(", tmp, "community standard"},
        {"fdatasync(", tmp},
        {"close(", tmp},
        {"link(", "\"" + night + "\""},
        {"fsync(", "<" + folder.GetPath() + ">"},
        {"write(1", "skyglow file stored 0"},
        // An appended record: one write, flushed, closed, then reported.
        {"write(", "<" + readings + ">", "2026/12/09,22:01:00"},
        {"fdatasync(", "<" + readings + ">"},
        {"close(", "<" + readings + ">"},
        {"write(1", "readings file stored 1"},
        {"write(", "<" + night + ">", "2026-12-09T21:01:00.000"},
        {"fdatasync(", "<" + night + ">"},
        {"close(", "<" + night + ">"},
        {"write(1", "skyglow file stored 1"},
    };
    std::string all;
    for (const std::string& line : lines)
        all += line + "\n";
    EXPECT_EQ(MissingSteps(lines, steps), "") << all;
}

} // namespace
