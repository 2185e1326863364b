// Pictures of the real window after a reading of the simulated meter, for the README. Runs only
// when NIGHTLUX_SCREENSHOTS names the folder to write them to (scripts/take-screenshots runs it
// under Xvfb); NIGHTLUX_SCREENSHOT_STYLES may list other styles, separated by commas.
#include "tests/window/WindowFixture.h"
#include "tools/sim/TcpMeterServer.h"

#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QWindow>

namespace {

class ScreenshotTest : public WindowTest {};

TEST_F(ScreenshotTest, AfterAReadingInTwoStyles) {
    const QString folder = QString::fromLocal8Bit(qgetenv("NIGHTLUX_SCREENSHOTS"));
    if (folder.isEmpty())
        GTEST_SKIP() << "set NIGHTLUX_SCREENSHOTS to a folder to take the pictures";
    TMeterOptions steady;
    steady.Magnitude = 21.37;
    steady.Temperature = 4.5;
    TTcpMeterServer meter(steady);
    MakeForm();
    SetText("EdtIP", QStringLiteral("127.0.0.1"));
    SetText("EdtPort", QString::number(meter.GetPort()));
    SetText("EdtTimeout", QStringLiteral("8"));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
    Click("BtnRead");
    ASSERT_TRUE(Seen.Boxes.empty());

    QStringList styles = {QStringLiteral("Slate Classico"), QStringLiteral("Windows10")};
    if (!qgetenv("NIGHTLUX_SCREENSHOT_STYLES").isEmpty())
        styles = QString::fromLocal8Bit(qgetenv("NIGHTLUX_SCREENSHOT_STYLES")).split(',');
    for (const QString& style : styles) {
        Child<QComboBox>("CmbStyles")->setCurrentText(style);
        QTest::qWait(300);
        const QPixmap picture =
            Form->windowHandle()->screen()->grabWindow(Form->windowHandle()->winId());
        const QString name = QString(style).toLower().replace(QLatin1Char(' '), '-');
        ASSERT_TRUE(
            picture.save(folder + QStringLiteral("/nightlux-") + name + QStringLiteral(".png")));
    }
}

} // namespace
