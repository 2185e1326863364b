#pragma once

#include "datalogger/LoggerDownload.h"

#include <QDialog>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class TDataLogger;
class TDmSQMLUR;

// The data-logging meter's own window: its status, the download of its records into the
// readings file (and the skyglow files) with a progress bar and Cancel, its clock, its
// logging settings and Erase. Every exchange with the meter runs on a worker thread, so
// neither this dialog nor the main window waits for it; the port is opened for each task
// and closed after it, so the main window can read the meter in between.
class TLoggerDialog : public QDialog {
    Q_OBJECT
public:
    // port: the meter's serial port; readingsFile: the file the download goes to (the user
    // may change it); settingsFile: where the skyglow settings and site are read from.
    TLoggerDialog(const std::string& port, const std::string& readingsFile,
                  const std::string& settingsFile, QWidget* parent = nullptr);
    ~TLoggerDialog() override;

    // Reads the status again (at opening too).
    void RefreshClick();
    void DownloadClick();
    void CancelClick();
    void SetClockClick();
    void SetPeriodClick();
    void SetThresholdClick();
    void SetModeClick();
    // Asks first, saying how many records go; only after a complete download.
    void EraseClick();

    // True while a task runs on the worker.
    bool IsBusy() const { return Busy; }
    // The last download's result, once one has ended.
    const std::optional<TLoggerDownloadResult>& GetLastDownload() const { return LastDownload; }
    // The seam for the erase question: true to go ahead. The default asks in a message box.
    std::function<bool(const QString& question)> Confirm;

signals:
    // A task has ended and the dialog is ready for the next.
    void TaskEnded();

protected:
    void closeEvent(class QCloseEvent* event) override;

private:
    using TTask = std::function<void(TDmSQMLUR& link, TDataLogger& logger)>;
    // Runs task on the worker with the port open; failures end up in the status line.
    void Start(const QString& what, TTask task);
    void Finish(const QString& message);
    void EnableButtons();
    void ShowStatus(const QStringList& values);
    TLoggerClock Clock() const;
    // Called on the dialog's thread: stores one record; false once the file has failed.
    void StoreRecord(const TLoggerRecord& record);

    std::string Port;
    std::string SettingsFile;
    std::thread Worker;
    std::atomic<bool> CancelRequested{false};
    std::atomic<bool> StoreFailed{false};
    bool Busy = false;
    std::unique_ptr<TLoggerStore> Store;
    std::int64_t Stored = 0;
    std::int64_t Duplicates = 0;
    std::int64_t RecordsOnMeter = -1;
    std::optional<TLoggerDownloadResult> LastDownload;

    QLabel* LblRecords = nullptr;
    QLabel* LblCapacity = nullptr;
    QLabel* LblMode = nullptr;
    QLabel* LblPeriod = nullptr;
    QLabel* LblThreshold = nullptr;
    QLabel* LblBattery = nullptr;
    QLabel* LblMeterClock = nullptr;
    QLabel* LblComputerClock = nullptr;
    QLabel* LblDifference = nullptr;
    QComboBox* CmbClock = nullptr;
    QPushButton* BtnRefresh = nullptr;
    QPushButton* BtnSetClock = nullptr;
    QSpinBox* SpnPeriod = nullptr;
    QComboBox* CmbPeriodUnit = nullptr;
    QPushButton* BtnSetPeriod = nullptr;
    QDoubleSpinBox* SpnThreshold = nullptr;
    QPushButton* BtnSetThreshold = nullptr;
    QComboBox* CmbMode = nullptr;
    QPushButton* BtnSetMode = nullptr;
    QLineEdit* EdtFile = nullptr;
    QPushButton* BtnDownload = nullptr;
    QProgressBar* Progress = nullptr;
    QPushButton* BtnCancel = nullptr;
    QPushButton* BtnErase = nullptr;
    QLabel* LblMessage = nullptr;
};
