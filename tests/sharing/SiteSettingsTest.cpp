#include "astro/Site.h"
#include "platform/IniFile.h"
#include "sharing/MqttCredentials.h"
#include "sharing/SharingSettings.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempFolder.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST(Site, PositionsAreRead) {
    struct TCase {
        std::string Text;
        TPosition Expected;
    };
    const TCase cases[] = {
        {"52.2533,-8.3605,80", {52.2533, -8.3605, 80.0}},
        {" -33.9 , 18.4 ", {-33.9, 18.4, std::nullopt}},
        {"90,180,-430", {90, 180, -430.0}},
        {"-90,-180", {-90, -180, std::nullopt}},
    };
    for (const TCase& c : cases) {
        const TPosition p = ParsePosition(c.Text);
        EXPECT_EQ(p.Latitude, c.Expected.Latitude) << c.Text;
        EXPECT_EQ(p.Longitude, c.Expected.Longitude) << c.Text;
        EXPECT_EQ(p.Elevation, c.Expected.Elevation) << c.Text;
    }
}

TEST(Site, ImpossiblePositionsAreRefusedWithTheReason) {
    struct TCase {
        std::string Text;
        std::string Error;
    };
    const TCase cases[] = {
        {"", "The position is empty"},
        {"52.25", "is not LAT,LON or LAT,LON,ELEV"},
        {"1,2,3,4", "is not LAT,LON or LAT,LON,ELEV"},
        {"52;8", "is not LAT,LON"},
        {"north,8", "the latitude \"north\" is not a number"},
        {"52,", "the longitude \"\" is not a number"},
        {"52,8,high", "the elevation \"high\" is not a number"},
        {"52.5.1,8", "the latitude \"52.5.1\" is not a number"},
        {"90.5,8", "The latitude 90.5 is outside -90 to 90 degrees"},
        {"52,-181", "The longitude -181 is outside -180 to 180 degrees"},
        {"52,8,10500", "The elevation 10500 is outside -500 to 10000 metres"},
        {"1e999,8", "is not a number"},
    };
    for (const TCase& c : cases) {
        try {
            ParsePosition(c.Text);
            ADD_FAILURE() << c.Text << " accepted";
        } catch (const ESiteError& e) {
            EXPECT_NE(std::string(e.what()).find(c.Error), std::string::npos) << e.what();
        }
    }
}

TEST(Site, NamesAreTrimmedAndMustBePrintable) {
    EXPECT_EQ(ParseSiteName("  Dark Site "), "Dark Site");
    EXPECT_THROW(ParseSiteName("   "), ESiteError);
    EXPECT_THROW(ParseSiteName("Dark\nSite"), ESiteError);
}

TEST(Site, KeptInASectionOfItsOwnBesideTheMeterSettings) {
    TTempFolder folder;
    const std::string name = folder.File("nightlux.ini");
    const std::string sqm = "[SQM]\r\nConfig-1=x, LE (Ethernet), 10.0.0.5, 10001, 8000, COM1, "
                            "115200\r\nTimer=15\r\n";
    WriteBytes(name, sqm);
    TIniFile ini(name);
    EXPECT_FALSE(ReadSite(ini).Position) << "nothing saved yet";

    WriteSite(ini, {"Dark Site", TPosition{52.2533, -8.3605, 80.0}});
    const TSite site = ReadSite(ini);
    EXPECT_EQ(site.Name, "Dark Site");
    ASSERT_TRUE(site.Position);
    EXPECT_EQ(site.Position->Latitude, 52.2533);
    EXPECT_EQ(site.Position->Longitude, -8.3605);
    EXPECT_EQ(site.Position->Elevation, 80.0);
    EXPECT_EQ(ReadBytes(name).substr(0, sqm.size()), sqm);
    EXPECT_NE(ReadBytes(name).find("[Site]\r\nName=Dark Site\r\nLatitude=52.2533\r\n"
                                   "Longitude=-8.3605\r\nElevation=80\r\n"),
              std::string::npos);

    WriteSite(ini, {"", TPosition{-33.9, 18.4, std::nullopt}});
    EXPECT_FALSE(ReadSite(ini).Position->Elevation);
    EXPECT_THROW(WriteSite(ini, {"", TPosition{91, 0, std::nullopt}}), ESiteError);
    EXPECT_EQ(ReadSite(ini).Position->Latitude, -33.9) << "a refused site is not written";
}

