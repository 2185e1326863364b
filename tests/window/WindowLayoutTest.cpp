// The window as its users see it: every control at its place with its name, caption,
// hint, range, buddy and tab order; the styles; the browse and web-site buttons.
#include "core/Versioninfo.h"
#include "tests/support/RowName.h"
#include "tests/window/WindowFixture.h"
#include "window/StyleManager.h"
#include "window/UpDown.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <gmock/gmock.h>

using testing::ElementsAre;

namespace {

struct TControlRow {
    std::string Name;
    friend void PrintTo(const TControlRow& row, std::ostream* os) { *os << row.Name; }
    const char* Panel;
    QRect Place; // width and height 0 for a label sized to its caption
    QString Caption;
    QString Hint;
    const char* Buddy = nullptr;
};

class ControlTest : public WindowTest, public testing::WithParamInterface<TControlRow> {
protected:
    void SetUp() override { MakeForm(); }
};

TEST_P(ControlTest, StandsAtItsPlaceWithItsCaptionAndHint) {
    const TControlRow& row = GetParam();
    QWidget* control = Child(row.Name.c_str());
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->parentWidget()->objectName(), row.Panel);
    EXPECT_EQ(control->pos(), row.Place.topLeft());
    if (!row.Place.size().isNull()) {
        EXPECT_EQ(control->size(), row.Place.size());
    }
    EXPECT_EQ(Text(row.Name.c_str()), row.Caption);
    EXPECT_EQ(control->toolTip(), row.Hint);
    if (row.Buddy) {
        EXPECT_EQ(qobject_cast<QLabel*>(control)->buddy(), Child(row.Buddy));
    }
}

QRect At(int left, int top, int width = 0, int height = 0) {
    return {left, top, width, height};
}

INSTANTIATE_TEST_SUITE_P(
    ControlPanel, ControlTest,
    testing::Values(
        TControlRow{"LblModel", "ControlPanel", At(12, 16), "&SQM Model", "", "CmbModel"},
        TControlRow{"CmbModel", "ControlPanel", At(12, 32, 121, 21), "LE (Ethernet)",
                    "Select the model of meter"},
        TControlRow{"LblIP", "ControlPanel", At(139, 16), "&IP Address", "", "EdtIP"},
        TControlRow{"EdtIP", "ControlPanel", At(139, 32, 148, 21), "",
                    "Enter IP address or domain name of SQM-LE"},
        TControlRow{"LblPort", "ControlPanel", At(293, 16), "TCP &Port Number", "", "EdtPort"},
        TControlRow{"EdtPort", "ControlPanel", At(293, 32, 92, 21), "10001",
                    "Enter TCP port number of SQM-LE"},
        TControlRow{"LblComPort", "ControlPanel", At(391, 16), "&COM Port", "", "CmbComPort"},
        TControlRow{"CmbComPort", "ControlPanel", At(391, 32, 121, 21), "COM1",
                    "Enter serial port name of SQM-LU or SQM-LR"},
        TControlRow{"BtnRead", "ControlPanel", At(12, 75, 75, 25), "Read &Now",
                    "Acquire reading & unit info from SQM"},
        TControlRow{"BtnReset", "ControlPanel", At(95, 75, 65, 25), "Re&set",
                    "Disconnect from SQM and clear readings on this window"},
        TControlRow{"BtnTimer", "ControlPanel", At(212, 75, 75, 25), "&Read Every",
                    "Acquire readings continuously"},
        TControlRow{"LblTimer", "ControlPanel", At(293, 61), "&Minutes", "", "EdtTimer"},
        TControlRow{"EdtTimer", "ControlPanel", At(293, 77, 62, 21), "15",
                    "Period of time between continuous readings"},
        TControlRow{"SpnTimer", "ControlPanel", At(355, 77, 16, 21), "", ""},
        TControlRow{"LblTimeout", "ControlPanel", At(391, 61), "&Timeout (seconds)", "",
                    "EdtTimeout"},
        TControlRow{"EdtTimeout", "ControlPanel", At(391, 77, 62, 21), "8",
                    "Maximum time to connect and read SQM-LE"},
        TControlRow{"SpnTimeout", "ControlPanel", At(453, 77, 16, 21), "", ""}),
    RowName());

