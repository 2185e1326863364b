#pragma once

#include "history/NightReading.h"
#include "session/ReadingCycle.h"
#include "session/ReadingSession.h"

#include <QDialog>
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QScrollArea;
class QStatusBar;
class QTimer;
class QToolButton;
class TDmSQMBase;
class TFindMetersDialog;
struct TChosenMeter;
class THistoryFm;
class TNightChartFm;
class TReadingSharing;
class TUpDown;

// The program's one window: the connection entries, the storage choice, the reading on
// display, the style list and the status bar, and the reading cycle behind its buttons.
class TMainForm : public QWidget {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // Event handlers, bound to their controls in the constructor.
    void BtnReadClick();
    void BtnTimerClick();
    void TimerTimer();
    void BtnResetClick();
    void CmbModelChange();
    void EdtTimerExit();
    void EdtTimeoutExit();
    void CmbStylesChange();
    void BtnBrowseClick();
    void BtnHyperlinkClick();
    void BtnChartClick();
    void FormShow();
    // Opens the site and sharing dialog (Ctrl+Shift+S) and saves what it accepts.
    void SharingClick();
    // Opens the Find Meters dialog, which fills the connection entries with a meter it found.
    void FindMetersClick();
    void UseFoundMeter(const TChosenMeter& meter);
    // Opens the data logger's dialog (Ctrl+Shift+L) for the LU-DL model on the selected port;
    // the open one is raised. For other models the status bar says why nothing opens.
    void LoggerClick();
    // Whether the data logger's dialog can be opened: the model is LU-DL.
    bool IsLoggerAvailable() const;
    // The station menu's "Data Logger..." entry and its shortcut, enabled for LU-DL only.
    void BindLoggerEntry();
    // Opens the History window, reading the readings file when it names one.
    void HistoryClick();
    // Stores the settings; always allows closing.
    bool FormCloseQuery();
    // The window's screen now has another resolution (pixels per inch).
    void WMDpiChanged(int pixelsPerInch);

    // The meter link of the last accepted Read Now or Read Every, if any.
    TDmSQMBase* GetLink() const { return Session.Link(); }
    int GetBaudRate() const { return FBaudRate; }
    int GetPixelsPerInch() const { return FPixelsPerInch; }
    // The chart of the night, once it has been opened.
    TNightChartFm* GetChart() const { return ChartFm; }
    // The Find Meters dialog, made on first use; it searches when it is first opened.
    TFindMetersDialog* GetFindMeters();
    // The History window, once it has been opened.
    THistoryFm* GetHistoryFm() const { return HistoryFm; }

    // The names of the controls whose captions do not fit their places.
    QStringList CutCaptions() const;

    static const char* const WebAddress;
    static const char* const WebDomain;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildWindow();
    void BuildControlPanel();
    void BuildStoragePanel();
    void BuildReadingPanel();
    void BuildPanelScroller();
    void BuildStatusBar();
    void SetTabOrder();
    void PlaceOnScreen();
    void ApplyFonts();
    bool IsPartOfScroller(const QWidget* widget) const;
    bool CaptionsFit() const;
    void BindHandlers();
    void FollowScreenChanges();

    bool PrepareLink();
    void ClearDisplay();
    TReadingOutcome TakeReading(TCycleKind kind);
    QLabel* DisplayOf(TReadingField field) const;
    void EnablePanels(bool enabled);
    void ApplyExitCheck(QLineEdit* edit, TUpDown* spinner);
    void LoadSettings();
    void SaveSettings();
    void SetDisplay(QLabel* field, const std::string& text);
    void BuildChartButton();
    void BuildStationButton();
    void AddFindMetersEntry();
    // Adds an entry to the station menu; the handler runs as a click handler does.
    QAction* AddStationEntry(const QString& name, const QString& text,
                             const std::function<void()>& handler);
    void AddReadingToChart(const TReading& reading);
    // Makes the session's sharing from the saved settings when they or the model changed.
    void PrepareSharing();
    void ShowSharingNotices(const std::vector<TNotice>& notices);

    // The link of the last accepted Read Now or Read Every, the sharing and the readings taken.
    TReadingSession Session{TReadingSession::EKeep::Readings};
    int FBaudRate = 115200;
    int FPixelsPerInch = 96;
    // True while a read cycle (with any message box it opens) is in progress.
    bool FCycleInProgress = false;

    // Holds the three panels; scrolls them where the screen is too short for the window.
    QScrollArea* PanelScroller = nullptr;
    QWidget* PanelPage = nullptr; // the scrolled page the panels are made in
    QFrame* ControlPanel = nullptr;
    QLabel* LblModel = nullptr;
    QComboBox* CmbModel = nullptr;
    QLabel* LblIP = nullptr;
    QLineEdit* EdtIP = nullptr;
    QLabel* LblPort = nullptr;
    QLineEdit* EdtPort = nullptr;
    QLabel* LblComPort = nullptr;
    QComboBox* CmbComPort = nullptr;
    QPushButton* BtnRead = nullptr;
    QPushButton* BtnReset = nullptr;
    QPushButton* BtnTimer = nullptr;
    QLabel* LblTimer = nullptr;
    QLineEdit* EdtTimer = nullptr;
    TUpDown* SpnTimer = nullptr;
    QLabel* LblTimeout = nullptr;
    QLineEdit* EdtTimeout = nullptr;
    TUpDown* SpnTimeout = nullptr;

    QFrame* StoragePanel = nullptr;
    QCheckBox* ChkSaveReading = nullptr;
    QLineEdit* EdtFileName = nullptr;
    QPushButton* BtnBrowse = nullptr;

    QFrame* ReadingPanel = nullptr;
    QLabel* EdtMag = nullptr;
    QLabel* EdtNELM = nullptr;
    QLabel* EdtTimestamp = nullptr;
    QLabel* EdtModel = nullptr;
    QLabel* EdtSerial = nullptr;
    QLabel* EdtProtocol = nullptr;
    QLabel* EdtFeature = nullptr;
    QLabel* EdtTemp = nullptr;
    QLabel* lblVclStyle = nullptr;
    QComboBox* CmbStyles = nullptr;
    QLabel* Label10 = nullptr;
    QPushButton* BtnHyperlink = nullptr;
    QPushButton* BtnChart = nullptr;
    QToolButton* BtnStation = nullptr;
    QMenu* StationMenu = nullptr;

    QStatusBar* StatusBar = nullptr;
    QLabel* StatusPanel0 = nullptr;
    QLabel* StatusPanel1 = nullptr;

    // The session's sharing is made from the saved settings at the first reading that needs
    // it and made again after the dialog or the model changes.
    int FSharingModel = -1; // the model the sharing was made for; -1: to be made
    QTimer* Timer = nullptr;
    QString SaveDialogFolder;
    QString SaveDialogFileName;

    TNightChartFm* ChartFm = nullptr;
    TFindMetersDialog* FindFm = nullptr;
    THistoryFm* HistoryFm = nullptr;
    QPointer<QDialog> LoggerFm; // the data logger's dialog while it is open
};
