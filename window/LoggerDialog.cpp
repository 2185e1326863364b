#include "window/LoggerDialog.h"

#include "meter/DataLogger.h"
#include "meter/Dm_SQMLUR.h"
#include "platform/IniFile.h"
#include "platform/NumberFormat.h"
#include "sharing/SharingSettings.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <chrono>
#include <cmath>
#include <cstdlib>

namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

// What the status shows, read on the worker.
struct TStatus {
    QStringList Values; // in the order of the status labels
    std::int64_t Records = 0;
    TLoggerSettings Settings;
    int Mode = 0;
};

TStatus ReadStatus(TDmSQMLUR& link, TDataLogger& logger, TLoggerClock clock) {
    TStatus status;
    const TLoggerLayout layout =
        ReadLoggerLayout(logger, std::atoi(link.GetFeatureVersion().c_str()));
    status.Records = layout.Wrapped && layout.Capacity ? *layout.Capacity : layout.Pointer;
    status.Mode = logger.ReadMode();
    status.Settings = logger.ReadSettings();
    const int adc = logger.ReadBatteryAdc();
    const TDateTime meter = logger.ReadClock();
    const TDateTime computer(std::round(double(LoggerClockNow(clock)) * 86400.0) / 86400.0);
    const long long difference = std::llround((double(meter) - double(computer)) * 86400.0);
    const TLoggerSettings& s = status.Settings;
    status.Values = {
        QString::number(status.Records) +
            (layout.Wrapped ? QStringLiteral(" (the log has wrapped)") : QString()),
        layout.Capacity ? QString::number(*layout.Capacity) : QStringLiteral("unknown"),
        QString::number(status.Mode) + QStringLiteral(": ") + Text(LoggerModeName(status.Mode)),
        QStringLiteral("%1 s, %2 min (stored %3 s, %4 min)")
            .arg(s.PeriodSeconds)
            .arg(s.PeriodMinutes)
            .arg(s.StoredPeriodSeconds)
            .arg(s.StoredPeriodMinutes),
        Text(FormatFixed(s.Threshold, 2)) + QStringLiteral(" MPSAS"),
        Text(FormatFixed(BatteryVolts(adc), 2)) + QStringLiteral(" V"),
        Text(LoggerTimeText(meter)),
        Text(LoggerTimeText(computer)) +
            (clock == TLoggerClock::Utc ? QStringLiteral(" UTC") : QStringLiteral(" local")),
        (difference > 0 ? QStringLiteral("+") : QString()) + QString::number(difference) +
            QStringLiteral(" s")};
    return status;
}

} // namespace

