// The site and sharing dialog, its saving beside the window's own keys, and the sharing of
// the window's readings.
#include "window/SharingDialog.h"

#include "core/Sqmconfig.h"
#include "platform/IniFile.h"
#include "tests/window/WindowFixture.h"

#include <QDir>
#include <QFile>
#include <QStatusBar>
#include <gmock/gmock.h>

namespace {

TSharingSetup FullSetup() {
    TSharingSetup setup;
    setup.Site.Name = "Roof";
    setup.Site.Position = TPosition{52.2533, -7.1101, 20.0};
    setup.Skyglow.Folder = "/srv/sky";
    setup.Skyglow.InstrumentId = "Roof SQM";
    setup.Skyglow.DataSupplier = "A. Observer";
    setup.Skyglow.License = "CC BY 4.0";
    setup.Skyglow.Comments[0] = "Behind glass";
    setup.Skyglow.Comments[4] = "Last line";
    setup.Skyglow.CoverOffset = -0.11; // not shown, kept
    setup.Mqtt.Host = "::1";
    setup.Mqtt.Port = 8883;
    setup.Mqtt.TopicPrefix = "obs/roof";
    setup.Mqtt.CredentialsFile = "/etc/nightlux/mqtt";
    setup.Mqtt.CaFile = "/etc/nightlux/ca.pem";
    return setup;
}

void SetEntry(TSharingDialog& dialog, const char* name, const QString& text) {
    QLineEdit* edit = dialog.findChild<QLineEdit*>(QString::fromLatin1(name));
    ASSERT_NE(edit, nullptr) << name;
    edit->setText(text);
}

class SharingDialogTest : public WindowTest {};

TEST_F(SharingDialogTest, EntriesGiveBackTheSetupTheyWereFilledFrom) {
    TSharingDialog dialog;
    dialog.SetSetup(FullSetup());
    const TSharingSetup back = dialog.AsSetup();
    const TSharingSetup full = FullSetup();
    EXPECT_EQ(back.Site.Name, full.Site.Name);
    ASSERT_TRUE(back.Site.Position);
    EXPECT_EQ(back.Site.Position->Latitude, 52.2533);
    EXPECT_EQ(back.Site.Position->Longitude, -7.1101);
    EXPECT_EQ(back.Site.Position->Elevation, 20.0);
    EXPECT_EQ(back.Skyglow.Folder, full.Skyglow.Folder);
    EXPECT_EQ(back.Skyglow.InstrumentId, full.Skyglow.InstrumentId);
    EXPECT_EQ(back.Skyglow.DataSupplier, full.Skyglow.DataSupplier);
    EXPECT_EQ(back.Skyglow.License, full.Skyglow.License);
    EXPECT_EQ(back.Skyglow.Comments, full.Skyglow.Comments);
    EXPECT_EQ(back.Skyglow.CoverOffset, -0.11);
    EXPECT_EQ(back.Mqtt.Host, "::1");
    EXPECT_EQ(back.Mqtt.Port, 8883);
    EXPECT_EQ(back.Mqtt.TopicPrefix, full.Mqtt.TopicPrefix);
    EXPECT_EQ(back.Mqtt.CredentialsFile, full.Mqtt.CredentialsFile);
    EXPECT_EQ(back.Mqtt.CaFile, full.Mqtt.CaFile);

    // Emptied entries leave the parts out.
    for (const char* name : {"EdtLatitude", "EdtLongitude", "EdtElevation", "EdtMqttHost"})
        SetEntry(dialog, name, "");
    SetEntry(dialog, "EdtMqttPort", "");
    const TSharingSetup empty = dialog.AsSetup();
    EXPECT_FALSE(empty.Site.Position);
    EXPECT_EQ(empty.Mqtt.Host, "");
}

TEST_F(SharingDialogTest, AnEntryThatCannotBeUsedKeepsTheDialogOpenAndSaysWhich) {
    struct TRow {
        const char* Name;
        QString Text;
        QString Message;
    };
    const TRow rows[] = {
        {"EdtLatitude", "north", "In the position \"north,-7.1101,20\", the latitude \"north\""},
        {"EdtLongitude", "", "Latitude and longitude go together: give both, or neither."},
        {"EdtElevation", "12000", "The elevation 12000 is outside"},
        {"EdtMqttPort", "0", "The MQTT port \"0\""},
    };
    for (const TRow& row : rows) {
        TSharingDialog dialog;
        dialog.SetSetup(FullSetup());
        SetEntry(dialog, row.Name, row.Text);
        Seen.Boxes.clear();
        dialog.accept();
        EXPECT_EQ(dialog.result(), QDialog::Rejected) << row.Name;
        ASSERT_EQ(Seen.Boxes.size(), 1u) << row.Name;
        EXPECT_TRUE(Seen.Boxes[0].Text.startsWith(row.Message))
            << row.Name << ": " << Seen.Boxes[0].Text.toStdString();
    }
}

TEST_F(SharingDialogTest, SavingKeepsTheWindowsOwnKeys) {
    QDir().mkpath(ConfigFolder());
    {
        TIniFile ini(SettingsFile().toStdString());
        ini.WriteString("SQM", "Timer", "7");
        ini.WriteString("SQM", "Config-1", "saved record");
    }
    SaveSharingSetup(SettingsFile().toStdString(), FullSetup());
    const TIniFile ini(SettingsFile().toStdString());
    EXPECT_EQ(ini.ReadString("SQM", "Timer", ""), "7");
    EXPECT_EQ(ini.ReadString("SQM", "Config-1", ""), "saved record");
    const TSharingSetup back = LoadSharingSetup(SettingsFile().toStdString());
    EXPECT_EQ(back.Site.Name, "Roof");
    EXPECT_EQ(back.Skyglow.Folder, "/srv/sky");
    EXPECT_EQ(back.Mqtt.Port, 8883);
}

class WindowSharingTest : public FakeLinkWindowTest {};

TEST_F(WindowSharingTest, ReadNowWritesTheNightsSkyglowFile) {
    TSharingSetup setup;
    setup.Site.Name = "Roof";
    setup.Skyglow.Folder = Home.path().toStdString();
    SaveSharingSetup(SettingsFile().toStdString(), setup);
    Click("BtnRead");
    EXPECT_TRUE(Seen.Boxes.empty());
    const QStringList files = QDir(Home.path()).entryList({QStringLiteral("*.dat")});
    ASSERT_EQ(files.size(), 1) << files.join(' ').toStdString();
    EXPECT_TRUE(files[0].endsWith(QStringLiteral("_SQM-LE-Roof.dat"))) << files[0].toStdString();
}

TEST_F(WindowSharingTest, ASharingFailureIsShownInTheStatusBarNotInABox) {
    const QString notAFolder = Home.path() + QStringLiteral("/file");
    QFile(notAFolder).open(QIODevice::WriteOnly);
    TSharingSetup setup;
    setup.Skyglow.Folder = notAFolder.toStdString();
    SaveSharingSetup(SettingsFile().toStdString(), setup);
    Click("BtnRead");
    Click("BtnRead");
    EXPECT_TRUE(Seen.Boxes.empty());
    EXPECT_EQ(Text("EdtMag"), "19.53");
    EXPECT_TRUE(Child<QStatusBar>("StatusBar")->currentMessage().contains(notAFolder))
        << Child<QStatusBar>("StatusBar")->currentMessage().toStdString();
}

} // namespace
