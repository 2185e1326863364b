#pragma once

#include "sharing/ReadingSharing.h"

#include <QDialog>
#include <array>
#include <optional>

class QLineEdit;
class QSpinBox;

// The site and the sharing of readings: what the [Site], [Skyglow] and [MQTT] sections of
// the settings hold. Accepting checks every entry first; an entry that cannot be used is
// named in a message and the dialog stays open with everything as typed.
class TSharingDialog : public QDialog {
    Q_OBJECT
public:
    explicit TSharingDialog(QWidget* parent = nullptr);

    // Fills the entries; settings the dialog does not show are kept for AsSetup.
    void SetSetup(const TSharingSetup& setup);
    // The entries as a setup; raises ESiteError or ESharingSettingsError for an entry that
    // cannot be used.
    TSharingSetup AsSetup() const;

    void accept() override;

private:
    QLineEdit* AddLine(const char* name, const QString& label, const QString& hint = {});

    TSharingSetup Kept;
    QLineEdit* EdtSiteName = nullptr;
    QLineEdit* EdtLatitude = nullptr;
    QLineEdit* EdtLongitude = nullptr;
    QLineEdit* EdtElevation = nullptr;
    QLineEdit* EdtSkyglowFolder = nullptr;
    QLineEdit* EdtInstrumentId = nullptr;
    QLineEdit* EdtDataSupplier = nullptr;
    QLineEdit* EdtLicense = nullptr;
    std::array<QLineEdit*, TSkyglowSettings::CommentLines> EdtComments{};
    QLineEdit* EdtMqttHost = nullptr;
    QLineEdit* EdtMqttPort = nullptr;
    QLineEdit* EdtMqttPrefix = nullptr;
    QLineEdit* EdtCredentialsFile = nullptr;
    QLineEdit* EdtCaFile = nullptr;
    class QFormLayout* Form = nullptr;
};

// The saved site and sharing settings; missing sections give empty settings. Raises what
// ReadSharingSetup raises.
TSharingSetup LoadSharingSetup(const std::string& settingsFile);
// Writes the three sections, leaving every other key of the file as it is.
void SaveSharingSetup(const std::string& settingsFile, const TSharingSetup& setup);
