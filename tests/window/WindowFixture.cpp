#include "tests/window/WindowFixture.h"

#include "tools/sim/MeterReplies.h"

#include <QApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QPushButton>
#include <QtGlobal>
#include <thread>

std::vector<QString> TSeen::Texts() const {
    std::vector<QString> texts;
    for (const TBox& box : Boxes)
        texts.push_back(box.Text);
    return texts;
}

namespace {

void Step(TFakeLink& link, const std::string& name) {
    link.Calls.push_back(name);
    if (link.FailAt == name) {
        if (link.FailWith == "convert")
            throw EConvertError("'x' is not a valid floating point value");
        if (link.FailWith == "other")
            throw Exception("Something else went wrong.");
        throw ESqm(link.FailWith);
    }
}

} // namespace

void TFakeLink::Connect() {
    const QCursor* cursor = QGuiApplication::overrideCursor();
    CursorAtConnect = cursor ? cursor->shape() : -1;
    if (OnConnect)
        OnConnect();
    Step(*this, "Connect");
    std::this_thread::sleep_for(ConnectTime);
    Connected = true;
}

void TFakeLink::Disconnect() {
    Calls.push_back("Disconnect");
    Connected = false;
}

void TFakeLink::ReadReading() {
    Step(*this, "ReadReading");
    ReadingReply = ReadingLine;
    ReadingTime = 42815.896006944; // 2017-03-21 21:30:15
}

void TFakeLink::ReadUnitInfo() {
    Step(*this, "ReadUnitInfo");
    UnitInfoReply = UnitInfoLine;
}

void TFakeLink::ReadCalibration() {
    Step(*this, "ReadCalibration");
}

TFakeLinks::TFakeLinks() {
    TMeterReplies replies;
    UnitInfoLine = replies.UnitInfoLine();
    ReadingLine = replies.ReadingLine(19.53, 5.3);
    auto remember = [this](TMade made) {
        auto link = std::make_unique<TFakeLink>();
        link->UnitInfoLine = UnitInfoLine;
        link->ReadingLine = ReadingLine;
        link->FailAt = FailAt;
        link->FailWith = FailWith;
        link->OnConnect = OnConnect;
        made.Link = link.get();
        Made.push_back(made);
        return link;
    };
    TLinkFactory factory;
    factory.Ethernet = [remember](const std::string& host, int port, int timeout) {
        return std::unique_ptr<TDmSQMBase>(remember({"LE", host, port, timeout, "", 0}));
    };
    factory.Serial = [remember](const std::string& comPort, int baudRate) {
        return std::unique_ptr<TDmSQMBase>(remember({"LUR", "", 0, 0, comPort, baudRate}));
    };
    Override = std::make_unique<TLinkFactoryOverride>(std::move(factory));
}

TFakeLinks::~TFakeLinks() = default;

WindowTest::WindowTest() : SavedHome(qgetenv("HOME")), SavedConfigHome(qgetenv("XDG_CONFIG_HOME")) {
    qputenv("HOME", Home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (Home.path() + QStringLiteral("/.config")).toUtf8());
    TWindowSeams seams;
    seams.MessageBox = [this](const QString& caption, const QString& text, TMessageIcon icon) {
        Seen.Boxes.push_back({caption, text, icon});
    };
    seams.Beep = [this] { ++Seen.Beeps; };
    seams.OpenUrl = [this](const QString& url) {
        Seen.Urls.push_back(url);
        return Seen.BrowserOpens;
    };
    seams.SaveDialog = [this](QWidget*, const TSaveDialogRequest& request) {
        Seen.Dialogs.push_back(request);
        return Seen.DialogAnswer;
    };
    Seams = std::make_unique<TWindowSeamsOverride>(std::move(seams));
    // As the program's entry point does.
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Nightlux 3"));
}

WindowTest::~WindowTest() {
    Form.reset();
    qputenv("HOME", SavedHome);
    if (SavedConfigHome.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", SavedConfigHome);
}

void WindowTest::MakeForm() {
    Form = std::make_unique<TMainForm>();
    Form->show();
}

QString WindowTest::Text(const char* name) const {
    QWidget* widget = Child(name);
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text();
    if (auto* edit = qobject_cast<QLineEdit*>(widget))
        return edit->text();
    if (auto* list = qobject_cast<QComboBox*>(widget))
        return list->currentText();
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        return button->text();
    return {};
}

void WindowTest::SetText(const char* name, const QString& text) {
    Child<QLineEdit>(name)->setText(text);
}

void WindowTest::Click(const char* name) {
    auto* button = Child<QAbstractButton>(name);
    ASSERT_TRUE(button->isEnabled()) << name;
    button->click();
}

void WindowTest::PointAt(std::uint16_t port, int timeoutSeconds) {
    SetText("EdtIP", QStringLiteral("127.0.0.1"));
    SetText("EdtPort", QString::number(port));
    SetText("EdtTimeout", QString::number(timeoutSeconds));
}

void WindowTest::ExpectDefaultReadingShown() const {
    EXPECT_EQ(Text("EdtMag"), "19.53");
    EXPECT_EQ(Text("EdtNELM"), "5.2");
    EXPECT_EQ(Text("EdtTemp"), QString::fromUtf8("5.3 \u00B0C"));
    EXPECT_EQ(Text("EdtModel"), "3");
    EXPECT_EQ(Text("EdtSerial"), "5533");
    EXPECT_EQ(Text("EdtProtocol"), "4");
    EXPECT_EQ(Text("EdtFeature"), "76");
}

std::vector<std::string> WindowTest::EnabledEntries() const {
    std::vector<std::string> names;
    for (const char* panel : {"ControlPanel", "StoragePanel"})
        for (QWidget* child : Child(panel)->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (child->isEnabled())
                names.push_back(child->objectName().toStdString());
    return names;
}

QString WindowTest::ConfigFolder() const {
    return Home.path() + QStringLiteral("/.config/Corvatek/Nightlux/3.0");
}

QString WindowTest::SettingsFile() const {
    return ConfigFolder() + QStringLiteral("/nightlux.ini");
}

void FakeLinkWindowTest::SetUp() {
    MakeForm();
    PointAt(10001, 5);
}
