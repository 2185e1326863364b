// The History window opened from the station menu: its place after the Night Chart entry, and
// the readings file read at once.
#include "tests/window/WindowFixture.h"
#include "window/history/HistoryFm.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTableWidget>
#include <fstream>

namespace {

class HistoryWindowTest : public FakeLinkWindowTest {};

TEST_F(HistoryWindowTest, TheEntryFollowsNightChartAndReadsTheReadingsFile) {
    auto* menu = Form->findChild<QMenu*>(QStringLiteral("StationMenu"));
    ASSERT_NE(menu, nullptr);
    const QList<QAction*> entries = menu->actions();
    ASSERT_GE(entries.size(), 3);
    EXPECT_EQ(entries[0]->objectName(), "ActNightChart");
    EXPECT_EQ(entries[1]->objectName(), "ActHistory");
    EXPECT_EQ(entries[1]->text(), "History...");

    const QString file = Home.path() + QStringLiteral("/sky.txt");
    std::ofstream(file.toStdString(), std::ios::binary)
        << "2017/03/21,22:00:00,21.10,6.2,00005533,00000004,00000003,00000076,05.3,,,,\r\n"
           "2017/03/21,23:00:00,21.30,6.2,00005533,00000004,00000003,00000076,05.3,,,,\r\n";
    SetText("EdtFileName", file);
    QDir().mkpath(ConfigFolder());
    std::ofstream(SettingsFile().toStdString(), std::ios::app)
        << "[Site]\nLatitude=52.16\nLongitude=4.49\n";
    entries[1]->trigger();
    THistoryFm* history = Form->GetHistoryFm();
    ASSERT_NE(history, nullptr);
    EXPECT_TRUE(history->isVisible());
    if (history->IsLoading()) {
        QSignalSpy finished(history, &THistoryFm::LoadFinished);
        ASSERT_TRUE(finished.wait(60000));
    }
    ASSERT_TRUE(history->GetHistory()) << history->GetStatus()->text().toStdString();
    EXPECT_EQ(history->GetHistory()->Readings.size(), 2u);
    EXPECT_EQ(history->GetTable()->rowCount(), 1);
    EXPECT_TRUE(Seen.Boxes.empty());
}

} // namespace
