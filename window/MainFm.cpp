// Construction, start-up, closing and the handlers outside the reading cycle.
#include "window/MainFm.h"

#include "core/Sqmmodelnames.h"
#include "core/Versioninfo.h"
#include "meter/Dm_SQMBase.h"
#include "platform/DebugOutput.h"
#include "sharing/ReadingSharing.h"
#include "window/NightluxApplication.h"
#include "window/StartUp.h"
#include "window/StyleManager.h"
#include "window/UpDown.h"
#include "window/WindowSeams.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QWindow>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace {

const QString StartUpStyle = QStringLiteral("Slate Classico");

// The readings folder that the browse dialog proposes: "Nightlux 3" in the user's
// documents, with a trailing delimiter; empty when there is no documents folder.
QString ReadingsFolder() {
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty())
        return {};
    if (!documents.endsWith(QLatin1Char('/')))
        documents += QLatin1Char('/');
    return documents + QStringLiteral("Nightlux 3/");
}

int ScreenPixelsPerInch(const QScreen* screen) {
    return static_cast<int>(std::lround(screen->logicalDotsPerInch() * screen->devicePixelRatio()));
}

} // namespace

TMainForm::TMainForm(QWidget* parent) : QWidget(parent) {
    BuildWindow();
    UseDotDecimalSeparator();

    for (const std::string& model : ModelNames())
        CmbModel->addItem(QString::fromStdString(model));

    QStringList styles = TStyleManager::StyleNames();
    styles.removeAll(TStyleManager::SystemStyleName());
    styles.sort();
    CmbStyles->addItems(styles);
    CmbStyles->setCurrentText(StartUpStyle);
    TStyleManager::TrySetStyle(CmbStyles->currentText(), false);

    ClearDisplay();
    ChkSaveReading->setChecked(false);
    EdtFileName->setText(SaveDialogFileName);

    LoadSettings();
    PlaceOnScreen();
    BindHandlers();
}

TMainForm::~TMainForm() = default;

void TMainForm::BindHandlers() {
    connect(BtnRead, &QPushButton::clicked, this, Guarded([this] { BtnReadClick(); }));
    connect(BtnTimer, &QPushButton::clicked, this, Guarded([this] { BtnTimerClick(); }));
    connect(BtnReset, &QPushButton::clicked, this, Guarded([this] { BtnResetClick(); }));
    connect(Timer, &QTimer::timeout, this, Guarded([this] { TimerTimer(); }));
    connect(CmbModel, &QComboBox::currentIndexChanged, this, Guarded([this] { CmbModelChange(); }));
    connect(CmbStyles, &QComboBox::currentIndexChanged, this,
            Guarded([this] { CmbStylesChange(); }));
    connect(BtnBrowse, &QPushButton::clicked, this, Guarded([this] { BtnBrowseClick(); }));
    connect(BtnHyperlink, &QPushButton::clicked, this, Guarded([this] { BtnHyperlinkClick(); }));
    connect(BtnChart, &QPushButton::clicked, this, Guarded([this] { BtnChartClick(); }));
    EdtTimer->installEventFilter(this);
    EdtTimeout->installEventFilter(this);
    auto* sharing = new QShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+S")), this);
    sharing->setObjectName(QStringLiteral("SharingShortcut"));
    connect(sharing, &QShortcut::activated, this, Guarded([this] { SharingClick(); }));
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    // Leaving a field for another control of the window; a message box or another window
    // taking the focus is not leaving.
    if (event->type() == QEvent::FocusOut &&
        static_cast<QFocusEvent*>(event)->reason() != Qt::ActiveWindowFocusReason &&
        static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
        if (watched == EdtTimer)
            Guarded([this] { EdtTimerExit(); })();
        else if (watched == EdtTimeout)
            Guarded([this] { EdtTimeoutExit(); })();
    }
    return QWidget::eventFilter(watched, event);
}

void TMainForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous())
        Guarded([this] { FormShow(); })();
}

void TMainForm::FormShow() {
    const TVersionInfo version;
    std::string text;
    if (version.GetCopyright(text))
        StatusPanel0->setText(QString::fromStdString(text));
    if (version.GetBuild(text))
        StatusPanel1->setText(QStringLiteral("Version ") + QString::fromStdString(text));

    SaveDialogFolder = ReadingsFolder();
    SaveDialogFileName = SaveDialogFolder + QStringLiteral("SQMReadings.txt");
    CmbModelChange();
    FollowScreenChanges();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (FormCloseQuery())
        event->accept();
    else
        event->ignore();
}

bool TMainForm::FormCloseQuery() {
    try {
        SaveSettings();
    } catch (...) {
        // Saving the settings never keeps the window open.
    }
    return true;
}

void TMainForm::CmbStylesChange() {
    TStyleManager::SetStyle(CmbStyles->currentText());
}

void TMainForm::BtnBrowseClick() {
    const TSaveDialogRequest request{SaveDialogFolder, SaveDialogFileName, QStringLiteral("txt"),
                                     QStringLiteral("*.txt")};
    const std::optional<QString> chosen = RunSaveDialog(this, request);
    if (!chosen)
        return;
    // A file in a folder that does not exist yet (the proposed one, on a first run): that one
    // folder is made now, so that readings can be saved there.
    const QString folder = QFileInfo(*chosen).absolutePath();
    if (!QFileInfo(folder).isDir() && ::mkdir(QFile::encodeName(folder).constData(), 0777) != 0) {
        const int error = errno;
        ShowMessageBox(QString::fromUtf8(ApplicationTitle),
                       QStringLiteral("Could not create folder %1: %2.")
                           .arg(folder, QString::fromLocal8Bit(std::strerror(error))),
                       TMessageIcon::Warning);
        return;
    }
    EdtFileName->setText(*chosen);
}

void TMainForm::BtnHyperlinkClick() {
    if (!OpenUrl(QString::fromLatin1(WebAddress)))
        ShowMessageBox(QString::fromUtf8(ApplicationTitle),
                       QStringLiteral("Your browser could not be opened."),
                       TMessageIcon::Information);
}

// Qt itself scales the window for the new screen; what remains is to note the change.
void TMainForm::FollowScreenChanges() {
    QWindow* window = windowHandle();
    if (!window || window->property("nightluxFollowed").toBool())
        return;
    window->setProperty("nightluxFollowed", true);
    FPixelsPerInch = ScreenPixelsPerInch(window->screen());
    auto follow = [this](QScreen* screen) {
        if (!screen)
            return;
        const int ppi = ScreenPixelsPerInch(screen);
        if (ppi != FPixelsPerInch)
            WMDpiChanged(ppi);
    };
    connect(window, &QWindow::screenChanged, this, follow);
    auto watch = [this, window, follow](QScreen* screen) {
        connect(screen, &QScreen::logicalDotsPerInchChanged, this,
                [window, follow] { follow(window->screen()); });
    };
    for (QScreen* screen : QGuiApplication::screens())
        watch(screen);
    connect(qApp, &QGuiApplication::screenAdded, this, watch);
}

void TMainForm::WMDpiChanged(int pixelsPerInch) {
    char line[64];
    std::snprintf(line, sizeof line, "YDpi=%d, Size=%d", pixelsPerInch, FPixelsPerInch);
    OutputDebugString(line);
    FPixelsPerInch = pixelsPerInch;
}