TEST(Site, ImpossibleSavedValuesNameTheSettingsFile) {
    TTempFolder folder;
    const std::string name = folder.File("nightlux.ini");
    for (const char* section : {"Latitude=95\nLongitude=8\n", "Latitude=52\n",
                                "Latitude=52\nLongitude=east\n", "Elevation=80\n"}) {
        WriteBytes(name, std::string("[Site]\n") + section);
        try {
            ReadSite(TIniFile(name));
            ADD_FAILURE() << section;
        } catch (const ESiteError& e) {
            EXPECT_NE(std::string(e.what()).find("settings file " + name), std::string::npos)
                << e.what();
        }
    }
}

TEST(SharingSettings, SkyglowAndMqttSettingsReadBackAsWritten) {
    TTempFolder folder;
    TIniFile ini(folder.File("nightlux.ini"));
    EXPECT_EQ(ReadMqttSettings(ini).Port, 1883);
    EXPECT_EQ(ReadSkyglowSettings(ini).CoverOffset, 0.0);

    TSkyglowSettings sky;
    sky.Folder = "/srv/skyglow";
    sky.InstrumentId = "Roof east";
    sky.DataSupplier = "Example Astronomy Club";
    sky.License = "ODbL 1.0";
    sky.Comments = {"one", "", "three", "", "five"};
    sky.CoverOffset = -0.11;
    sky.TimeSynchronization = "NTP";
    sky.TimeZone = "Europe/Dublin";
    WriteSkyglowSettings(ini, sky);
    const TSkyglowSettings readSky = ReadSkyglowSettings(ini);
    EXPECT_EQ(readSky.Folder, sky.Folder);
    EXPECT_EQ(readSky.InstrumentId, sky.InstrumentId);
    EXPECT_EQ(readSky.DataSupplier, sky.DataSupplier);
    EXPECT_EQ(readSky.License, sky.License);
    EXPECT_EQ(readSky.Comments, sky.Comments);
    EXPECT_EQ(readSky.CoverOffset, sky.CoverOffset);
    EXPECT_EQ(readSky.TimeSynchronization, sky.TimeSynchronization);
    EXPECT_EQ(readSky.TimeZone, sky.TimeZone);

    TMqttSettings mqtt{"broker.example", 8883, "station/roof", "/etc/nightlux/mqtt",
                       "/etc/ssl/ca.pem"};
    WriteMqttSettings(ini, mqtt);
    const TMqttSettings readMqtt = ReadMqttSettings(ini);
    EXPECT_EQ(readMqtt.Host, mqtt.Host);
    EXPECT_EQ(readMqtt.Port, mqtt.Port);
    EXPECT_EQ(readMqtt.TopicPrefix, mqtt.TopicPrefix);
    EXPECT_EQ(readMqtt.CredentialsFile, mqtt.CredentialsFile);
    EXPECT_EQ(readMqtt.CaFile, mqtt.CaFile);

    ini.WriteString("MQTT", "Port", "70000");
    EXPECT_THROW(ReadMqttSettings(ini), ESharingSettingsError);
    ini.WriteString("Skyglow", "CoverOffset", "-0,11");
    EXPECT_THROW(ReadSkyglowSettings(ini), ESharingSettingsError);
}

TEST(SharingSettings, BrokerAddresses) {
    struct TCase {
        std::string Text;
        std::string Host; // empty: refused
        int Port;
    };
    const TCase cases[] = {
        {"broker.example", "broker.example", 1883},
        {"127.0.0.1:1884", "127.0.0.1", 1884},
        {"[::1]:8883", "::1", 8883},
        {"[::1]", "::1", 1883},
        {"", "", 0},
        {":1884", "", 0},
        {"host:", "", 0},
        {"host:0", "", 0},
        {"host:65536", "", 0},
        {"host:12ab", "", 0},
        {"::1", "", 0},
        {"[::1", "", 0},
    };
    for (const TCase& c : cases) {
        TMqttSettings s;
        if (c.Host.empty()) {
            EXPECT_THROW(ParseMqttAddress(c.Text, s), ESharingSettingsError) << c.Text;
            continue;
        }
        ParseMqttAddress(c.Text, s);
        EXPECT_EQ(s.Host, c.Host) << c.Text;
        EXPECT_EQ(s.Port, c.Port) << c.Text;
    }
}

