// The night chart opened from the window: the session's readings, the readings file, the
// saved site and the chosen style.
#include "tests/window/WindowFixture.h"
#include "tools/sim/MeterReplies.h"
#include "window/chart/NightChartFm.h"
#include "window/chart/NightChartView.h"

#include <QAbstractSeries>
#include <QAreaSeries>
#include <QChart>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineSeries>
#include <QPushButton>
#include <QTest>
#include <fstream>
#include <gmock/gmock.h>

namespace {

class NightChartWindowTest : public FakeLinkWindowTest {
protected:
    TNightChartFm* Chart() const { return Form->GetChart(); }
    std::vector<double> Magnitudes() const {
        std::vector<double> magnitudes;
        for (const TNightReading& r : Chart()->GetView()->GetReadings())
            magnitudes.push_back(r.Magnitude);
        return magnitudes;
    }
    bool TwilightShown() const {
        for (QAbstractSeries* series : Chart()->GetView()->chart()->series())
            if (auto* area = qobject_cast<QAreaSeries*>(series);
                area && area->upperSeries()->count())
                return true;
        return false;
    }
    void SaveSite(const std::string& lines) {
        QDir().mkpath(ConfigFolder());
        std::ofstream(SettingsFile().toStdString()) << "[Site]\n" << lines;
    }
};

TEST_F(NightChartWindowTest, TheButtonComesLastAndOpensTheChartOfTheSessionsReadings) {
    auto* button = Child<QPushButton>("BtnChart");
    EXPECT_EQ(button->parentWidget()->objectName(), "ReadingPanel");
    EXPECT_EQ(button->text(), "Night C&hart");
    EXPECT_EQ(Child("BtnHyperlink")->nextInFocusChain(), button);
    EXPECT_THAT(Form->CutCaptions(), testing::IsEmpty());

    Click("BtnRead");
    EXPECT_EQ(Form->GetChart(), nullptr);
    Click("BtnChart");
    ASSERT_NE(Chart(), nullptr);
    EXPECT_TRUE(Chart()->isVisible());
    EXPECT_EQ(Chart()->GetView()->GetNight().AsText(), "2017-03-21");
    EXPECT_EQ(Magnitudes(), std::vector<double>{19.53});

    Links.ReadingLine = TMeterReplies().ReadingLine(20.11, 5.3);
    Click("BtnRead");
    EXPECT_EQ(Magnitudes(), (std::vector<double>{19.53, 20.11}));
}

TEST_F(NightChartWindowTest, ReadingsStoredThisSessionCountOnceBesideTheFilesOwn) {
    const QString file = Home.path() + QStringLiteral("/sky.txt");
    std::ofstream(file.toStdString(), std::ios::binary)
        << "2017/03/21,20:00:00,18.40,4.6,00005533,00000004,00000003,00000076,05.3,,,,\r\n";
    SetText("EdtFileName", file);
    Child<QCheckBox>("ChkSaveReading")->setChecked(true);
    Click("BtnRead");
    Click("BtnChart");
    EXPECT_EQ(Magnitudes(), (std::vector<double>{18.40, 19.53}));
    Chart()->close();
    Click("BtnChart");
    EXPECT_EQ(Magnitudes(), (std::vector<double>{18.40, 19.53}));
    Links.ReadingLine = TMeterReplies().ReadingLine(20.11, 5.3);
    Click("BtnRead");
    EXPECT_EQ(Magnitudes(), (std::vector<double>{18.40, 19.53, 20.11}));
    EXPECT_TRUE(Seen.Boxes.empty());
}

TEST_F(NightChartWindowTest, BeforeAnyReadingTheChartShowsTonight) {
    Click("BtnChart");
    EXPECT_EQ(Chart()->GetView()->GetNight(), TNight::Of(LocalTimeOf(Now())));
    EXPECT_TRUE(Magnitudes().empty());
}

TEST_F(NightChartWindowTest, TwilightAndMoonComeFromTheSavedSiteOrANoteSaysWhyNot) {
    Click("BtnRead");
    Click("BtnChart");
    EXPECT_FALSE(TwilightShown());
    EXPECT_TRUE(Chart()->GetSkyNote().startsWith("No site is set"))
        << Chart()->GetSkyNote().toStdString();

    SaveSite("Latitude=52.16\nLongitude=4.49\nName=Leiden\n");
    Click("BtnChart");
    EXPECT_TRUE(TwilightShown());
    EXPECT_TRUE(Chart()->GetSkyNote().startsWith("Twilight and Moon for Leiden"))
        << Chart()->GetSkyNote().toStdString();

    SaveSite("Latitude=152.16\nLongitude=4.49\n");
    Click("BtnChart");
    EXPECT_FALSE(TwilightShown());
    EXPECT_TRUE(Chart()->GetSkyNote().contains("152.16")) << Chart()->GetSkyNote().toStdString();
    EXPECT_TRUE(Seen.Boxes.empty());
}

TEST_F(NightChartWindowTest, FollowsTheChosenStyle) {
    Click("BtnChart");
    const auto background = [this] {
        return Chart()->GetView()->chart()->backgroundBrush().color().lightness();
    };
    Child<QComboBox>("CmbStyles")->setCurrentText(QStringLiteral("Windows10"));
    EXPECT_GT(background(), 200);
    Child<QComboBox>("CmbStyles")->setCurrentText(QStringLiteral("Jet"));
    EXPECT_LT(background(), 60);
}

TEST_F(NightChartWindowTest, ReadingsOfASeriesGoToTheChart) {
    Click("BtnChart");
    Click("BtnTimer");
    Timer()->setInterval(10);
    Timer()->start();
    EXPECT_TRUE(
        QTest::qWaitFor([this] { return Chart()->GetView()->GetReadings().size() >= 3; }, 20000));
    Click("BtnReset");
    EXPECT_TRUE(Seen.Boxes.empty());
}

} // namespace
