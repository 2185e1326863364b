#include "window/chart/NightChartFm.h"

#include "tests/support/ScopedEnv.h"
#include "tests/support/TempFolder.h"
#include "tests/window/chart/ChartFixture.h"
#include "window/chart/NightChartView.h"

#include <QCheckBox>
#include <QValueAxis>
#include <fstream>
#include <gtest/gtest.h>

namespace {

std::vector<double> Magnitudes(const TNightChartFm& form) {
    std::vector<double> magnitudes;
    for (const TNightReading& r : form.GetView()->GetReadings())
        magnitudes.push_back(r.Magnitude);
    return magnitudes;
}

class NightChartFmTest : public testing::Test {
protected:
    TTempFolder Folder;
    std::string Name = Folder.File("readings.csv");
    TNightChartFm Form{TestNight};

    void SetUp() override {
        std::ofstream(Name, std::ios::binary)
            << "2017/03/21,20:00:00,19.00,5.1,00005533,00000004,00000003,00000076,05.3,,,,\r\n"
               "damaged\r\n"
               "2017/03/21,22:00:00,20.50,5.8,00005533,00000004,00000003,00000076,05.3,,,,\r\n"
               "2017/03/20,22:00:00,20.00,5.5,00005533,00000004,00000003,00000076,05.3,,,,\r\n";
    }
};

TEST_F(NightChartFmTest, ShowsTheStoredAndTheSessionReadingsOfTheNight) {
    Form.AddSessionReading(Reading(At(2017, 3, 21, 22), 20.5)); // stored as well
    Form.AddSessionReading(Reading(At(2017, 3, 21, 23), 21.0));
    Form.SetReadingsFileName(Name);
    EXPECT_EQ(Magnitudes(Form), (std::vector<double>{19.0, 20.5, 21.0}));
    EXPECT_EQ(Form.GetFileNote(),
              QString::fromStdString(Name) + ": 1 damaged line skipped (line 2).");
    Form.AddSessionReading(Reading(At(2017, 3, 22, 1), 21.3));
    EXPECT_EQ(Magnitudes(Form), (std::vector<double>{19.0, 20.5, 21.0, 21.3}));
}

TEST_F(NightChartFmTest, ShowsTheNightOfTheLatestSessionReading) {
    Form.SetReadingsFileName(Name);
    Form.SetSessionReadings(
        {Reading(At(2017, 3, 20, 23), 20.1), Reading(At(2017, 3, 21, 1), 20.2)});
    EXPECT_EQ(Form.GetView()->GetNight().AsText(), "2017-03-20");
    EXPECT_EQ(Magnitudes(Form), (std::vector<double>{20.0, 20.1, 20.2}));
    Form.AddSessionReading(Reading(At(2017, 3, 21, 23), 20.3));
    EXPECT_EQ(Magnitudes(Form), (std::vector<double>{19.0, 20.5, 20.3}));
    Form.SetSessionReadings({});
    EXPECT_EQ(Form.GetView()->GetNight().AsText(), "2017-03-21");
}

TEST_F(NightChartFmTest, MovesOnToTheNextNightAtNoon) {
    Form.SetReadingsFileName(Name);
    Form.AddSessionReading(Reading(At(2017, 3, 22, 11, 59), 9.0));
    EXPECT_EQ(Form.GetView()->GetNight(), TestNight);
    Form.AddSessionReading(Reading(At(2017, 3, 22, 12), 8.5));
    EXPECT_EQ(Form.GetView()->GetNight().AsText(), "2017-03-22");
    EXPECT_EQ(Magnitudes(Form), (std::vector<double>{8.5}));
    // Going back to the night before brings its readings back.
    Form.ShowNight(TestNight);
    EXPECT_EQ(Magnitudes(Form), (std::vector<double>{19.0, 20.5, 9.0}));
}

TEST_F(NightChartFmTest, SaysWhyTheFileCouldNotBeReadButNotThatItIsNotThereYet) {
    Form.SetReadingsFileName(Folder.File("not-yet.csv"));
    EXPECT_EQ(Form.GetFileNote(), "");
    Form.SetReadingsFileName(Folder.GetPath());
    EXPECT_TRUE(Form.GetFileNote().startsWith("Could not read "))
        << Form.GetFileNote().toStdString();
    EXPECT_TRUE(Form.GetView()->GetReadings().empty());
}

// A device never reaches the reader: /dev/zero once grew the program until it aborted.
TEST_F(NightChartFmTest, ADeviceAsTheReadingsFileIsNamedAndNotRead) {
    Form.SetReadingsFileName("/dev/zero");
    EXPECT_EQ(Form.GetFileNote(), "Could not read /dev/zero: it is a device, not a regular file");
    EXPECT_TRUE(Form.GetView()->GetReadings().empty());
}

TEST_F(NightChartFmTest, TakesTwilightAndMoonFromTheSkyFunctionForEachNight) {
    std::vector<std::string> asked;
    Form.SetSkyFunction([&asked](const TNight& night) {
        asked.push_back(night.AsText());
        return TNightSky{{}, {{night.GetStart() + std::chrono::hours(12), 35.0}}};
    });
    EXPECT_TRUE(Form.GetView()->GetMoonAxis()->isVisible());
    Form.AddSessionReading(Reading(At(2017, 3, 22, 13), 12.0));
    EXPECT_EQ(asked, (std::vector<std::string>{"2017-03-21", "2017-03-22"}));
    EXPECT_TRUE(Form.GetView()->GetMoonAxis()->isVisible());
}

// The site names the chart and tells its dark readings; the check box widens it to noon to noon.
TEST_F(NightChartFmTest, TheSiteGivesTheDarkMedianAndTheBoxNoonToNoon) {
    TScopedEnv tz("TZ", "Europe/Amsterdam");
    Form.SetReadingsFileName(Name);
    TNightChartView* view = Form.GetView();
    EXPECT_FALSE(view->GetDarkMedian());
    Form.SetSkySite(SkySiteOf(TSite{"Leiden", TPosition{52.16, 4.49, {}}}));
    ASSERT_TRUE(view->GetDarkMedian()); // 22:00 is dark, 20:00 twilight
    EXPECT_DOUBLE_EQ(*view->GetDarkMedian(), 20.5);
    EXPECT_TRUE(view->chart()->title().contains("at Leiden (52.160°N 4.490°E)"));
    const auto [from, to] = view->GetTimeSpan();
    EXPECT_GT(from, 5.0);
    EXPECT_LT(to, 21.0);
    Form.GetNoonToNoonBox()->setChecked(true);
    EXPECT_EQ(view->GetTimeSpan(), std::make_pair(0.0, 24.0));
    // Another night keeps the choice.
    Form.AddSessionReading(Reading(At(2017, 3, 22, 23), 21.0));
    EXPECT_EQ(view->GetNight(), TNight::Parse("2017-03-22"));
    EXPECT_EQ(view->GetTimeSpan(), std::make_pair(0.0, 24.0));
    Form.GetNoonToNoonBox()->setChecked(false);
    EXPECT_GT(view->GetTimeSpan().first, 5.0);
}

} // namespace
