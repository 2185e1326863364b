// nightlux-read: reads a Sky Quality Meter without a window, once or continuously, for
// computers without a display. No Qt application object is made: nothing here needs one,
// and the C library keeps its default locale, so numbers always use "." as the decimal
// point.

#include "core/Sqmconfig.h"
#include "headless/HeadlessReader.h"
#include "headless/ServiceWatch.h"
#include "headless/StopSignals.h"
#include "platform/JournalStream.h"
#include "platform/ServiceNotify.h"

#include <iostream>
#include <optional>
#include <unistd.h>

int main(int argc, char** argv) {
    // Under systemd each message line carries its priority for the journal.
    std::optional<TJournalLineBuffer> journal;
    std::streambuf* const terminal = std::cerr.rdbuf();
    if (IsJournalStream(STDERR_FILENO)) {
        journal.emplace(*terminal);
        std::cerr.rdbuf(&*journal);
    }
    int status = 1;
    try {
        TStopSignals stop;
        const TServiceNotifier notifier = TServiceNotifier::FromEnvironment();
        TWatchedWaiter waiter(stop, notifier);
        status = RunHeadlessReader(std::vector<std::string>(argv + 1, argv + argc),
                                   SettingsFileName(), std::cout, std::cerr, waiter);
    } catch (const std::exception& e) {
        std::cerr << TPriority::Error << "nightlux-read: " << e.what() << std::endl;
    }
    std::cerr.rdbuf(terminal);
    return status;
}
