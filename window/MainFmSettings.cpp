// The settings: loaded while the window is built, stored when it closes.
#include "core/ConnectionEntries.h"
#include "core/EntryChecks.h"
#include "core/Sqmconfig.h"
#include "platform/Folders.h"
#include "platform/IniFile.h"
#include "platform/Text.h"
#include "window/MainFm.h"
#include "window/StyleManager.h"
#include "window/UpDown.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <cstdint>

namespace {

const std::string Section = "SQM";

// Selects the entry whose text equals text, letter case ignored; entry 0 when none does.
void SelectIgnoringCase(QComboBox* list, const std::string& text) {
    const int index = list->findText(QString::fromStdString(text), Qt::MatchFixedString);
    list->setCurrentIndex(index >= 0 ? index : 0);
}

// A stored port that names an existing device by its path (a meter on a pseudo-terminal,
// a link made for it) is offered even though the list does not hold it.
void OfferStoredDevice(QComboBox* list, const std::string& port) {
    const QString path = QString::fromStdString(port);
    if (path.startsWith(QLatin1Char('/')) && QFileInfo::exists(path) &&
        list->findText(path, Qt::MatchFixedString) < 0)
        list->addItem(path);
}

} // namespace

void TMainForm::LoadSettings() {
    TSQMConfig config;
    try {
        CmbModel->setCurrentIndex(0);
        CmbComPort->setCurrentIndex(0);
        const TIniFile ini(SettingsFileName());
        config = ReadSavedConfig(ini);
        SpnTimer->SetPosition(ini.ReadInteger(Section, "Timer", 15));
        ChkSaveReading->setChecked(ini.ReadBool(Section, "Store", false));
        EdtFileName->setText(QString::fromStdString(
            ini.ReadString(Section, "File", EdtFileName->text().toStdString())));
        const QString style = QString::fromStdString(ini.ReadString(Section, "Style", ""));
        const int styleIndex = CmbStyles->findText(style, Qt::MatchFixedString);
        if (!style.isEmpty() && styleIndex >= 0)
            CmbStyles->setCurrentIndex(styleIndex);
    } catch (...) {
        // Settings that cannot be read leave what was set so far.
    }
    TStyleManager::TrySetStyle(CmbStyles->currentText(), false);
    const TConnectionEntries entries = ConnectionEntriesFromRecord(config);
    CmbModel->setCurrentIndex(entries.ModelIndex);
    // The list also holds the serial devices present, so the stored text is looked up in it.
    OfferStoredDevice(CmbComPort, config.ComPort);
    SelectIgnoringCase(CmbComPort, config.ComPort);
    FBaudRate = entries.BaudRate;
    EdtIP->setText(QString::fromStdString(entries.Host));
    EdtPort->setText(QString::fromStdString(entries.Port));
    EdtTimeout->setText(QString::fromStdString(entries.Timeout));
}

void TMainForm::SaveSettings() {
    try {
        TSQMConfig config;
        config.Name = "SQM0";
        config.Model = CmbModel->currentText().toStdString();
        config.Host = EdtIP->text().trimmed().toStdString();
        config.Port = StrToInt(EdtPort->text().toStdString());
        // Wraps like the 32-bit product it is; no range is tested here.
        config.Timeout = static_cast<std::int32_t>(
            static_cast<std::int64_t>(StrToInt(EdtTimeout->text().toStdString())) * 1000);
        config.ComPort = CmbComPort->currentText().trimmed().toStdString();

        const std::string folder = SettingsFolder();
        if (!DirectoryExists(folder))
            ForceDirectories(folder);
        TIniFile ini(SettingsFileName());
        ini.WriteString(Section, "Config-1", config.AsString(true));
        ini.WriteString(Section, "Timer", EdtTimer->text().toStdString());
        ini.WriteBool(Section, "Store", ChkSaveReading->isChecked());
        ini.WriteString(Section, "File", EdtFileName->text().toStdString());
        ini.WriteString(Section, "Style", CmbStyles->currentText().toStdString());
    } catch (...) {
        // Keys already written stay written; the others keep their old values.
    }
}
