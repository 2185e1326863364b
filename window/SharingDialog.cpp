#include "window/SharingDialog.h"

#include "core/UiSeams.h"
#include "platform/Folders.h"
#include "platform/IniFile.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <filesystem>

namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

std::string Entry(const QLineEdit* edit) {
    return edit->text().trimmed().toStdString();
}

} // namespace

TSharingDialog::TSharingDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("SharingDialog"));
    setWindowTitle(QStringLiteral("Site and Sharing"));
    Form = new QFormLayout(this);
    Form->addRow(new QLabel(QStringLiteral("<b>Site</b>"), this));
    EdtSiteName = AddLine("EdtSiteName", QStringLiteral("Site name:"));
    EdtLatitude = AddLine("EdtLatitude", QStringLiteral("Latitude:"),
                          QStringLiteral("degrees north, such as 52.2533"));
    EdtLongitude = AddLine("EdtLongitude", QStringLiteral("Longitude:"),
                           QStringLiteral("degrees east, such as -7.1101"));
    EdtElevation = AddLine("EdtElevation", QStringLiteral("Elevation:"), QStringLiteral("metres"));
    Form->addRow(new QLabel(QStringLiteral("<b>Skyglow data files</b>"), this));
    EdtSkyglowFolder = AddLine("EdtSkyglowFolder", QStringLiteral("Folder:"),
                               QStringLiteral("empty: no skyglow files"));
    EdtInstrumentId = AddLine("EdtInstrumentId", QStringLiteral("Instrument ID:"));
    EdtDataSupplier = AddLine("EdtDataSupplier", QStringLiteral("Data supplier:"));
    EdtLicense = AddLine("EdtLicense", QStringLiteral("Licence:"));
    for (std::size_t i = 0; i < EdtComments.size(); ++i)
        EdtComments[i] = AddLine(("EdtComment" + std::to_string(i + 1)).c_str(),
                                 i == 0 ? QStringLiteral("Comments:") : QString());
    Form->addRow(new QLabel(QStringLiteral("<b>MQTT broker</b>"), this));
    EdtMqttHost =
        AddLine("EdtMqttHost", QStringLiteral("Host:"), QStringLiteral("empty: no publishing"));
    EdtMqttPort = AddLine("EdtMqttPort", QStringLiteral("Port:"));
    EdtMqttPrefix = AddLine("EdtMqttPrefix", QStringLiteral("Topic prefix:"),
                            QStringLiteral("empty: nightlux/<serial number>"));
    EdtCredentialsFile = AddLine("EdtCredentialsFile", QStringLiteral("Credentials file:"),
                                 QStringLiteral("username= and password= lines"));
    EdtCaFile = AddLine("EdtCaFile", QStringLiteral("CA file:"),
                        QStringLiteral("set: TLS, the broker checked against it"));
    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Horizontal, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &TSharingDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TSharingDialog::reject);
    Form->addRow(buttons);
    SetSetup(TSharingSetup{});
}

QLineEdit* TSharingDialog::AddLine(const char* name, const QString& label, const QString& hint) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setPlaceholderText(hint);
    edit->setMinimumWidth(260);
    Form->addRow(label, edit);
    return edit;
}

void TSharingDialog::SetSetup(const TSharingSetup& setup) {
    Kept = setup;
    EdtSiteName->setText(Text(setup.Site.Name));
    const std::optional<TPosition>& position = setup.Site.Position;
    EdtLatitude->setText(position ? Text(ShortestNumber(position->Latitude)) : QString());
    EdtLongitude->setText(position ? Text(ShortestNumber(position->Longitude)) : QString());
    EdtElevation->setText(
        position && position->Elevation ? Text(ShortestNumber(*position->Elevation)) : QString());
    EdtSkyglowFolder->setText(Text(setup.Skyglow.Folder));
    EdtInstrumentId->setText(Text(setup.Skyglow.InstrumentId));
    EdtDataSupplier->setText(Text(setup.Skyglow.DataSupplier));
    EdtLicense->setText(Text(setup.Skyglow.License));
    for (std::size_t i = 0; i < EdtComments.size(); ++i)
        EdtComments[i]->setText(Text(setup.Skyglow.Comments[i]));
    EdtMqttHost->setText(Text(setup.Mqtt.Host));
    EdtMqttPort->setText(QString::number(setup.Mqtt.Port));
    EdtMqttPrefix->setText(Text(setup.Mqtt.TopicPrefix));
    EdtCredentialsFile->setText(Text(setup.Mqtt.CredentialsFile));
    EdtCaFile->setText(Text(setup.Mqtt.CaFile));
}

TSharingSetup TSharingDialog::AsSetup() const {
    TSharingSetup setup = Kept;
    const std::string name = Entry(EdtSiteName);
    setup.Site.Name = name.empty() ? std::string() : ParseSiteName(name);
    const std::string latitude = Entry(EdtLatitude);
    const std::string longitude = Entry(EdtLongitude);
    const std::string elevation = Entry(EdtElevation);
    if (latitude.empty() && longitude.empty() && elevation.empty())
        setup.Site.Position.reset();
    else if (latitude.empty() || longitude.empty())
        throw ESiteError("Latitude and longitude go together: give both, or neither");
    else
        setup.Site.Position =
            ParsePosition(latitude + "," + longitude + (elevation.empty() ? "" : "," + elevation));
    setup.Skyglow.Folder = Entry(EdtSkyglowFolder);
    setup.Skyglow.InstrumentId = Entry(EdtInstrumentId);
    setup.Skyglow.DataSupplier = Entry(EdtDataSupplier);
    setup.Skyglow.License = Entry(EdtLicense);
    for (std::size_t i = 0; i < EdtComments.size(); ++i)
        setup.Skyglow.Comments[i] = Entry(EdtComments[i]);
    const std::string host = Entry(EdtMqttHost);
    const std::string port = Entry(EdtMqttPort);
    setup.Mqtt.Host.clear();
    if (!host.empty() || !port.empty()) {
        const bool bracketed = host.find(':') != std::string::npos;
        ParseMqttAddress((bracketed ? "[" + host + "]" : host) + (port.empty() ? "" : ":" + port),
                         setup.Mqtt);
    }
    setup.Mqtt.TopicPrefix = Entry(EdtMqttPrefix);
    setup.Mqtt.CredentialsFile = Entry(EdtCredentialsFile);
    setup.Mqtt.CaFile = Entry(EdtCaFile);
    return setup;
}

void TSharingDialog::accept() {
    try {
        Kept = AsSetup();
    } catch (const std::exception& e) {
        ShowMessage(std::string(e.what()) + ".");
        return;
    }
    QDialog::accept();
}

TSharingSetup LoadSharingSetup(const std::string& settingsFile) {
    return ReadSharingSetup(TIniFile(settingsFile));
}

void SaveSharingSetup(const std::string& settingsFile, const TSharingSetup& setup) {
    const std::string folder = std::filesystem::path(settingsFile).parent_path().string();
    if (!folder.empty() && !DirectoryExists(folder))
        ForceDirectories(folder);
    TIniFile ini(settingsFile);
    WriteSite(ini, setup.Site);
    WriteSkyglowSettings(ini, setup.Skyglow);
    WriteMqttSettings(ini, setup.Mqtt);
}
