// Pictures of the window with the night chart open after a night replayed by the simulated
// meter, for the README. Runs only when NIGHTLUX_SCREENSHOTS names the folder to write them to
// (scripts/take-chart-pictures runs it under Xvfb).
#include "meter/Dm_SQMLE.h"
#include "platform/DateTime.h"
#include "tests/window/WindowFixture.h"
#include "tools/sim/TcpMeterServer.h"
#include "window/chart/NightChartFm.h"

#include <QDir>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <fstream>

namespace {

constexpr int NightStartMinutes = 17 * 60;
constexpr int StepMinutes = 5;

// An SQM-LE link whose readings bear the replayed night's clock instead of the computer's.
class TReplayedLink : public TDmSQMLE {
public:
    explicit TReplayedLink(int& count) : Count(count) {}
    void ReadReading() override {
        TDmSQMLE::ReadReading();
        const int minutes = NightStartMinutes + StepMinutes * Count++;
        ReadingTime = EncodeDateTime(2026, 3, minutes < 24 * 60 ? 20 : 21, minutes / 60 % 24,
                                     minutes % 60, 12, 0);
    }

private:
    int& Count;
};

class NightChartScreenshotTest : public WindowTest {};

TEST_F(NightChartScreenshotTest, AfterANightInALightAndADarkStyle) {
    const QString folder = QString::fromLocal8Bit(qgetenv("NIGHTLUX_SCREENSHOTS"));
    if (folder.isEmpty())
        GTEST_SKIP() << "set NIGHTLUX_SCREENSHOTS to a folder to take the pictures";
    QDir().mkpath(ConfigFolder());
    std::ofstream(SettingsFile().toStdString())
        << "[Site]\nName=Dune Hill\nLatitude=52.16\nLongitude=4.49\nElevation=5\n";
    TMeterOptions night;
    night.NightStep = std::chrono::minutes(StepMinutes);
    night.NightStart = std::chrono::minutes(NightStartMinutes);
    // Each reading connects anew, sooner than the meter may have seen the last one go.
    night.RefuseSecondClient = false;
    TTcpMeterServer meter(night);
    int count = 0;
    TLinkFactory factory;
    factory.Ethernet = [&count](const std::string& host, int port, int timeoutMs) {
        auto link = std::make_unique<TReplayedLink>(count);
        link->Host = host;
        link->Port = port;
        link->Timeout = timeoutMs;
        return std::unique_ptr<TDmSQMBase>(std::move(link));
    };
    const TLinkFactoryOverride replay(std::move(factory));

    MakeForm();
    PointAt(meter.GetPort(), 8);
    Form->move(0, 0);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
    Click("BtnChart");
    TNightChartFm* chart = Form->GetChart();
    ASSERT_NE(chart, nullptr);
    chart->setGeometry(Form->frameGeometry().right() + 8, 0, 900, Form->height());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(chart));
    for (int k = 0; k < 162; ++k)
        Click("BtnRead");
    ASSERT_TRUE(Seen.Boxes.empty()) << Seen.Boxes.front().Text.toStdString();

    for (const QString& style :
         {QStringLiteral("Windows10"), QStringLiteral("Charcoal Dark Slate")}) {
        Child<QComboBox>("CmbStyles")->setCurrentText(style);
        QTest::qWait(300);
        const QRect both = Form->frameGeometry().united(chart->frameGeometry());
        const QPixmap picture = Form->windowHandle()->screen()->grabWindow(
            0, both.x(), both.y(), both.width(), both.height());
        const QString name = QString(style).toLower().replace(QLatin1Char(' '), '-');
        ASSERT_TRUE(picture.save(folder + QStringLiteral("/nightlux-night-chart-") + name +
                                 QStringLiteral(".png")));
    }
}

} // namespace
