#pragma once

#include "meter/EthernetDiscovery.h"
#include "meter/MeterIdentify.h"

#include <QDialog>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// The meter a user picked in the Find Meters dialog, as the main window's entries take it.
struct TChosenMeter {
    int ModelIndex = 0; // of ModelNames()
    QString Host;       // for the Ethernet model
    QString Port;
    QString ComPort; // for the serial models
};

// Finds the meters on the local networks and on USB: lists the network modules that answer
// the discovery query and the USB serial ports, asks a chosen one what it is when the user
// asks, and hands the chosen meter to the main window. Searching and asking run on threads
// of their own, so the window never waits for them.
class TFindMetersDialog : public QDialog {
    Q_OBJECT
public:
    explicit TFindMetersDialog(QWidget* parent = nullptr);
    ~TFindMetersDialog() override;

    // Where and how to search and ask; tests keep it to their own addresses and folders.
    void SetSearch(const TDiscoveryOptions& network, const std::string& sysRoot,
                   const std::string& devRoot);
    void SetIdentify(const TEthernetIdentifyOptions& ethernet,
                     std::chrono::milliseconds serialTimeout);

    // Starts a search (the Search button); nothing when one is running.
    void StartSearch();
    // Asks the selected device what it is (the Identify button).
    void IdentifySelected();
    // Hands the selected meter to the main window (the Use button, or a double click).
    void UseSelected();
    bool HasSearched() const { return Searched; }
    bool IsSearching() const { return SearchThread.joinable() && !SearchDone; }
    bool IsIdentifying() const { return IdentifyThread.joinable() && !IdentifyDone; }

signals:
    void MeterChosen(const TChosenMeter& meter);
    void SearchFinished();
    void IdentifyFinished();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void AddNetworkDevice(const TDiscoveredDevice& device);
    void AddUsbPorts();
    void FinishSearch(const QStringList& problems);
    void FinishIdentify(QTreeWidgetItem* item, const QString& text, const QString& model,
                        bool isMeter);
    void UpdateButtons();
    QTreeWidgetItem* Selected() const;
    void StopThreads();

    TDiscoveryOptions Network;
    std::string SysRoot = "/sys";
    std::string DevRoot = "/dev";
    TEthernetIdentifyOptions Ethernet;
    std::chrono::milliseconds SerialTimeout{2000};

    QLineEdit* EdtAddresses = nullptr;
    QPushButton* BtnSearch = nullptr;
    QTreeWidget* LstFound = nullptr;
    QPushButton* BtnIdentify = nullptr;
    QPushButton* BtnUse = nullptr;
    QPushButton* BtnClose = nullptr;
    QLabel* LblStatus = nullptr;

    bool Searched = false;
    std::atomic<bool> Stop{false};
    std::atomic<bool> SearchDone{true};
    std::atomic<bool> IdentifyDone{true};
    std::thread SearchThread;
    std::thread IdentifyThread;
};