TLoggerDialog::TLoggerDialog(const std::string& port, const std::string& readingsFile,
                             const std::string& settingsFile, QWidget* parent)
    : QDialog(parent), Port(port), SettingsFile(settingsFile) {
    setObjectName(QStringLiteral("LoggerDialog"));
    setWindowTitle(QStringLiteral("Data Logger - ") + Text(port));
    auto* layout = new QVBoxLayout(this);

    auto* statusBox = new QGroupBox(QStringLiteral("Meter"), this);
    auto* statusForm = new QFormLayout(statusBox);
    const auto addValue = [&](const char* name, const QString& label) {
        auto* value = new QLabel(QStringLiteral("-"), statusBox);
        value->setObjectName(QString::fromLatin1(name));
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        statusForm->addRow(label, value);
        return value;
    };
    LblRecords = addValue("LblRecords", QStringLiteral("Records:"));
    LblCapacity = addValue("LblCapacity", QStringLiteral("Capacity:"));
    LblMode = addValue("LblMode", QStringLiteral("Logging mode:"));
    LblPeriod = addValue("LblPeriod", QStringLiteral("Logging period:"));
    LblThreshold = addValue("LblThreshold", QStringLiteral("Threshold:"));
    LblBattery = addValue("LblBattery", QStringLiteral("Battery:"));
    LblMeterClock = addValue("LblMeterClock", QStringLiteral("Meter clock:"));
    LblComputerClock = addValue("LblComputerClock", QStringLiteral("Computer clock:"));
    LblDifference = addValue("LblDifference", QStringLiteral("Clock difference:"));
    CmbClock = new QComboBox(statusBox);
    CmbClock->setObjectName(QStringLiteral("CmbClock"));
    CmbClock->addItems({QStringLiteral("UTC"), QStringLiteral("Local time")});
    CmbClock->setToolTip(QStringLiteral("The time the meter's clock keeps. Set Clock sets it."));
    statusForm->addRow(QStringLiteral("Meter clock keeps:"), CmbClock);
    auto* statusButtons = new QHBoxLayout;
    BtnRefresh = new QPushButton(QStringLiteral("&Refresh"), statusBox);
    BtnRefresh->setObjectName(QStringLiteral("BtnRefresh"));
    BtnSetClock = new QPushButton(QStringLiteral("Set &Clock"), statusBox);
    BtnSetClock->setObjectName(QStringLiteral("BtnSetClock"));
    BtnSetClock->setToolTip(QStringLiteral("Sets the meter's clock to the computer's, with the "
                                           "day of the week"));
    statusButtons->addWidget(BtnRefresh);
    statusButtons->addWidget(BtnSetClock);
    statusButtons->addStretch();
    statusForm->addRow(statusButtons);
    layout->addWidget(statusBox);

    auto* settingsBox = new QGroupBox(QStringLiteral("Logging settings"), this);
    auto* settingsForm = new QFormLayout(settingsBox);
    const auto addSetting = [&](QWidget* entry, QWidget* second, QPushButton*& button,
                                const char* name, const QString& label) {
        auto* row = new QHBoxLayout;
        row->addWidget(entry, 1);
        if (second)
            row->addWidget(second);
        button = new QPushButton(QStringLiteral("Set"), settingsBox);
        button->setObjectName(QString::fromLatin1(name));
        row->addWidget(button);
        settingsForm->addRow(label, row);
    };
    SpnPeriod = new QSpinBox(settingsBox);
    SpnPeriod->setObjectName(QStringLiteral("SpnPeriod"));
    SpnPeriod->setRange(1, 999999);
    SpnPeriod->setValue(5);
    CmbPeriodUnit = new QComboBox(settingsBox);
    CmbPeriodUnit->setObjectName(QStringLiteral("CmbPeriodUnit"));
    CmbPeriodUnit->addItems({QStringLiteral("minutes"), QStringLiteral("seconds")});
    addSetting(SpnPeriod, CmbPeriodUnit, BtnSetPeriod, "BtnSetPeriod", QStringLiteral("Period:"));
    SpnThreshold = new QDoubleSpinBox(settingsBox);
    SpnThreshold->setObjectName(QStringLiteral("SpnThreshold"));
    SpnThreshold->setRange(0.0, 99.99);
    SpnThreshold->setDecimals(2);
    SpnThreshold->setSuffix(QStringLiteral(" MPSAS"));
    addSetting(SpnThreshold, nullptr, BtnSetThreshold, "BtnSetThreshold",
               QStringLiteral("Threshold:"));
    CmbMode = new QComboBox(settingsBox);
    CmbMode->setObjectName(QStringLiteral("CmbMode"));
    for (int mode = 0; mode <= 7; ++mode)
        CmbMode->addItem(QString::number(mode) + QStringLiteral(": ") + Text(LoggerModeName(mode)));
    addSetting(CmbMode, nullptr, BtnSetMode, "BtnSetMode", QStringLiteral("Mode:"));
    layout->addWidget(settingsBox);

    auto* downloadBox = new QGroupBox(QStringLiteral("Records"), this);
    auto* downloadForm = new QFormLayout(downloadBox);
    EdtFile = new QLineEdit(Text(readingsFile), downloadBox);
    EdtFile->setObjectName(QStringLiteral("EdtFile"));
    EdtFile->setMinimumWidth(300);
    downloadForm->addRow(QStringLiteral("Readings file:"), EdtFile);
    auto* progressRow = new QHBoxLayout;
    BtnDownload = new QPushButton(QStringLiteral("&Download"), downloadBox);
    BtnDownload->setObjectName(QStringLiteral("BtnDownload"));
    Progress = new QProgressBar(downloadBox);
    Progress->setObjectName(QStringLiteral("Progress"));
    Progress->setRange(0, 1);
    Progress->setValue(0);
    BtnCancel = new QPushButton(QStringLiteral("Cancel"), downloadBox);
    BtnCancel->setObjectName(QStringLiteral("BtnCancel"));
    BtnErase = new QPushButton(QStringLiteral("&Erase..."), downloadBox);
    BtnErase->setObjectName(QStringLiteral("BtnErase"));
    BtnErase->setToolTip(QStringLiteral("Erases every record on the meter; possible once a "
                                        "download has stored every one of them"));
    progressRow->addWidget(BtnDownload);
    progressRow->addWidget(Progress, 1);
    progressRow->addWidget(BtnCancel);
    progressRow->addWidget(BtnErase);
    downloadForm->addRow(progressRow);
    layout->addWidget(downloadBox);

    LblMessage = new QLabel(this);
    LblMessage->setObjectName(QStringLiteral("LblMessage"));
    LblMessage->setWordWrap(true);
    LblMessage->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(LblMessage);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, Qt::Horizontal, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &TLoggerDialog::close);
    layout->addWidget(buttons);

    connect(BtnRefresh, &QPushButton::clicked, this, &TLoggerDialog::RefreshClick);
    connect(BtnSetClock, &QPushButton::clicked, this, &TLoggerDialog::SetClockClick);
    connect(BtnSetPeriod, &QPushButton::clicked, this, &TLoggerDialog::SetPeriodClick);
    connect(BtnSetThreshold, &QPushButton::clicked, this, &TLoggerDialog::SetThresholdClick);
    connect(BtnSetMode, &QPushButton::clicked, this, &TLoggerDialog::SetModeClick);
    connect(BtnDownload, &QPushButton::clicked, this, &TLoggerDialog::DownloadClick);
    connect(BtnCancel, &QPushButton::clicked, this, &TLoggerDialog::CancelClick);
    connect(BtnErase, &QPushButton::clicked, this, &TLoggerDialog::EraseClick);

    Confirm = [this](const QString& question) {
        return QMessageBox::question(this, windowTitle(), question,
                                     QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::No) == QMessageBox::Yes;
    };
    EnableButtons();
    RefreshClick();
}

