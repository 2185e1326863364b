#include "window/history/HistoryFm.h"

#include "platform/Exception.h"
#include "tests/support/TempFolder.h"
#include "tests/window/history/HistoryFixture.h"

#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTableWidget>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <qcustomplot.h>

// The table holds one row per night; each view and the table can be shown; picture and table
// are exported.
TEST(HistoryFm, ShowsTheViewsAndTheTableAndExportsThem) {
    THistoryFm form;
    form.ShowHistory(MakeHistory(4));
    QTableWidget* table = form.GetTable();
    ASSERT_EQ(table->rowCount(), 4);
    EXPECT_EQ(table->item(0, 0)->text(), QStringLiteral("2026-03-01"));
    EXPECT_EQ(table->item(3, 1)->text(), QStringLiteral("73"));
    EXPECT_EQ(table->item(3, 2)->text(), QStringLiteral("49"));
    EXPECT_TRUE(form.GetStatus()->text().contains(QStringLiteral("4 nights")));

    auto* pages = form.findChild<QStackedWidget*>();
    for (int page = 0; page < 5; ++page) {
        form.ShowPage(page);
        EXPECT_EQ(pages->currentWidget(), form.GetPlot());
        EXPECT_GT(form.GetPlot()->plottableCount(), 0) << page;
    }
    form.ShowPage(5);
    EXPECT_EQ(pages->currentWidget(), form.GetTable());
    EXPECT_EQ(form.GetPage(), 5);

    form.ShowPage(static_cast<int>(THistoryView::Hourglass));
    TTempFolder folder;
    form.ExportPicture(QString::fromStdString(folder.File("h.png")), QSize(500, 300));
    EXPECT_EQ(QImage(QString::fromStdString(folder.File("h.png"))).size(), QSize(500, 300));
    form.ExportTable(QString::fromStdString(folder.File("nights.csv")));
    const std::string csv = ReadBytes(folder.File("nights.csv"));
    EXPECT_EQ(csv.rfind("night,readings,dark_readings,darkest,dark_median,clear_fraction,"
                        "moon_fraction",
                        0),
              0u)
        << csv;
    EXPECT_NE(csv.find("2026-03-04,73,49"), std::string::npos) << csv;
}

TEST(HistoryFm, NothingToLoadOrExportIsSaid) {
    THistoryFm form;
    form.Load();
    EXPECT_FALSE(form.IsLoading());
    EXPECT_TRUE(form.GetStatus()->text().contains(QStringLiteral("Add a file")));
    TTempFolder folder;
    EXPECT_THROW(form.ExportTable(QString::fromStdString(folder.File("n.csv"))), Exception);
}

namespace {

// Two nights of a readings file, a reading every ten minutes from 18:00 to 06:00.
std::string WriteReadings(const TTempFolder& folder) {
    const std::string name = folder.File("readings.csv");
    std::ofstream file(name, std::ios::binary);
    file << "Produced by Nightlux 3.0.0.0\r\n"
            "Year/Month/Day,Hour/Minute/Second,MPSAS,NELM,SerialNo,Protocol,Model,Feature,"
            "Temp(C),,,,\r\n";
    for (int night = 20; night <= 21; ++night) {
        for (int step = 0; step <= 72; ++step) {
            const int minutes = 18 * 60 + 10 * step;
            const int clock = minutes % (24 * 60);
            char line[160];
            std::snprintf(line, sizeof line,
                          "2026/03/%02d,%02d:%02d:00,%.2f,6.0,00005533,00000004,00000003,"
                          "00000076,05.3,,,,\r\n",
                          night + minutes / (24 * 60), clock / 60, clock % 60,
                          std::min(21.0, 16.0 + step * 0.25));
            file << line;
        }
    }
    return name;
}

} // namespace

// A load runs on the worker thread and shows its history when it ends; a cancelled one keeps
// the history shown before.
TEST(HistoryFm, LoadsOnAWorkerThreadAndCancelKeepsWhatWasShown) {
    TTempFolder folder;
    THistoryFm form;
    form.SetDefaultSite(TPosition{52.16, 4.49, 0});
    form.SetPaths({WriteReadings(folder)});
    QSignalSpy finished(&form, &THistoryFm::LoadFinished);
    form.Load();
    EXPECT_TRUE(form.IsLoading());
    EXPECT_TRUE(form.GetProgress()->isVisibleTo(&form));
    ASSERT_TRUE(finished.wait(60000));
    EXPECT_FALSE(form.IsLoading());
    ASSERT_TRUE(form.GetHistory()) << form.GetStatus()->text().toStdString();
    EXPECT_EQ(form.GetHistory()->Readings.size(), 146u);
    EXPECT_EQ(form.GetTable()->rowCount(), 2);

    form.SetPaths({WriteReadings(folder), folder.GetPath()});
    form.Load();
    form.CancelLoad();
    ASSERT_TRUE(finished.wait(60000));
    EXPECT_TRUE(form.GetStatus()->text().contains(QStringLiteral("cancelled")));
    EXPECT_EQ(form.GetHistory()->Readings.size(), 146u);
    EXPECT_FALSE(form.GetProgress()->isVisibleTo(&form));
}

TEST(HistoryFm, AFailedLoadIsSaid) {
    TTempFolder folder;
    THistoryFm form;
    form.SetDefaultSite(TPosition{52.16, 4.49, 0});
    form.SetPaths({folder.File("missing.csv")});
    QSignalSpy finished(&form, &THistoryFm::LoadFinished);
    form.Load();
    ASSERT_TRUE(finished.wait(60000));
    EXPECT_FALSE(form.GetHistory());
    EXPECT_TRUE(form.GetStatus()->text().contains(QStringLiteral("missing.csv")))
        << form.GetStatus()->text().toStdString();
}
