// The window's layout: every control at its place, with its name, caption, hint and range.
#include "window/ComPortNames.h"
#include "window/DeferredPopupList.h"
#include "window/MainFm.h"
#include "window/NightluxApplication.h"
#include "window/StartUp.h"
#include "window/UpDown.h"
#include "window/WindowFonts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// The window's client size at the design's scale, and the status bar's height within it.
constexpr QSize ClientSize(528, 524);
constexpr int StatusBarHeight = 19;

template <class Widget>
Widget* Place(Widget* widget, const char* name, int left, int top, int width, int height) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(left, top, width, height);
    return widget;
}

// A label sized to its caption, as the platform's auto-sizing labels are.
QLabel* PlaceLabel(QWidget* parent, const char* name, int left, int top, const char* caption,
                   QWidget* buddy = nullptr) {
    auto* label = new QLabel(QString::fromUtf8(caption), parent);
    label->setObjectName(QString::fromLatin1(name));
    label->move(left, top);
    label->setProperty("autoSize", true);
    if (buddy)
        label->setBuddy(buddy);
    return label;
}

QLineEdit* PlaceEdit(QWidget* parent, const char* name, int left, int top, int width,
                     const char* hint) {
    auto* edit = Place(new QLineEdit(parent), name, left, top, width, 21);
    edit->setToolTip(QString::fromUtf8(hint));
    return edit;
}

TDeferredPopupList* PlaceList(QWidget* parent, const char* name, int left, int top, int width,
                              const char* hint) {
    auto* list = Place(new TDeferredPopupList(parent), name, left, top, width, 21);
    list->setEditable(false);
    list->setToolTip(QString::fromUtf8(hint));
    return list;
}

QPushButton* PlaceButton(QWidget* parent, const char* name, int left, int top, int width,
                         int height, const char* caption, const char* hint) {
    auto* button =
        Place(new QPushButton(QString::fromUtf8(caption), parent), name, left, top, width, height);
    button->setToolTip(QString::fromUtf8(hint));
    button->setAutoDefault(false);
    return button;
}

// A display field: a static text with a single border on the window background that
// takes the focus with the tab key.
QLabel* PlaceDisplay(QWidget* parent, const char* name, int left, int top, int width, int height) {
    auto* field = Place(new QLabel(parent), name, left, top, width, height);
    field->setProperty("displayField", true);
    field->setFrameStyle(QFrame::Box | QFrame::Plain);
    field->setBackgroundRole(QPalette::Base);
    field->setAutoFillBackground(true);
    field->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    field->setFocusPolicy(Qt::StrongFocus);
    field->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return field;
}

QFrame* MakePanel(QWidget* parent, const char* name) {
    auto* panel = new QFrame(parent);
    panel->setObjectName(QString::fromLatin1(name));
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    return panel;
}

} // namespace

const char* const TMainForm::WebAddress = "https://corvatek.example/";
const char* const TMainForm::WebDomain = "corvatek.example";

void TMainForm::BuildWindow() {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QString::fromUtf8(ApplicationTitle));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setBackgroundRole(QPalette::Button);

    // The panels are made in their scrolled page, which is in place first: under a style sheet,
    // moving a widget to another parent polishes it and everything in it once more.
    BuildPanelScroller();
    BuildControlPanel();
    BuildStoragePanel();
    BuildReadingPanel();
    BuildChartButton();
    BuildStationButton();
    BuildStatusBar();
    ControlPanel->setFixedHeight(113);
    StoragePanel->setFixedHeight(72);
    StatusBar->setFixedHeight(StatusBarHeight);
    auto* pageLayout = static_cast<QVBoxLayout*>(PanelPage->layout());
    pageLayout->addWidget(ControlPanel);
    pageLayout->addWidget(StoragePanel);
    pageLayout->addWidget(ReadingPanel, 1);
    SetTabOrder();
    ApplyFonts();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(PanelScroller, 1);
    layout->addWidget(StatusBar);

    Timer = new QTimer(this);
    Timer->setObjectName(QStringLiteral("Timer"));
    Timer->setTimerType(Qt::PreciseTimer);

    resize(ClientSize);
}

// Once the style is in force, as it sets the scroll bar's width.
void TMainForm::PlaceOnScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const int scrollBarWidth = PanelScroller->verticalScrollBar()->sizeHint().width();
    // The frame is known only once the window is shown; leave room for a title bar.
    const int titleBar = style()->pixelMetric(QStyle::PM_TitleBarHeight);
    setGeometry(OpeningGeometry(ClientSize, QMargins(0, titleBar, 0, 0),
                                screen->availableGeometry(), scrollBarWidth));
}

void TMainForm::BuildPanelScroller() {
    auto* page = PanelPage = new QWidget;
    page->setObjectName(QStringLiteral("PanelPage"));
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    // The controls end at 512; the margin beyond absorbs the rounding of fractional scales.
    page->setMinimumSize(520, ClientSize.height() - StatusBarHeight);

    PanelScroller = new QScrollArea(this);
    PanelScroller->setObjectName(QStringLiteral("PanelScroller"));
    PanelScroller->setFrameShape(QFrame::NoFrame);
    // Only the controls take the focus, the model list first.
    PanelScroller->setFocusPolicy(Qt::NoFocus);
    PanelScroller->setWidgetResizable(true);
    PanelScroller->setWidget(page);
}