TLoggerDialog::~TLoggerDialog() {
    CancelRequested = true;
    if (Worker.joinable())
        Worker.join();
}

void TLoggerDialog::closeEvent(QCloseEvent* event) {
    // A download in progress is cancelled between two records; what is stored stays.
    CancelRequested = true;
    QDialog::closeEvent(event);
}

TLoggerClock TLoggerDialog::Clock() const {
    return CmbClock->currentIndex() == 1 ? TLoggerClock::Local : TLoggerClock::Utc;
}

void TLoggerDialog::EnableButtons() {
    for (QWidget* w :
         std::initializer_list<QWidget*>{BtnRefresh, BtnSetClock, BtnSetPeriod, BtnSetThreshold,
                                         BtnSetMode, BtnDownload, CmbClock, EdtFile})
        w->setEnabled(!Busy);
    BtnCancel->setEnabled(Busy);
    BtnErase->setEnabled(!Busy && LastDownload && LastDownload->IsComplete() &&
                         LastDownload->Slots > 0);
}

void TLoggerDialog::Start(const QString& what, TTask task) {
    if (Busy)
        return;
    if (Worker.joinable())
        Worker.join();
    Busy = true;
    CancelRequested = false;
    LblMessage->setText(what + QStringLiteral("..."));
    EnableButtons();
    Worker = std::thread([this, task = std::move(task)] {
        QString message;
        try {
            TDmSQMLUR link;
            link.SetComPort(Port);
            link.Connect();
            link.ReadUnitInfo();
            TDataLogger logger(link.GetSerial());
            task(link, logger);
        } catch (const std::exception& e) {
            message = Text(e.what());
        }
        QMetaObject::invokeMethod(
            this, [this, message] { Finish(message); }, Qt::QueuedConnection);
    });
}

void TLoggerDialog::Finish(const QString& message) {
    Busy = false;
    if (!message.isEmpty())
        LblMessage->setText(message);
    EnableButtons();
    emit TaskEnded();
}

void TLoggerDialog::ShowStatus(const QStringList& values) {
    const QLabel* const order[] = {LblRecords,    LblCapacity,      LblMode,
                                   LblPeriod,     LblThreshold,     LblBattery,
                                   LblMeterClock, LblComputerClock, LblDifference};
    for (int i = 0; i < values.size() && i < int(std::size(order)); ++i)
        const_cast<QLabel*>(order[i])->setText(values[i]);
}

void TLoggerDialog::RefreshClick() {
    const TLoggerClock clock = Clock();
    Start(QStringLiteral("Reading the meter's status"),
          [this, clock](TDmSQMLUR& link, TDataLogger& logger) {
              const TStatus status = ReadStatus(link, logger, clock);
              QMetaObject::invokeMethod(
                  this,
                  [this, status] {
                      ShowStatus(status.Values);
                      RecordsOnMeter = status.Records;
                      SpnThreshold->setValue(status.Settings.Threshold);
                      CmbMode->setCurrentIndex(status.Mode);
                      LblMessage->clear();
                  },
                  Qt::QueuedConnection);
          });
}

