#include "window/history/HistoryFm.h"

#include "platform/Exception.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <qcustomplot.h>
#include <sstream>

namespace {

using namespace std::chrono;

constexpr int TablePage = 5;

QDate ToQDate(year_month_day day) {
    return QDate(static_cast<int>(day.year()), static_cast<int>(static_cast<unsigned>(day.month())),
                 static_cast<int>(static_cast<unsigned>(day.day())));
}

year_month_day FromQDate(QDate date) {
    return year{date.year()} / month{static_cast<unsigned>(date.month())} /
           day{static_cast<unsigned>(date.day())};
}

QString Number(const std::optional<double>& value) {
    return value ? QString::number(*value, 'f', 2) : QString();
}

} // namespace

struct THistoryFm::TLoad {
    THistoryOptions Options;
    std::atomic<bool> Stop{false};
    std::atomic<double> Fraction{0.0};
    std::optional<TStationHistory> Result;
    std::string Error; // empty when it ended well or was cancelled
    bool Cancelled = false;
};

THistoryFm::THistoryFm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("HistoryFm"));
    setWindowTitle(tr("History"));
    resize(1100, 760);

    Paths = new QListWidget(this);
    Paths->setObjectName(QStringLiteral("HistoryPaths"));
    Paths->setSelectionMode(QAbstractItemView::ExtendedSelection);
    Paths->setMaximumHeight(90);
    auto* addFiles = new QPushButton(tr("Add &Files..."), this);
    auto* addFolder = new QPushButton(tr("Add F&older..."), this);
    auto* remove = new QPushButton(tr("&Remove"), this);
    connect(addFiles, &QPushButton::clicked, this, &THistoryFm::AddFiles);
    connect(addFolder, &QPushButton::clicked, this, &THistoryFm::AddFolder);
    connect(remove, &QPushButton::clicked, this, &THistoryFm::RemovePaths);
    auto* pathButtons = new QVBoxLayout;
    pathButtons->addWidget(addFiles);
    pathButtons->addWidget(addFolder);
    pathButtons->addWidget(remove);
    pathButtons->addStretch();
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(Paths, 1);
    pathRow->addLayout(pathButtons);

    UseFrom = new QCheckBox(tr("Nights f&rom"), this);
    From = new QDateEdit(this);
    UseTo = new QCheckBox(tr("&to"), this);
    To = new QDateEdit(this);
    for (QDateEdit* edit : {From, To}) {
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        edit->setCalendarPopup(true);
        edit->setDate(QDate::currentDate());
        edit->setEnabled(false);
    }
    connect(UseFrom, &QCheckBox::toggled, From, &QWidget::setEnabled);
    connect(UseTo, &QCheckBox::toggled, To, &QWidget::setEnabled);
    LoadButton = new QPushButton(tr("&Load"), this);
    LoadButton->setObjectName(QStringLiteral("HistoryLoad"));
    CancelButton = new QPushButton(tr("&Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("HistoryCancel"));
    CancelButton->setEnabled(false);
    Progress = new QProgressBar(this);
    Progress->setRange(0, 1000);
    Progress->setTextVisible(false);
    Progress->setVisible(false);
    connect(LoadButton, &QPushButton::clicked, this, &THistoryFm::Load);
    connect(CancelButton, &QPushButton::clicked, this, &THistoryFm::CancelLoad);
    auto* periodRow = new QHBoxLayout;
    periodRow->addWidget(UseFrom);
    periodRow->addWidget(From);
    periodRow->addWidget(UseTo);
    periodRow->addWidget(To);
    periodRow->addWidget(LoadButton);
    periodRow->addWidget(CancelButton);
    periodRow->addWidget(Progress, 1);

    ViewChoice = new QComboBox(this);
    ViewChoice->setObjectName(QStringLiteral("HistoryView"));
    for (const QString& name : {tr("Night"), tr("Brightness against the Sun"), tr("Hourglass"),
                                tr("Jellyfish"), tr("Histogram"), tr("Table of nights")})
        ViewChoice->addItem(name);
    ViewChoice->setCurrentIndex(static_cast<int>(THistoryView::Hourglass));
    NightChoice = new QComboBox(this);
    NightChoice->setObjectName(QStringLiteral("HistoryNight"));
    NoonToNoon = new QCheckBox(tr("&Noon to noon"), this);
    ExportPictureButton = new QPushButton(tr("Export &Picture..."), this);
    ExportTableButton = new QPushButton(tr("Export &Table (CSV)..."), this);
    connect(ViewChoice, &QComboBox::currentIndexChanged, this,
            [this](int page) { ShowPage(page); });
    connect(NightChoice, &QComboBox::currentIndexChanged, this, &THistoryFm::Redraw);
    connect(NoonToNoon, &QCheckBox::toggled, this, &THistoryFm::Redraw);
    connect(ExportPictureButton, &QPushButton::clicked, this, &THistoryFm::ExportPictureClick);
    connect(ExportTableButton, &QPushButton::clicked, this, &THistoryFm::ExportTableClick);
    auto* viewRow = new QHBoxLayout;
    auto* viewLabel = new QLabel(tr("&View:"), this);
    viewLabel->setBuddy(ViewChoice);
    viewRow->addWidget(viewLabel);
    viewRow->addWidget(ViewChoice);
    viewRow->addWidget(NightChoice);
    viewRow->addWidget(NoonToNoon);
    viewRow->addStretch();
    viewRow->addWidget(ExportPictureButton);
    viewRow->addWidget(ExportTableButton);

    Plot = new QCustomPlot(this);
    Plot->setObjectName(QStringLiteral("HistoryPlot"));
    Table = new QTableWidget(this);
    Table->setObjectName(QStringLiteral("HistoryTable"));
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->setColumnCount(7);
    Table->setHorizontalHeaderLabels({tr("Night"), tr("Readings"), tr("Dark readings"),
                                      tr("Darkest"), tr("Dark median"), tr("Clear fraction"),
                                      tr("Moon fraction")});
    Table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    Pages = new QStackedWidget(this);
    Pages->addWidget(Plot);
    Pages->addWidget(Table);

    Status =
        new QLabel(tr("Add readings files or skyglow files, or folders of them, and Load."), this);
    Status->setObjectName(QStringLiteral("HistoryStatus"));
    Status->setWordWrap(true);
    Status->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(pathRow);
    layout->addLayout(periodRow);
    layout->addLayout(viewRow);
    layout->addWidget(Pages, 1);
    layout->addWidget(Status);

    Watcher = new QFutureWatcher<void>(this);
    connect(Watcher, &QFutureWatcher<void>::finished, this, &THistoryFm::LoadDone);
    auto* progressTimer = new QTimer(this);
    progressTimer->setInterval(100);
    connect(progressTimer, &QTimer::timeout, this, [this] {
        if (Running)
            Progress->setValue(static_cast<int>(Running->Fraction.load() * 1000));
    });
    progressTimer->start();
    ShowPage(ViewChoice->currentIndex());
    SetLoading(false);
}

THistoryFm::~THistoryFm() {
    if (Running)
        Running->Stop = true;
    Watcher->waitForFinished();
}

void THistoryFm::SetDefaultSite(const std::optional<TPosition>& site) {
    DefaultSite = site;
}

void THistoryFm::SetPaths(const std::vector<std::string>& paths) {
    Paths->clear();
    for (const std::string& path : paths)
        Paths->addItem(QString::fromStdString(path));
}

std::vector<std::string> THistoryFm::GetPaths() const {
    std::vector<std::string> paths;
    paths.reserve(static_cast<std::size_t>(Paths->count()));
    for (int i = 0; i < Paths->count(); ++i)
        paths.push_back(Paths->item(i)->text().toStdString());
    return paths;
}

void THistoryFm::AddFiles() {
    const QStringList files = QFileDialog::getOpenFileNames(
        this, tr("Readings or skyglow files"), {},
        tr("Readings and skyglow files (*.csv *.dat *.txt);;All files (*)"));
    for (const QString& file : files)
        Paths->addItem(file);
}

void THistoryFm::AddFolder() {
    const QString folder = QFileDialog::getExistingDirectory(this, tr("A folder of readings"));
    if (!folder.isEmpty())
        Paths->addItem(folder);
}

void THistoryFm::RemovePaths() {
    qDeleteAll(Paths->selectedItems());
}

void THistoryFm::SetLoading(bool loading) {
    LoadButton->setEnabled(!loading);
    CancelButton->setEnabled(loading);
    Progress->setVisible(loading);
    if (!loading)
        Progress->setValue(0);
}

bool THistoryFm::IsLoading() const {
    return Running != nullptr;
}

void THistoryFm::Load() {
    if (Running)
        return;
    const std::vector<std::string> paths = GetPaths();
    if (paths.empty()) {
        Status->setText(tr("Add a file or a folder to read first."));
        return;
    }
    auto load = std::make_shared<TLoad>();
    load->Options.Paths = paths;
    load->Options.Site = DefaultSite;
    if (UseFrom->isChecked())
        load->Options.From = FromQDate(From->date());
    if (UseTo->isChecked())
        load->Options.To = FromQDate(To->date());
    Running = load;
    SetLoading(true);
    Status->setText(tr("Reading..."));
    Watcher->setFuture(QtConcurrent::run([load] {
        try {
            load->Result = LoadStationHistory(load->Options, [&load](double fraction) {
                load->Fraction = fraction;
                return !load->Stop.load();
            });
        } catch (const EHistoryCancelled&) {
            load->Cancelled = true;
        } catch (const Exception& e) {
            load->Error = e.what();
        } catch (const std::exception& e) {
            load->Error = std::string("The readings could not be read: ") + e.what();
        }
    }));
}

void THistoryFm::CancelLoad() {
    if (Running)
        Running->Stop = true;
}

void THistoryFm::LoadDone() {
    const std::shared_ptr<TLoad> load = std::move(Running);
    Running.reset();
    SetLoading(false);
    if (!load)
        return;
    // Cancel asked is cancel done, even when the reading ended in the meantime.
    if (load->Cancelled || load->Stop)
        Status->setText(tr("Reading cancelled; the history shown is unchanged."));
    else if (!load->Error.empty())
        Status->setText(QString::fromStdString(load->Error));
    else if (load->Result)
        ShowHistory(std::move(*load->Result));
    emit LoadFinished();
}

void THistoryFm::ShowHistory(TStationHistory history) {
    History = std::move(history);
    const TLoadReport& report = History->Report;
    QString text = tr("%1 readings from %2 files, %3 nights.")
                       .arg(report.Readings)
                       .arg(report.Files)
                       .arg(History->Nights.size());
    if (report.Duplicates > 0)
        text += tr(" %1 readings present twice counted once.").arg(report.Duplicates);
    if (report.DamagedLines > 0) {
        QStringList first;
        for (const std::string& where : report.FirstDamaged)
            first << QString::fromStdString(where);
        text +=
            tr(" %1 damaged lines skipped (%2).").arg(report.DamagedLines).arg(first.join(", "));
    }
    for (const std::string& skipped : report.SkippedFiles)
        text += tr(" Skipped %1.").arg(QString::fromStdString(skipped));
    Status->setText(text);

    const QSignalBlocker blocker(NightChoice);
    NightChoice->clear();
    for (const TNightStats& night : History->Nights)
        NightChoice->addItem(ToQDate(night.Night).toString(Qt::ISODate));
    NightChoice->setCurrentIndex(NightChoice->count() - 1);
    FillTable();
    Redraw();
}

void THistoryFm::ShowPage(int page) {
    page = std::clamp(page, 0, TablePage);
    if (ViewChoice->currentIndex() != page) {
        ViewChoice->setCurrentIndex(page); // comes back here
        return;
    }
    Pages->setCurrentWidget(page == TablePage ? static_cast<QWidget*>(Table) : Plot);
    const bool night = page == static_cast<int>(THistoryView::Night);
    NightChoice->setVisible(night);
    NoonToNoon->setVisible(night);
    ExportPictureButton->setEnabled(page != TablePage);
    Redraw();
}

int THistoryFm::GetPage() const {
    return ViewChoice->currentIndex();
}

void THistoryFm::Redraw() {
    const int page = ViewChoice->currentIndex();
    if (page == TablePage)
        return;
    Plot->clearPlottables();
    Plot->clearItems();
    if (!History) {
        Plot->replot();
        return;
    }
    THistoryPlotOptions options;
    options.View = static_cast<THistoryView>(page);
    options.NoonToNoon = NoonToNoon->isChecked();
    const QDate night = QDate::fromString(NightChoice->currentText(), Qt::ISODate);
    if (night.isValid())
        options.Night = FromQDate(night);
    try {
        DrawHistoryView(*Plot, *History, options, palette());
    } catch (const Exception& e) {
        Plot->clearPlottables();
        Plot->clearItems();
        Plot->replot();
        Status->setText(QString::fromStdString(e.what()));
    }
}

void THistoryFm::FillTable() {
    Table->setRowCount(0);
    if (!History)
        return;
    Table->setRowCount(static_cast<int>(History->Nights.size()));
    int row = 0;
    for (const TNightStats& night : History->Nights) {
        const QStringList cells = {ToQDate(night.Night).toString(Qt::ISODate),
                                   QString::number(night.Readings),
                                   QString::number(night.DarkReadings),
                                   Number(night.Darkest),
                                   Number(night.DarkMedian),
                                   QString::number(night.ClearFraction, 'f', 2),
                                   QString::number(night.MoonFraction, 'f', 2)};
        for (int column = 0; column < cells.size(); ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            if (column > 0)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            Table->setItem(row, column, item);
        }
        ++row;
    }
}

void THistoryFm::ExportPicture(const QString& fileName, QSize size) {
    SaveHistoryPlot(*Plot, fileName, size);
}

void THistoryFm::ExportTable(const QString& fileName) {
    if (!History)
        throw Exception("There is no history to export yet.");
    std::ostringstream csv;
    WriteNightStatsCsv(csv, History->Nights);
    const std::string text = csv.str();
    QSaveFile file(fileName);
    const auto failure = [&] {
        return Exception("Could not save the table to " + fileName.toStdString() + ": " +
                         file.errorString().toStdString());
    };
    if (!file.open(QIODevice::WriteOnly))
        throw failure();
    if (file.write(text.data(), static_cast<qint64>(text.size())) !=
        static_cast<qint64>(text.size())) {
        file.cancelWriting();
        throw failure();
    }
    if (!file.commit())
        throw failure();
}

void THistoryFm::ExportPictureClick() {
    const QString name = QFileDialog::getSaveFileName(
        this, tr("Export the picture"), QStringLiteral("history.png"), tr("PNG pictures (*.png)"));
    if (name.isEmpty())
        return;
    try {
        ExportPicture(name, Plot->size().expandedTo(QSize(1000, 600)));
        Status->setText(tr("Picture saved to %1.").arg(name));
    } catch (const Exception& e) {
        QMessageBox::warning(this, windowTitle(), QString::fromStdString(e.what()));
    }
}

void THistoryFm::ExportTableClick() {
    const QString name = QFileDialog::getSaveFileName(
        this, tr("Export the table"), QStringLiteral("nights.csv"), tr("CSV files (*.csv)"));
    if (name.isEmpty())
        return;
    try {
        ExportTable(name);
        Status->setText(tr("Table saved to %1.").arg(name));
    } catch (const Exception& e) {
        QMessageBox::warning(this, windowTitle(), QString::fromStdString(e.what()));
    }
}
