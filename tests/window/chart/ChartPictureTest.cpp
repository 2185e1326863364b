#include "window/chart/ChartPicture.h"

#include "platform/Exception.h"
#include "tests/support/TempFolder.h"
#include "tests/window/chart/ChartFixture.h"
#include "window/chart/NightChartView.h"

#include <QAreaSeries>
#include <QImage>
#include <gtest/gtest.h>

namespace {

TEST(ChartPictureTest, DrawsTheChartWithoutADisplayAtTheSizeAsked) {
    TTempFolder folder;
    const QString name = QString::fromStdString(folder.File("night.png"));
    TNightChartView view(TestNight);
    view.SetReadings({Reading(At(2017, 3, 21, 22), 21.0)});
    // Daylight until 18:00, then night.
    view.SetTwilight({{At(2017, 3, 21, 12), At(2017, 3, 21, 18), TTwilightKind::Day}});
    SaveChartPicture(view, name, QSize(800, 500));

    const QImage picture(name, "PNG");
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), QSize(800, 500));
    QAbstractSeries* band = view.chart()->series().front();
    const auto pixel = [&](double hours) {
        return picture.pixelColor(
            view.chart()->mapToPosition(QPointF(hours, 0.25), band).toPoint());
    };
    EXPECT_NE(pixel(15.0 - 12.0), pixel(23.0 - 12.0));
    EXPECT_EQ(pixel(23.0 - 12.0), view.chart()->plotAreaBackgroundBrush().color());
}

TEST(ChartPictureTest, AFailureNamesTheFile) {
    TTempFolder folder;
    TNightChartView view(TestNight);
    for (const std::string& name : {folder.File("no/such/folder/night.png"), folder.GetPath()}) {
        try {
            SaveChartPicture(view, QString::fromStdString(name), QSize(400, 300));
            ADD_FAILURE() << "saved " << name;
        } catch (const Exception& e) {
            EXPECT_TRUE(std::string(e.what()).starts_with("Could not save the chart to " + name))
                << e.what();
        }
    }
}

} // namespace
