#include "platform/ServiceNotify.h"

#include "tests/support/NotifySocket.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// A socket path, and an abstract name unique to this process.
std::vector<std::string> Addresses(const TTempFolder& folder) {
    return {folder.File("notify"), "@nightlux-notify-test-" + std::to_string(::getpid())};
}

TEST(ServiceNotify, EachMessageIsOneDatagramToThePathOrTheAbstractName) {
    const TTempFolder folder;
    for (const std::string& address : Addresses(folder)) {
        SCOPED_TRACE(address);
        const TNotifySocket manager(address);
        const TServiceNotifier notifier(address, std::nullopt);
        ASSERT_TRUE(notifier.IsActive());
        EXPECT_TRUE(notifier.Notify("READY=1\nSTATUS=Taking the first reading."));
        EXPECT_TRUE(notifier.Notify("WATCHDOG=1"));
        EXPECT_EQ(manager.Receive(5s), "READY=1\nSTATUS=Taking the first reading.");
        EXPECT_EQ(manager.Receive(5s), "WATCHDOG=1");
    }
}

TEST(ServiceNotify, ASocketThatIsGoneOrAnAddressThatCannotBeIsAFailedSendNotAHang) {
    const TTempFolder folder;
    EXPECT_FALSE(TServiceNotifier(folder.File("nobody"), std::nullopt).Notify("WATCHDOG=1"));
    EXPECT_FALSE(TServiceNotifier("relative/notify", std::nullopt).Notify("WATCHDOG=1"));
    EXPECT_FALSE(TServiceNotifier("/" + std::string(200, 'x'), std::nullopt).Notify("READY=1"));
    // Without a manager nothing is sent, and that is no failure.
    EXPECT_TRUE(TServiceNotifier().Notify("READY=1"));
}

TEST(ServiceNotify, TheEnvironmentGivesTheSocketAndTheWatchdogForThisProcessOnly) {
    const std::string self = std::to_string(::getpid());
    const struct {
        const char* Socket;
        const char* Usec;
        std::string Pid;
        bool Active;
        std::optional<std::chrono::microseconds> Watchdog;
    } cases[] = {
        {"", "", "", false, std::nullopt},
        {"@manager", "", "", true, std::nullopt},
        {"@manager", "30000000", "", true, 30s},
        {"@manager", "30000000", self, true, 30s},
        {"@manager", "30000000", "1", true, std::nullopt}, // another process's watchdog
        {"/run/notify", "0", "", true, std::nullopt},
        {"/run/notify", "30s", "", true, std::nullopt},
        {"/run/notify", "-5", "", true, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Socket) + " " + c.Usec + " " + c.Pid);
        const TScopedEnv socket("NOTIFY_SOCKET", c.Socket);
        const TScopedEnv usec("WATCHDOG_USEC", c.Usec);
        const TScopedEnv pid("WATCHDOG_PID", c.Pid.c_str());
        const TServiceNotifier notifier = TServiceNotifier::FromEnvironment();
        EXPECT_EQ(notifier.IsActive(), c.Active);
        EXPECT_EQ(notifier.GetWatchdogInterval(), c.Watchdog);
    }
}

} // namespace