// A credentials file as the user makes one: private to its owner.
void WritePrivate(const std::string& name, const std::string& bytes) {
    WriteBytes(name, bytes);
    ASSERT_EQ(::chmod(name.c_str(), 0600), 0);
}

TEST(MqttCredentials, FromAFileOrTheEnvironment) {
    TTempFolder folder;
    const std::string name = folder.File("mqtt");
    WritePrivate(name, "# station\r\nusername=sky\r\n\r\npassword= s3cret =\r\n");
    const TMqttCredentials c = ReadMqttCredentials(name);
    EXPECT_EQ(c.Username, "sky");
    EXPECT_EQ(c.Password, " s3cret =");

    for (const char* bad : {"user=sky\n", "username=a\nusername=b\n", "password=x\n"}) {
        WritePrivate(name, bad);
        EXPECT_THROW(ReadMqttCredentials(name), EMqttError) << bad;
    }
    EXPECT_THROW(ReadMqttCredentials(folder.File("missing")), EMqttError);

    TScopedEnv user("NIGHTLUX_MQTT_USERNAME", "env-user");
    TScopedEnv password("NIGHTLUX_MQTT_PASSWORD", "env-secret");
    const TMqttCredentials fromEnv = ResolveMqttCredentials("");
    EXPECT_EQ(fromEnv.Username, "env-user");
    EXPECT_EQ(fromEnv.Password, "env-secret");
}

std::string CredentialsError(const std::string& name) {
    try {
        ReadMqttCredentials(name);
    } catch (const EMqttError& e) {
        return e.what();
    }
    return "(accepted)";
}

// Only the owner may read the file, as ssh asks of a key: the message gives the chmod.
TEST(MqttCredentials, AFileOthersMayReadIsRefused) {
    TTempFolder folder;
    const std::string name = folder.File("mqtt");
    WritePrivate(name, "username=sky\npassword=s3cret\n");
    for (const mode_t mode : {0644, 0666, 0640, 0604, 0440}) {
        ASSERT_EQ(::chmod(name.c_str(), mode), 0);
        char octal[8];
        std::snprintf(octal, sizeof octal, "%04o", static_cast<unsigned>(mode));
        EXPECT_EQ(CredentialsError(name), "The MQTT credentials file " + name +
                                              " can be read by other users (its mode is " + octal +
                                              "); it holds a password, so it is not used. "
                                              "Make it private with: chmod 600 " +
                                              name);
    }
    for (const mode_t mode : {0600, 0400, 0700, 0622}) {
        ASSERT_EQ(::chmod(name.c_str(), mode), 0);
        EXPECT_EQ(ReadMqttCredentials(name).Username, "sky") << std::oct << mode;
    }
}

// Whatever keeps the file from being read is named; nothing is taken as "no credentials".
TEST(MqttCredentials, EveryFailureToReadIsNamed) {
    TTempFolder folder;
    const std::string fifo = folder.File("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string large = folder.File("large");
    WritePrivate(large, "username=sky\n" + std::string(MqttCredentialsSizeLimit, '#') + "\n");
    const std::string dangling = folder.File("dangling");
    ASSERT_EQ(::symlink(folder.File("nowhere").c_str(), dangling.c_str()), 0);
    const struct {
        std::string Name;
        std::string Reason;
    } cases[] = {
        {"/dev/zero", "it is not a regular file"},
        {fifo, "it is not a regular file"},
        {folder.GetPath(), "it is a folder"},
        {large, "it is larger than 64 KiB, which no credentials file is"},
        {folder.File("missing"), "No such file or directory"},
        {dangling, "No such file or directory"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CredentialsError(c.Name),
                  "Could not read the MQTT credentials file " + c.Name + ": " + c.Reason);
}

TEST(SharingSettings, CoverOffsets) {
    EXPECT_EQ(ParseCoverOffset("-0.11"), -0.11);
    EXPECT_EQ(ParseCoverOffset(" 0 "), 0.0);
    for (const char* bad : {"", "-0,11", "6", "x"})
        EXPECT_THROW(ParseCoverOffset(bad), ESharingSettingsError) << bad;
}

} // namespace