void TLoggerDialog::SetClockClick() {
    const TLoggerClock clock = Clock();
    Start(QStringLiteral("Setting the meter's clock"),
          [this, clock](TDmSQMLUR& link, TDataLogger& logger) {
              logger.SetClock(LoggerClockNow(clock));
              const TStatus status = ReadStatus(link, logger, clock);
              QMetaObject::invokeMethod(
                  this,
                  [this, status] {
                      ShowStatus(status.Values);
                      LblMessage->setText(QStringLiteral("The meter's clock is set."));
                  },
                  Qt::QueuedConnection);
          });
}

void TLoggerDialog::SetPeriodClick() {
    const int value = SpnPeriod->value();
    const bool minutes = CmbPeriodUnit->currentIndex() == 0;
    const TLoggerClock clock = Clock();
    Start(QStringLiteral("Setting the logging period"),
          [this, value, minutes, clock](TDmSQMLUR& link, TDataLogger& logger) {
              if (minutes)
                  logger.SetPeriodMinutes(value);
              else
                  logger.SetPeriodSeconds(value);
              const TStatus status = ReadStatus(link, logger, clock);
              QMetaObject::invokeMethod(
                  this,
                  [this, status] {
                      ShowStatus(status.Values);
                      LblMessage->setText(QStringLiteral("Logging period: ") + status.Values[3]);
                  },
                  Qt::QueuedConnection);
          });
}

void TLoggerDialog::SetThresholdClick() {
    const double value = SpnThreshold->value();
    const TLoggerClock clock = Clock();
    Start(QStringLiteral("Setting the threshold"),
          [this, value, clock](TDmSQMLUR& link, TDataLogger& logger) {
              logger.SetThreshold(value);
              const TStatus status = ReadStatus(link, logger, clock);
              QMetaObject::invokeMethod(
                  this,
                  [this, status] {
                      ShowStatus(status.Values);
                      LblMessage->setText(QStringLiteral("Threshold: ") + status.Values[4]);
                  },
                  Qt::QueuedConnection);
          });
}

void TLoggerDialog::SetModeClick() {
    const int mode = CmbMode->currentIndex();
    const TLoggerClock clock = Clock();
    Start(QStringLiteral("Setting the logging mode"),
          [this, mode, clock](TDmSQMLUR& link, TDataLogger& logger) {
              logger.SetMode(mode);
              const TStatus status = ReadStatus(link, logger, clock);
              QMetaObject::invokeMethod(
                  this,
                  [this, status] {
                      ShowStatus(status.Values);
                      LblMessage->setText(QStringLiteral("Logging mode: ") + status.Values[2]);
                  },
                  Qt::QueuedConnection);
          });
}

void TLoggerDialog::StoreRecord(const TLoggerRecord& record) {
    if (StoreFailed || !Store)
        return;
    try {
        switch (Store->Store(record)) {
        case TLoggerStore::TOutcome::Stored:
            ++Stored;
            break;
        case TLoggerStore::TOutcome::Duplicate:
            ++Duplicates;
            break;
        case TLoggerStore::TOutcome::Failed:
            StoreFailed = true;
            break;
        }
    } catch (const std::exception& e) {
        // Nothing escapes into the event loop; the download stops at the next record.
        StoreFailed = true;
        LblMessage->setText(Text(e.what()));
    }
}