INSTANTIATE_TEST_SUITE_P(
    StoragePanel, ControlTest,
    testing::Values(TControlRow{"ChkSaveReading", "StoragePanel", At(12, 14, 173, 17),
                                "Sa&ve readings to:",
                                "Add readings to a file, creating it if necessary."},
                    TControlRow{"EdtFileName", "StoragePanel", At(12, 41, 342, 21), "",
                                "Name of file into which stored readings are saved"},
                    TControlRow{"BtnBrowse", "StoragePanel", At(360, 41, 22, 22), "...",
                                "Browse file system for stored readings file name"}),
    RowName());

INSTANTIATE_TEST_SUITE_P(
    ReadingPanel, ControlTest,
    testing::Values(
        TControlRow{"Label3", "ReadingPanel", At(12, 12), "Reading in Mag/Sq Arcsec", ""},
        TControlRow{"EdtMag", "ReadingPanel", At(12, 31, 173, 37), "<none>", ""},
        TControlRow{"Label13", "ReadingPanel", At(208, 12), "NELM (Theoretical)", ""},
        TControlRow{"EdtNELM", "ReadingPanel", At(208, 31, 173, 37), "<none>", ""},
        TControlRow{"Label7", "ReadingPanel", At(12, 79), "Time of Reading", ""},
        TControlRow{"EdtTimestamp", "ReadingPanel", At(12, 98, 371, 37), "<none>", ""},
        TControlRow{"Label5", "ReadingPanel", At(12, 149), "Model", ""},
        TControlRow{"EdtModel", "ReadingPanel", At(12, 168, 121, 21), "<none>", ""},
        TControlRow{"Label6", "ReadingPanel", At(148, 149), "Serial Number", ""},
        TControlRow{"EdtSerial", "ReadingPanel", At(148, 168, 121, 21), "<none>", ""},
        TControlRow{"Label8", "ReadingPanel", At(12, 194), "Protocol Version", ""},
        TControlRow{"EdtProtocol", "ReadingPanel", At(12, 213, 121, 21), "<none>", ""},
        TControlRow{"Label9", "ReadingPanel", At(148, 194), "Feature Version", ""},
        TControlRow{"EdtFeature", "ReadingPanel", At(148, 213, 121, 21), "<none>", ""},
        TControlRow{"Label4", "ReadingPanel", At(283, 194),
                    QString::fromUtf8("Temp at Sensor (\u00B0C)"), ""},
        TControlRow{"EdtTemp", "ReadingPanel", At(283, 213, 121, 21), "<none>", ""},
        TControlRow{"lblVclStyle", "ReadingPanel", At(15, 261), "Style", "", "CmbStyles"},
        TControlRow{"CmbStyles", "ReadingPanel", At(15, 280, 138, 21), "Slate Classico",
                    "Select an application style"},
        TControlRow{"Label10", "ReadingPanel", At(343, 254), "Nightlux by Corvatek", ""},
        TControlRow{"BtnHyperlink", "ReadingPanel", At(342, 280, 170, 25), "Visit corvatek.example",
                    "Visit https://corvatek.example/"}),
    RowName());

class WindowLayoutTest : public WindowTest {
protected:
    void SetUp() override { MakeForm(); }
};

