#pragma once

#include "history/Night.h"
#include "history/NightSky.h"
#include "history/SkyOfNight.h"

#include <QDialog>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class QCheckBox;
class QLabel;
class TNightChartView;

// The chart of the current night in a window of its own: the readings of this session and
// those the readings file holds for the night. The current night is that of the latest
// reading; twilight and Moon come from the sky function when one is set, and a note beneath
// says for which site, or why they are left out. The site also names the chart and tells its
// dark readings; a check box shows the night from noon to noon.
class TNightChartFm : public QDialog {
    Q_OBJECT

public:
    using TSkyFunction = std::function<TNightSky(const TNight&)>;

    TNightChartFm(const TNight& night, QWidget* parent = nullptr);

    // Virtual, as are the others the window calls: the window reaches them through the
    // vtable, the views being in a module it loads on first use.

    // The readings file whose readings join the chart; empty for none. Read again at once.
    virtual void SetReadingsFileName(const std::string& fileName);
    const std::string& GetReadingsFileName() const { return FileName; }
    // The sky function and the note that goes with it; a function that raises Exception leaves
    // twilight and Moon out and puts its message in the note.
    void SetSkyFunction(TSkyFunction sky, const QString& note = {});
    // Twilight and Moon for a site, or none and the site's note.
    virtual void SetSkySite(const TSkySite& site);
    // Shows a night, its stored and session readings and its sky.
    void ShowNight(const TNight& night);
    // The readings this session has taken so far; shows the night of the latest.
    virtual void SetSessionReadings(const std::vector<TNightReading>& readings);
    // A reading of this session; shows its night.
    virtual void AddSessionReading(const TNightReading& reading);

    TNightChartView* GetView() const { return View; }
    QCheckBox* GetNoonToNoonBox() const { return NoonToNoon; }
    // What reading the file gave to say: damaged lines skipped, or why it could not be read.
    QString GetFileNote() const;
    QString GetSkyNote() const;

private:
    void ReadStoredReadings(const TNight& night);

    TNightChartView* View = nullptr;
    QLabel* FileNote = nullptr;
    QLabel* SkyNote = nullptr;
    QCheckBox* NoonToNoon = nullptr;
    QString SkySiteNote;
    std::string FileName;
    TSkyFunction Sky;
    std::optional<std::pair<TNight, TNightSky>> LastSky; // the sky function's last answer
    std::vector<TNightReading> Stored;                   // of StoredNight only
    std::optional<TNight> StoredNight;
    std::vector<TNightReading> Session;
};