void TMainForm::BuildControlPanel() {
    QFrame* p = ControlPanel = MakePanel(PanelPage, "ControlPanel");
    CmbModel = PlaceList(p, "CmbModel", 12, 32, 121, "Select the model of meter");
    LblModel = PlaceLabel(p, "LblModel", 12, 16, "&SQM Model", CmbModel);
    EdtIP = PlaceEdit(p, "EdtIP", 139, 32, 148, "Enter IP address or domain name of SQM-LE");
    LblIP = PlaceLabel(p, "LblIP", 139, 16, "&IP Address", EdtIP);
    EdtPort = PlaceEdit(p, "EdtPort", 293, 32, 92, "Enter TCP port number of SQM-LE");
    LblPort = PlaceLabel(p, "LblPort", 293, 16, "TCP &Port Number", EdtPort);
    TDeferredPopupList* ports =
        PlaceList(p, "CmbComPort", 391, 32, 121, "Enter serial port name of SQM-LU or SQM-LR");
    ports->addItems(ComPortNames());
    // Described when first opened, so that ports added since (a stored one, a found meter)
    // are described too.
    ports->SetPopupPreparation([](QComboBox* list) { DescribeComPorts(list); });
    CmbComPort = ports;
    LblComPort = PlaceLabel(p, "LblComPort", 391, 16, "&COM Port", CmbComPort);

    BtnRead = PlaceButton(p, "BtnRead", 12, 75, 75, 25, "Read &Now",
                          "Acquire reading & unit info from SQM");
    BtnReset = PlaceButton(p, "BtnReset", 95, 75, 65, 25, "Re&set",
                           "Disconnect from SQM and clear readings on this window");
    BtnTimer =
        PlaceButton(p, "BtnTimer", 212, 75, 75, 25, "&Read Every", "Acquire readings continuously");

    EdtTimer = PlaceEdit(p, "EdtTimer", 293, 77, 62, "Period of time between continuous readings");
    LblTimer = PlaceLabel(p, "LblTimer", 293, 61, "&Minutes", EdtTimer);
    SpnTimer = Place(new TUpDown(p, EdtTimer, 1, 60, 5, 15), "SpnTimer", 355, 77, 16, 21);
    EdtTimeout = PlaceEdit(p, "EdtTimeout", 391, 77, 62, "Maximum time to connect and read SQM-LE");
    LblTimeout = PlaceLabel(p, "LblTimeout", 391, 61, "&Timeout (seconds)", EdtTimeout);
    SpnTimeout = Place(new TUpDown(p, EdtTimeout, 1, 30, 1, 1), "SpnTimeout", 453, 77, 16, 21);
}

void TMainForm::BuildStoragePanel() {
    QFrame* p = StoragePanel = MakePanel(PanelPage, "StoragePanel");
    ChkSaveReading = Place(new QCheckBox(QStringLiteral("Sa&ve readings to:"), p), "ChkSaveReading",
                           12, 14, 173, 17);
    ChkSaveReading->setToolTip(QStringLiteral("Add readings to a file, creating it if necessary."));
    EdtFileName = PlaceEdit(p, "EdtFileName", 12, 41, 342,
                            "Name of file into which stored readings are saved");
    BtnBrowse = PlaceButton(p, "BtnBrowse", 360, 41, 22, 22, "...",
                            "Browse file system for stored readings file name");
}

void TMainForm::BuildReadingPanel() {
    QFrame* p = ReadingPanel = MakePanel(PanelPage, "ReadingPanel");
    EdtMag = PlaceDisplay(p, "EdtMag", 12, 31, 173, 37);
    PlaceLabel(p, "Label3", 12, 12, ReadingFieldName(TReadingField::Magnitude).c_str());
    EdtNELM = PlaceDisplay(p, "EdtNELM", 208, 31, 173, 37);
    PlaceLabel(p, "Label13", 208, 12, ReadingFieldName(TReadingField::Nelm).c_str());
    EdtTimestamp = PlaceDisplay(p, "EdtTimestamp", 12, 98, 371, 37);
    PlaceLabel(p, "Label7", 12, 79, ReadingFieldName(TReadingField::Time).c_str());
    EdtModel = PlaceDisplay(p, "EdtModel", 12, 168, 121, 21);
    PlaceLabel(p, "Label5", 12, 149, ReadingFieldName(TReadingField::Model).c_str());
    EdtSerial = PlaceDisplay(p, "EdtSerial", 148, 168, 121, 21);
    PlaceLabel(p, "Label6", 148, 149, ReadingFieldName(TReadingField::Serial).c_str());
    EdtProtocol = PlaceDisplay(p, "EdtProtocol", 12, 213, 121, 21);
    PlaceLabel(p, "Label8", 12, 194, ReadingFieldName(TReadingField::Protocol).c_str());
    EdtFeature = PlaceDisplay(p, "EdtFeature", 148, 213, 121, 21);
    PlaceLabel(p, "Label9", 148, 194, ReadingFieldName(TReadingField::Feature).c_str());
    EdtTemp = PlaceDisplay(p, "EdtTemp", 283, 213, 121, 21);
    PlaceLabel(p, "Label4", 283, 194,
               (ReadingFieldName(TReadingField::Temperature) + " (\u00B0C)").c_str());

    CmbStyles = PlaceList(p, "CmbStyles", 15, 280, 138, "Select an application style");
    CmbStyles->setMaxVisibleItems(10);
    lblVclStyle = PlaceLabel(p, "lblVclStyle", 15, 261, "Style", CmbStyles);
    Label10 = PlaceLabel(p, "Label10", 343, 254, "Nightlux by Corvatek");
    const QString visit = QStringLiteral("Visit ");
    BtnHyperlink = PlaceButton(p, "BtnHyperlink", 342, 280, 170, 25, "", "");
    BtnHyperlink->setText(visit + QString::fromLatin1(WebDomain));
    BtnHyperlink->setToolTip(visit + QString::fromLatin1(WebAddress));
}