void TLoggerDialog::DownloadClick() {
    TLoggerStore::TSetup setup;
    setup.FileName = EdtFile->text().trimmed().toStdString();
    setup.Clock = Clock();
    if (setup.FileName.empty()) {
        LblMessage->setText(QStringLiteral("Give the readings file the records go to."));
        return;
    }
    try {
        const TIniFile ini(SettingsFile);
        setup.Skyglow = ReadSkyglowSettings(ini);
        if (!setup.Skyglow.Folder.empty())
            setup.Site = ReadSite(ini);
    } catch (const std::exception& e) {
        LblMessage->setText(QStringLiteral("The skyglow settings cannot be used: ") +
                            Text(e.what()));
        return;
    }
    Store.reset();
    StoreFailed = false;
    Stored = Duplicates = 0;
    LastDownload.reset();
    Progress->setRange(0, 1);
    Progress->setValue(0);
    Start(QStringLiteral("Downloading the records"), [this, setup](TDmSQMLUR& link,
                                                                   TDataLogger& logger) mutable {
        setup.UnitInfoReply = link.UnitInfoReply.substr(0, link.UnitInfoReply.find('\r'));
        if (!setup.Skyglow.Folder.empty()) {
            try {
                link.ReadCalibration();
                setup.CalibrationReply =
                    link.CalibrationReply.substr(0, link.CalibrationReply.find('\r'));
            } catch (const ESqm&) {
                // The header carries the placeholder.
            }
        }
        // The store is made, and every record stored, on the dialog's thread: the readings
        // file's writer tells of a failure in a message box.
        QMetaObject::invokeMethod(
            this,
            [this, setup] {
                try {
                    Store = std::make_unique<TLoggerStore>(setup);
                } catch (const std::exception& e) {
                    StoreFailed = true;
                    LblMessage->setText(Text(e.what()));
                }
            },
            Qt::QueuedConnection);
        const TLoggerLayout layout =
            ReadLoggerLayout(logger, std::atoi(link.GetFeatureVersion().c_str()));
        auto shown = std::chrono::steady_clock::time_point{};
        TLoggerDownloadResult result = TLoggerDownload::Run(
            logger, layout,
            [this](const TLoggerRecord& record) {
                QMetaObject::invokeMethod(
                    this, [this, record] { StoreRecord(record); }, Qt::QueuedConnection);
                return TLoggerStore::TOutcome::Stored;
            },
            [this, &shown](std::int64_t done, std::int64_t total) {
                const auto now = std::chrono::steady_clock::now();
                if (now - shown >= std::chrono::milliseconds(50) || done == total) {
                    shown = now;
                    QMetaObject::invokeMethod(
                        this,
                        [this, done, total] {
                            Progress->setRange(0, int(std::min<std::int64_t>(total, INT32_MAX)));
                            Progress->setValue(int(std::min<std::int64_t>(done, INT32_MAX)));
                        },
                        Qt::QueuedConnection);
                }
                return !CancelRequested && !StoreFailed;
            });
        QMetaObject::invokeMethod(
            this,
            [this, result]() mutable {
                result.Stored = Stored;
                result.Duplicates = Duplicates;
                if (StoreFailed) {
                    result.Cancelled = false;
                    result.Stopped = "The records could not be stored in the file.";
                }
                LastDownload = result;
                QStringList lines;
                for (const std::string& line : DownloadSummary(result))
                    lines << Text(line);
                if (Store)
                    for (const std::string& notice : Store->TakeNotices())
                        lines << Text(notice);
                LblMessage->setText(lines.join('\n'));
            },
            Qt::QueuedConnection);
    });
}

void TLoggerDialog::CancelClick() {
    CancelRequested = true;
}

void TLoggerDialog::EraseClick() {
    if (Busy || !LastDownload || !LastDownload->IsComplete())
        return;
    const std::int64_t records = LastDownload->Records;
    const QString question =
        QStringLiteral("Erase the %1 records on the meter? All of them are stored in %2. "
                       "This cannot be undone.")
            .arg(records)
            .arg(EdtFile->text());
    if (!Confirm(question))
        return;
    const TLoggerClock clock = Clock();
    const std::int64_t pointer = LastDownload->Pointer;
    LastDownload.reset();
    Start(QStringLiteral("Erasing the meter"),
          [this, clock, pointer](TDmSQMLUR& link, TDataLogger& logger) {
              if (logger.ReadPointer() != pointer)
                  throw ESqm("The meter has logged records since the download; it is not erased. "
                             "Download again first.");
              logger.StartErase();
              const auto limit = std::chrono::steady_clock::now() + std::chrono::minutes(5);
              while (logger.IsBusy()) {
                  if (std::chrono::steady_clock::now() > limit)
                      throw ESqm("The meter still says it is erasing after five minutes.");
                  std::this_thread::sleep_for(std::chrono::milliseconds(100));
              }
              const TStatus status = ReadStatus(link, logger, clock);
              QMetaObject::invokeMethod(
                  this,
                  [this, status] {
                      ShowStatus(status.Values);
                      RecordsOnMeter = status.Records;
                      LblMessage->setText(QStringLiteral("The meter is erased."));
                  },
                  Qt::QueuedConnection);
          });
}
