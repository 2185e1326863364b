// Stores two readings in a readings file and two in a skyglow file, saying after each one
// that the program reports it stored: the system calls of the writes, traced, show what
// happens before that report.
//   nightlux-test-record-writer READINGS-FILE SKYGLOW-FOLDER

#include "core/Reading.h"
#include "core/ReadingsFile.h"
#include "core/Versioninfo.h"
#include "sharing/SharedReading.h"
#include "sharing/SkyglowWriter.h"
#include "tests/support/StoredLink.h"
#include "tools/sim/MeterReplies.h"

#include <string>
#include <unistd.h>

namespace {

void Say(const std::string& text) {
    const std::string line = text + "\n";
    if (::write(STDOUT_FILENO, line.data(), line.size()) < 0)
        ::_exit(3);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3)
        return 2;
    TMeterOptions options;
    const TMeterReplies replies(options);
    TStoredLink link;
    link.ReadingReply = replies.ReadingLine(19.53, 5.3);
    link.UnitInfoReply = replies.UnitInfoLine();
    TSkyglowSettings settings;
    settings.Folder = argv[2];
    settings.TimeZone = "UTC";
    TSkyglowWriter skyglow(settings, TSite{}, "SQM-LE", [] { return std::string(); });
    for (int minute = 0; minute < 2; ++minute) {
        link.ReadingTime = EncodeDateTime(2026, 12, 9, 22, minute, 0, 0);
        if (!SaveReadingToFile(argv[1], ReadingOf(link), TVersionInfo(std::string())))
            return 1;
        Say("readings file stored " + std::to_string(minute));
        const TSharedReading reading =
            ReadSharedReading(ReadingOf(link), EncodeDateTime(2026, 12, 9, 21, minute, 0, 0));
        if (!skyglow.Write(reading).Stored)
            return 1;
        Say("skyglow file stored " + std::to_string(minute));
    }
    return 0;
}