void TMainForm::BuildStatusBar() {
    StatusBar = new QStatusBar(this);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setSizeGripEnabled(false);
    StatusPanel0 = new QLabel(QStringLiteral("Copyright \u00A9 Corvatek"), StatusBar);
    StatusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    StatusPanel0->setFixedWidth(250);
    StatusPanel1 = new QLabel(QStringLiteral("Version 3.0.0.0"), StatusBar);
    StatusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
    StatusPanel1->setMinimumWidth(50);
    for (QLabel* panel : {StatusPanel0, StatusPanel1}) {
        panel->setAlignment(Qt::AlignCenter);
        StatusBar->addWidget(panel);
    }
}

void TMainForm::SetTabOrder() {
    const QList<QWidget*> order = {
        CmbModel,    EdtIP,       EdtPort,    CmbComPort, BtnRead,      BtnReset,
        BtnTimer,    EdtTimer,    SpnTimer,   EdtTimeout, SpnTimeout,   ChkSaveReading,
        EdtFileName, BtnBrowse,   EdtMag,     EdtNELM,    EdtTimestamp, EdtModel,
        EdtSerial,   EdtProtocol, EdtFeature, EdtTemp,    CmbStyles,    BtnHyperlink};
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
    QWidget::setTabOrder(BtnHyperlink, BtnChart);
    QWidget::setTabOrder(BtnChart, BtnStation);
}

void TMainForm::ApplyFonts() {
    // The design size is 11 pixels; a wider face than the design's is taken smaller until
    // every caption fits its place.
    for (int size = 11; size >= 8; --size) {
        // Set on every control: a style sheet in force keeps controls from inheriting it.
        setFont(WindowFont(size));
        for (QWidget* child : findChildren<QWidget*>())
            if (!IsPartOfScroller(child))
                child->setFont(WindowFont(size));
        for (QLabel* large : {EdtMag, EdtNELM, EdtTimestamp})
            large->setFont(WindowFont(size * 27 / 11, true));
        for (QLabel* small : {EdtModel, EdtSerial, EdtProtocol, EdtFeature, EdtTemp})
            small->setFont(WindowFont(size * 13 / 11));
        Label10->setFont(WindowFont(size * 12 / 11, true));
        BtnHyperlink->setFont(WindowFont(size, true));
        for (QLabel* label : findChildren<QLabel*>())
            if (label->property("autoSize").toBool())
                label->adjustSize();
        if (CaptionsFit())
            return;
    }
}

// The scroll area's own widgets (its viewport, bars and page) keep the font they inherit.
bool TMainForm::IsPartOfScroller(const QWidget* widget) const {
    return widget == PanelScroller || widget == PanelPage ||
           (PanelScroller->isAncestorOf(widget) && !PanelPage->isAncestorOf(widget));
}

bool TMainForm::CaptionsFit() const {
    return CutCaptions().isEmpty();
}

QStringList TMainForm::CutCaptions() const {
    QStringList cut;
    const QList<QLabel*> labels = findChildren<QLabel*>();
    for (QLabel* label : labels) {
        if (!label->property("autoSize").toBool())
            continue;
        // A label ends before the next label of its row, or at the window's edge.
        int limit = ClientSize.width() - 2;
        for (QLabel* other : labels)
            if (other != label && other->parentWidget() == label->parentWidget() &&
                other->property("autoSize").toBool() && other->y() == label->y() &&
                other->x() > label->x())
                limit = std::min(limit, other->x() - 2);
        if (label->x() + label->width() > limit)
            cut << label->objectName();
    }
    for (QAbstractButton* button : findChildren<QAbstractButton*>()) {
        if (button->text().isEmpty() || button->parentWidget()->inherits("TUpDown"))
            continue;
        const QString caption = QString(button->text()).remove(QLatin1Char('&'));
        int needed = button->fontMetrics().horizontalAdvance(caption) + 8;
        if (qobject_cast<QCheckBox*>(button))
            needed += 18;
        if (needed > button->width())
            cut << button->objectName();
    }
    return cut;
}
