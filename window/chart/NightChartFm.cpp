#include "window/chart/NightChartFm.h"

#include "history/ReadingsFileReader.h"
#include "platform/Exception.h"
#include "window/chart/NightChartView.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <cerrno>
#include <sys/stat.h>

TNightChartFm::TNightChartFm(const TNight& night, QWidget* parent)
    : QDialog(parent), View(new TNightChartView(night, this)), FileNote(new QLabel(this)),
      SkyNote(new QLabel(this)) {
    setObjectName(QStringLiteral("NightChartFm"));
    setWindowTitle(tr("Chart of the Night"));
    View->setObjectName(QStringLiteral("NightChart"));
    FileNote->setObjectName(QStringLiteral("LblChartFileNote"));
    FileNote->setWordWrap(true);
    FileNote->hide();
    SkyNote->setObjectName(QStringLiteral("LblChartSkyNote"));
    SkyNote->setWordWrap(true);
    SkyNote->hide();
    NoonToNoon = new QCheckBox(tr("&Noon to noon"), this);
    NoonToNoon->setObjectName(QStringLiteral("ChkNoonToNoon"));
    NoonToNoon->setToolTip(tr("Show the whole night from noon to noon instead of an hour before "
                              "sunset to an hour after sunrise"));
    connect(NoonToNoon, &QCheckBox::toggled, View, &TNightChartView::SetNoonToNoon);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(View, 1);
    layout->addWidget(SkyNote);
    layout->addWidget(FileNote);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(NoonToNoon);
    bottom->addWidget(buttons, 1);
    layout->addLayout(bottom);
    resize(900, 560);
}

void TNightChartFm::SetReadingsFileName(const std::string& fileName) {
    FileName = fileName;
    StoredNight.reset();
    ShowNight(View->GetNight());
}

void TNightChartFm::SetSkyFunction(TSkyFunction sky, const QString& note) {
    Sky = std::move(sky);
    LastSky.reset();
    SkySiteNote = note;
    ShowNight(View->GetNight());
}

void TNightChartFm::SetSkySite(const TSkySite& site) {
    TSkyFunction sky;
    if (site.Site)
        sky = [place = *site.Site](const TNight& night) { return GetNightSky(place, night); };
    View->SetSite(site.Site, QString::fromStdString(site.Name));
    SetSkyFunction(std::move(sky), QString::fromStdString(site.Note));
}

void TNightChartFm::ShowNight(const TNight& night) {
    // Only the night shown is held, so a file of any size is charted in bounded memory.
    if (StoredNight != night)
        ReadStoredReadings(night);
    View->SetNight(night);
    View->SetReadings(MergeReadings(Stored, Session, night));
    QString note = SkySiteNote;
    if (Sky) {
        try {
            if (!LastSky || LastSky->first != night)
                LastSky.emplace(night, Sky(night));
            View->SetTwilight(LastSky->second.Twilight);
            View->SetMoonAltitude(LastSky->second.Moon);
        } catch (const Exception& e) {
            note = tr("Twilight and the Moon are not shown: %1").arg(QString::fromUtf8(e.what()));
        }
    }
    SkyNote->setText(note);
    SkyNote->setVisible(!note.isEmpty());
}

void TNightChartFm::SetSessionReadings(const std::vector<TNightReading>& readings) {
    Session = readings;
    ShowNight(LatestNight(Session).value_or(View->GetNight()));
}

void TNightChartFm::AddSessionReading(const TNightReading& reading) {
    Session.push_back(reading);
    if (!View->GetNight().Contains(reading.Time))
        ShowNight(TNight::Of(reading.Time));
    else
        View->AddReading(reading);
}

QString TNightChartFm::GetFileNote() const {
    return FileNote->text();
}

QString TNightChartFm::GetSkyNote() const {
    return SkyNote->text();
}

void TNightChartFm::ReadStoredReadings(const TNight& night) {
    Stored.clear();
    StoredNight = night;
    QString note;
    struct stat st {};
    // A file not made yet holds no readings; that is no news.
    if (!FileName.empty() && (::stat(FileName.c_str(), &st) == 0 || errno != ENOENT)) {
        try {
            TReadingsFileContents contents = ReadReadingsFileNight(FileName, night);
            Stored = std::move(contents.Readings);
            const std::size_t damaged = contents.DamagedCount;
            const QString name = QString::fromStdString(FileName);
            if (damaged == 1)
                note = tr("%1: 1 damaged line skipped (line %2).")
                           .arg(name)
                           .arg(contents.DamagedLines.front());
            else if (damaged > 1)
                note = tr("%1: %2 damaged lines skipped, the first on line %3.")
                           .arg(name)
                           .arg(damaged)
                           .arg(contents.DamagedLines.front());
        } catch (const Exception& e) {
            note = QString::fromStdString(e.what());
        }
    }
    FileNote->setText(note);
    FileNote->setVisible(!note.isEmpty());
}