TEST_F(WindowLayoutTest, HasItsCaptionClientAreaAndPanels) {
    EXPECT_EQ(Form->windowTitle(), "Nightlux 3");
    EXPECT_EQ(Form->size(), QSize(528, 524));
    EXPECT_FALSE(Form->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(Form->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(Child("ControlPanel")->geometry(), QRect(0, 0, 528, 113));
    EXPECT_EQ(Child("StoragePanel")->geometry(), QRect(0, 113, 528, 72));
    EXPECT_EQ(Child("ReadingPanel")->geometry(), QRect(0, 185, 528, 320));
    EXPECT_EQ(Child("StatusBar")->geometry(), QRect(0, 505, 528, 19));
}

// On a screen too short for the window, the panels keep their places and scroll.
TEST_F(WindowLayoutTest, AShortenedWindowScrollsItsPanelsToTheLastRow) {
    Form->resize(544, 400);
    QCoreApplication::processEvents();
    auto* scroller = Child<QScrollArea>("PanelScroller");
    const QRect panel = Child("ReadingPanel")->geometry();
    EXPECT_EQ(panel.topLeft(), QPoint(0, 185));
    EXPECT_EQ(panel.height(), 320);
    EXPECT_GE(panel.width(), 528);
    EXPECT_EQ(Child("StatusBar")->geometry(), QRect(0, 381, 544, 19));
    EXPECT_FALSE(scroller->horizontalScrollBar()->isVisible());
    QWidget* lastRow = Child("BtnHyperlink");
    scroller->ensureWidgetVisible(lastRow);
    const QRect shown = QRect(lastRow->mapTo(scroller->viewport(), QPoint(0, 0)), lastRow->size());
    EXPECT_TRUE(scroller->viewport()->rect().contains(shown));
}

TEST_F(WindowLayoutTest, SpinnersHaveTheirRangesAndSteps) {
    auto* period = Child<TUpDown>("SpnTimer");
    EXPECT_EQ(period->Min(), 1);
    EXPECT_EQ(period->Max(), 60);
    EXPECT_EQ(period->Increment(), 5);
    auto* timeout = Child<TUpDown>("SpnTimeout");
    EXPECT_EQ(timeout->Min(), 1);
    EXPECT_EQ(timeout->Max(), 30);
    EXPECT_EQ(timeout->Increment(), 1);
}

TEST_F(WindowLayoutTest, NoCaptionIsCut) {
    EXPECT_THAT(Form->CutCaptions(), testing::IsEmpty());
}

TEST_F(WindowLayoutTest, DisplayFieldsAreBorderedTabStops) {
    for (const char* name : {"EdtMag", "EdtNELM", "EdtTimestamp", "EdtModel", "EdtSerial",
                             "EdtProtocol", "EdtFeature", "EdtTemp"}) {
        auto* field = Child<QLabel>(name);
        EXPECT_TRUE(field->focusPolicy() & Qt::TabFocus) << name;
        EXPECT_NE(field->frameShape(), QFrame::NoFrame) << name;
    }
    EXPECT_TRUE(Child<QLabel>("EdtMag")->font().bold());
    EXPECT_GT(Child<QLabel>("EdtMag")->font().pixelSize(),
              Child<QLabel>("EdtModel")->font().pixelSize());
}

TEST_F(WindowLayoutTest, TabOrderFollowsThePanels) {
    const std::vector<std::string> expected = {
        "CmbModel",    "EdtIP",       "EdtPort",    "CmbComPort", "BtnRead",      "BtnReset",
        "BtnTimer",    "EdtTimer",    "SpnTimer",   "EdtTimeout", "SpnTimeout",   "ChkSaveReading",
        "EdtFileName", "BtnBrowse",   "EdtMag",     "EdtNELM",    "EdtTimestamp", "EdtModel",
        "EdtSerial",   "EdtProtocol", "EdtFeature", "EdtTemp",    "CmbStyles",    "BtnHyperlink"};
    std::vector<std::string> order;
    QWidget* widget = Child("CmbModel");
    do {
        const std::string name = widget->objectName().toStdString();
        if (std::find(expected.begin(), expected.end(), name) != expected.end())
            order.push_back(name);
        widget = widget->nextInFocusChain();
    } while (widget != Child("CmbModel"));
    EXPECT_EQ(order, expected);
}

TEST_F(WindowLayoutTest, TheModelListHasTheFocusWhenTheWindowOpens) {
    QApplication::setActiveWindow(Form.get());
    QCoreApplication::processEvents();
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), "CmbModel");
}

