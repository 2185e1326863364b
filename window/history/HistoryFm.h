#pragma once

#include "history/StationHistory.h"
#include "window/history/HistoryPlots.h"

#include <QDialog>
#include <QFutureWatcher>
#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QCustomPlot;
class QDateEdit;
class QCheckBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QTableWidget;

// A station's history in a window of its own: files and folders to read, the period, the views
// and the per-night table, the picture and the table exported. Reading runs on a worker thread
// with its progress shown; Cancel stops it and keeps what was shown before.
class THistoryFm : public QDialog {
    Q_OBJECT

public:
    explicit THistoryFm(QWidget* parent = nullptr);
    ~THistoryFm() override;

    // Virtual, as are the others the window calls: the window reaches them through the
    // vtable, the views being in a module it loads on first use.

    // The site used when a file has no position line; none leaves it to the files.
    virtual void SetDefaultSite(const std::optional<TPosition>& site);
    virtual void SetPaths(const std::vector<std::string>& paths);
    std::vector<std::string> GetPaths() const;

    // Reads the paths for the chosen period on the worker thread.
    virtual void Load();
    bool IsLoading() const;
    // Asks a running load to stop; the history shown stays.
    void CancelLoad();

    // The history shown; none before the first load that ended well.
    const std::optional<TStationHistory>& GetHistory() const { return History; }
    void ShowHistory(TStationHistory history);

    // Index 0..4: the views in THistoryView order; 5: the per-night table.
    void ShowPage(int page);
    int GetPage() const;

    void ExportPicture(const QString& fileName, QSize size = {1200, 700});
    void ExportTable(const QString& fileName);

    QCustomPlot* GetPlot() const { return Plot; }
    QTableWidget* GetTable() const { return Table; }
    QLabel* GetStatus() const { return Status; }
    QProgressBar* GetProgress() const { return Progress; }

signals:
    void LoadFinished();

private:
    void AddFiles();
    void AddFolder();
    void RemovePaths();
    void LoadDone();
    void Redraw();
    void FillTable();
    void ExportPictureClick();
    void ExportTableClick();
    void SetLoading(bool loading);

    QListWidget* Paths = nullptr;
    QCheckBox* UseFrom = nullptr;
    QCheckBox* UseTo = nullptr;
    QDateEdit* From = nullptr;
    QDateEdit* To = nullptr;
    QPushButton* LoadButton = nullptr;
    QPushButton* CancelButton = nullptr;
    QProgressBar* Progress = nullptr;
    QComboBox* ViewChoice = nullptr;
    QCheckBox* NoonToNoon = nullptr;
    QComboBox* NightChoice = nullptr;
    QStackedWidget* Pages = nullptr;
    QCustomPlot* Plot = nullptr;
    QTableWidget* Table = nullptr;
    QLabel* Status = nullptr;
    QPushButton* ExportPictureButton = nullptr;
    QPushButton* ExportTableButton = nullptr;

    std::optional<TPosition> DefaultSite;
    std::optional<TStationHistory> History;
    // The running load's result and its stop flag, shared with the worker thread.
    struct TLoad;
    std::shared_ptr<TLoad> Running;
    QFutureWatcher<void>* Watcher = nullptr;
};
