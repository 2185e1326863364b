#include "window/history/HistoryFm.h"

#include "platform/Exception.h"
#include "tests/support/TempFolder.h"
#include "tests/window/history/HistoryFixture.h"

#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTableWidget>
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