TEST_F(WindowLayoutTest, ListsHoldTheModelsThePortsAndTheSortedStyles) {
    auto items = [](QComboBox* list) {
        QStringList texts;
        for (int i = 0; i < list->count(); ++i)
            texts << list->itemText(i);
        return texts;
    };
    EXPECT_EQ(items(Child<QComboBox>("CmbModel")),
              QStringList({"LE (Ethernet)", "LR (RS-232)", "LU (USB)", "LU-DL (USB)"}));
    const QStringList ports = items(Child<QComboBox>("CmbComPort"));
    ASSERT_GE(ports.size(), 16);
    EXPECT_EQ(ports.first(), "COM1");
    EXPECT_EQ(ports[15], "COM16");
    EXPECT_EQ(items(Child<QComboBox>("CmbStyles")),
              QStringList({"Carbon", "Charcoal Dark Slate", "Diamond", "Jet", "Lavender Classico",
                           "Onyx Blue", "Slate Classico", "Windows10", "Windows10 SlateGray"}));
    EXPECT_EQ(Child<QComboBox>("CmbStyles")->maxVisibleItems(), 10);
}

// A list's pop-up is made when it is first opened, not at start, and then takes the list's
// font; the port list is described then, as wide as its longest line. The program sets its
// style before it makes the window (a change of style makes every pop-up).
TEST_F(WindowLayoutTest, ListsMakeTheirPopUpsWhenFirstOpenedInTheirOwnFont) {
    Form.reset();
    ASSERT_TRUE(TStyleManager::TrySetStyle(QStringLiteral("Slate Classico"), false));
    MakeForm();
    for (const char* name : {"CmbModel", "CmbComPort", "CmbStyles"})
        EXPECT_EQ(Child<QComboBox>(name)->findChild<QAbstractItemView*>(), nullptr) << name;
    auto* ports = Child<QComboBox>("CmbComPort");
    ports->showPopup();
    EXPECT_TRUE(ports->view()->isVisible());
    EXPECT_EQ(ports->view()->window()->font(), ports->font());
    EXPECT_EQ(ports->view()->font().toString(), ports->font().toString());
    EXPECT_EQ(ports->view()->minimumWidth(), ports->view()->sizeHintForColumn(0) + 24);
    ports->hidePopup();
}

TEST_F(WindowLayoutTest, StatusBarShowsTheVersionRecord) {
    EXPECT_EQ(Child<QLabel>("StatusPanel0")->width(), 250);
    EXPECT_EQ(Text("StatusPanel1"), "Version 3.0.0.0");
    std::string copyright;
    ASSERT_TRUE(TVersionInfo().GetCopyright(copyright)); // this program carries the record
    EXPECT_EQ(Text("StatusPanel0").toStdString(), copyright);
    EXPECT_FALSE(Child<QStatusBar>("StatusBar")->isSizeGripEnabled());
}

TEST_F(WindowLayoutTest, ChoosingAStyleRestylesAtOnce) {
    auto* styles = Child<QComboBox>("CmbStyles");
    const QColor slate = Child("ReadingPanel")->palette().color(QPalette::Window);
    styles->setCurrentText(QStringLiteral("Windows10"));
    EXPECT_EQ(TStyleManager::ActiveStyleName(), "Windows10");
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), QColor("#f0f0f0"));
    EXPECT_NE(Child("ReadingPanel")->palette().color(QPalette::Window), slate);
    EXPECT_THAT(Form->CutCaptions(), testing::IsEmpty());
    styles->setCurrentText(QStringLiteral("Jet"));
    EXPECT_EQ(QApplication::palette().color(QPalette::Base), QColor("#000000"));
    EXPECT_TRUE(qApp->styleSheet().contains(QStringLiteral("#0b0b0b")));
}

TEST_F(WindowLayoutTest, TheSystemLookIsKnownButNotListed) {
    EXPECT_TRUE(TStyleManager::StyleNames().contains(QStringLiteral("Windows")));
    EXPECT_EQ(Child<QComboBox>("CmbStyles")->findText(QStringLiteral("Windows")), -1);
    EXPECT_TRUE(TStyleManager::TrySetStyle(QStringLiteral("Windows"), false));
    EXPECT_TRUE(qApp->styleSheet().isEmpty());
    EXPECT_FALSE(TStyleManager::TrySetStyle(QStringLiteral("Nonesuch"), false));
    EXPECT_EQ(TStyleManager::ActiveStyleName(), "Windows");
    EXPECT_TRUE(TStyleManager::TrySetStyle(QStringLiteral("Slate Classico"), false));
}

