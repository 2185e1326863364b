#include "sharing/ReadingSharing.h"

#include "MosquittoBroker.h"
#include "SkyglowParser.h"
#include "core/Reading.h"
#include "meter/Dm_SQMLE.h"
#include "platform/IniFile.h"
#include "sharing/SkyglowFormat.h"
#include "tools/sim/TcpMeterServer.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

// Shares the link's current reading, as the reading cycle does.
std::vector<TNotice> ShareFrom(TReadingSharing& sharing, TDmSQMBase& link) {
    return sharing.Share(ReadingOf(link), [&link] {
        link.ReadCalibration();
        return link.CalibrationReply;
    });
}

using namespace std::chrono_literals;

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// A session as the programs run it: settings file, simulated meter, broker.
TEST(ReadingSharing, EachReadingGoesToTheNightsFileAndTheBroker) {
    TMosquittoBroker broker;
    TTestSubscriber subscriber(broker.GetPort());
    TTempFolder folder;
    TIniFile ini(folder.File("nightlux.ini"));
    ini.WriteString("Site", "Name", "Dark Site");
    ini.WriteString("Site", "Latitude", "52.2533");
    ini.WriteString("Site", "Longitude", "-8.3605");
    ini.WriteString("Skyglow", "Folder", folder.GetPath());
    ini.WriteString("MQTT", "Host", "127.0.0.1");
    ini.WriteString("MQTT", "Port", std::to_string(broker.GetPort()));
    ini.WriteString("MQTT", "TopicPrefix", "observatory/roof");

    TSharingSetup setup = ReadSharingSetup(ini);
    setup.DeviceType = "SQM-LE";
    setup.SoftwareVersion = "3.0.0.0";
    TTcpMeterServer meter;
    TDmSQMLE link;
    link.Host = "127.0.0.1";
    link.Port = meter.GetPort();
    link.Timeout = 5000;
    {
        TReadingSharing sharing(setup);
        ASSERT_TRUE(sharing.IsActive());
        link.Connect();
        link.ReadUnitInfo();
        for (int i = 0; i < 2; ++i) {
            link.ReadReading();
            EXPECT_EQ(ShareFrom(sharing, link), std::vector<TNotice>{});
        }
        link.ReadingReply = "r, 19.53m,00000000x2Hz,0000038400c,0000000.083s, 005.3C";
        const std::vector<TNotice> notices = ShareFrom(sharing, link);
        ASSERT_EQ(notices.size(), 1u);
        EXPECT_NE(notices[0].Text.find("not shared"), std::string::npos) << notices[0].Text;
        EXPECT_EQ(notices[0].Severity, ENoticeSeverity::Warning);
        link.Disconnect();
        ASSERT_TRUE(subscriber.WaitUntil([](const std::vector<TReceivedMessage>& m) {
            return CountOn(m, "observatory/roof/state") == 2;
        }));
    }
    EXPECT_EQ(Count(meter.GetCounts().Received, "cx"), 1u);
    const std::string name = SkyglowFileName(link.GetReadingTime(), "SQM-LE", "Dark Site");
    const TParsedSkyglowFile file = ParseSkyglowFile(ReadBytes(folder.File(name)));
    EXPECT_EQ(file.Records.size(), 2u);
    EXPECT_EQ(file.Header[8], "Position (lat, lon, elev(m)): 52.2533, -8.3605, unknown");
}

TEST(ReadingSharing, ASkyglowFolderThatFailsIsToldOfOncePerOutage) {
    TTempFolder folder;
    TSharingSetup setup;
    setup.Skyglow.Folder = folder.File("sky");
    setup.DeviceType = "SQM-LE";
    TTcpMeterServer meter;
    TDmSQMLE link;
    link.Host = "127.0.0.1";
    link.Port = meter.GetPort();
    link.Timeout = 5000;
    TReadingSharing sharing(setup);
    link.Connect();
    link.ReadUnitInfo();
    link.ReadReading();
    // No folder yet: the first failure is told, the next ones are not.
    const std::vector<TNotice> first = ShareFrom(sharing, link);
    ASSERT_EQ(first.size(), 1u);
    EXPECT_NE(first[0].Text.find(folder.File("sky")), std::string::npos) << first[0].Text;
    EXPECT_EQ(first[0].Severity, ENoticeSeverity::Warning);
    EXPECT_TRUE(ShareFrom(sharing, link).empty());
    std::filesystem::create_directory(folder.File("sky"));
    const std::vector<TNotice> back = ShareFrom(sharing, link);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_NE(back[0].Text.find(" again."), std::string::npos) << back[0].Text;
    EXPECT_EQ(back[0].Severity, ENoticeSeverity::Information);
    EXPECT_TRUE(ShareFrom(sharing, link).empty());
    link.Disconnect();
}

TEST(ReadingSharing, NothingSetUpSharesNothing) {
    TReadingSharing sharing{TSharingSetup{}};
    EXPECT_FALSE(sharing.IsActive());
    EXPECT_TRUE(sharing.Share(TReading{}, {}).empty());
}

} // namespace