TEST_F(WindowLayoutTest, StyleNamesAreKnownInAnyLetterCase) {
    EXPECT_TRUE(TStyleManager::TrySetStyle(QStringLiteral("jET"), false));
    EXPECT_EQ(TStyleManager::ActiveStyleName(), "Jet");
    EXPECT_EQ(QApplication::palette().color(QPalette::Base), QColor("#000000"));
    EXPECT_NO_THROW(TStyleManager::SetStyle(QStringLiteral("SLATE CLASSICO")));
    EXPECT_EQ(TStyleManager::ActiveStyleName(), "Slate Classico");
    EXPECT_TRUE(Seen.Boxes.empty());
}

TEST_F(WindowLayoutTest, WebSiteButtonOpensTheMakersAddress) {
    Click("BtnHyperlink");
    EXPECT_THAT(Seen.Urls, ElementsAre("https://corvatek.example/"));
    EXPECT_TRUE(Seen.Boxes.empty());
    Seen.BrowserOpens = false;
    Click("BtnHyperlink");
    EXPECT_THAT(Seen.Texts(), ElementsAre("Your browser could not be opened."));
}

TEST_F(WindowLayoutTest, BrowseProposesTheReadingsFileInTheDocumentsFolder) {
    const QString chosen = Home.path() + QStringLiteral("/sky.txt");
    Seen.DialogAnswer = chosen;
    Click("BtnBrowse");
    ASSERT_EQ(Seen.Dialogs.size(), 1u);
    const QString folder = Home.path() + QStringLiteral("/Documents/Nightlux 3/");
    EXPECT_EQ(Seen.Dialogs[0].Folder, folder);
    EXPECT_EQ(Seen.Dialogs[0].FileName, folder + QStringLiteral("SQMReadings.txt"));
    EXPECT_EQ(Seen.Dialogs[0].DefaultExtension, "txt");
    EXPECT_EQ(Seen.Dialogs[0].Filter, "*.txt");
    EXPECT_EQ(Text("EdtFileName"), chosen);

    Seen.DialogAnswer.reset();
    Click("BtnBrowse");
    EXPECT_EQ(Text("EdtFileName"), chosen);
}

// The proposed file on a first run lies in a folder that does not exist yet.
TEST_F(WindowLayoutTest, BrowseMakesTheChosenFilesFolderAndOnlyThatOne) {
    const QString documents = Home.path() + QStringLiteral("/Documents");
    ASSERT_TRUE(QDir().mkdir(documents));
    const QString proposed = documents + QStringLiteral("/Nightlux 3/SQMReadings.txt");
    Seen.DialogAnswer = proposed;
    Click("BtnBrowse");
    EXPECT_TRUE(Seen.Boxes.empty());
    EXPECT_TRUE(QFileInfo(documents + QStringLiteral("/Nightlux 3")).isDir());
    EXPECT_EQ(Text("EdtFileName"), proposed);

    // A folder that exists is taken as it is.
    Seen.DialogAnswer = documents + QStringLiteral("/sky.txt");
    Click("BtnBrowse");
    EXPECT_TRUE(Seen.Boxes.empty());
    EXPECT_EQ(Text("EdtFileName"), documents + QStringLiteral("/sky.txt"));

    // Two missing levels: nothing is made and the name in use is kept.
    const QString deeper = Home.path() + QStringLiteral("/a/b");
    Seen.DialogAnswer = deeper + QStringLiteral("/sky.txt");
    Click("BtnBrowse");
    ASSERT_EQ(Seen.Boxes.size(), 1u);
    EXPECT_TRUE(Seen.Boxes[0].Text.startsWith("Could not create folder " + deeper + ": "))
        << Seen.Boxes[0].Text.toStdString();
    EXPECT_FALSE(QFileInfo::exists(Home.path() + QStringLiteral("/a")));
    EXPECT_EQ(Text("EdtFileName"), documents + QStringLiteral("/sky.txt"));
}

TEST_F(WindowLayoutTest, AChangeOfScreenResolutionIsNoted) {
    testing::internal::CaptureStderr();
    Form->WMDpiChanged(144);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "YDpi=144, Size=96\n");
    EXPECT_EQ(Form->GetPixelsPerInch(), 144);
}

} // namespace
