// The command line of nightlux-read and the connection it makes of the saved record.

#include "headless/HeadlessOptions.h"

#include "core/EntryChecks.h"
#include "core/Sqmconfig.h"
#include "headless/HeadlessReader.h"
#include "tests/support/RowName.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

TEST(HeadlessOptions, NoArgumentsLeaveEverythingToTheSavedRecord) {
    const THeadlessOptions options = ParseHeadlessOptions({});
    EXPECT_FALSE(options.Help || options.Csv);
    EXPECT_FALSE(options.ModelIndex || options.Host || options.Port || options.Timeout ||
                 options.ComPort || options.Period || options.Count || options.FileName);
}

TEST(HeadlessOptions, EveryOptionIsTakenWithItsValueNextOrAfterAnEqualsSign) {
    const THeadlessOptions options = ParseHeadlessOptions(
        {"--model", "lu-dl", "--host=meter.local", "--port", "10002", "--timeout=5", "--serial",
         "/dev/ttyUSB0", "--every", "15", "--count", "4", "--file", "a=b.csv", "--csv"});
    EXPECT_EQ(options.ModelIndex, 3);
    EXPECT_EQ(options.Host, "meter.local");
    EXPECT_EQ(options.Port, "10002");
    EXPECT_EQ(options.Timeout, "5");
    EXPECT_EQ(options.ComPort, "/dev/ttyUSB0");
    EXPECT_EQ(options.Period, 15min);
    EXPECT_EQ(options.Count, 4);
    EXPECT_EQ(options.FileName, "a=b.csv");
    EXPECT_TRUE(options.Csv);
    EXPECT_EQ(ParseHeadlessOptions({"--every-seconds", "2"}).Period, 2s);
    EXPECT_TRUE(ParseHeadlessOptions({"-h"}).Help);
}

TEST(HeadlessOptions, SharingAndSiteOptionsOverrideTheSavedSettings) {
    const THeadlessOptions options =
        ParseHeadlessOptions({"--skyglow", "/srv/sky", "--mqtt", "[::1]:1884", "--mqtt-prefix",
                              "obs/roof", "--mqtt-credentials=/etc/nightlux/mqtt", "--mqtt-ca",
                              "ca.pem", "--position", "52.25, -7.11, 30", "--site", " Roof "});
    TSharingSetup setup;
    setup.Skyglow.Folder = "/saved";
    setup.Mqtt.Host = "saved";
    setup.Mqtt.Port = 1999;
    setup.Mqtt.TopicPrefix = "saved";
    ApplySharingOptions(options, setup);
    EXPECT_EQ(setup.Skyglow.Folder, "/srv/sky");
    EXPECT_EQ(setup.Mqtt.Host, "::1");
    EXPECT_EQ(setup.Mqtt.Port, 1884);
    EXPECT_EQ(setup.Mqtt.TopicPrefix, "obs/roof");
    EXPECT_EQ(setup.Mqtt.CredentialsFile, "/etc/nightlux/mqtt");
    EXPECT_EQ(setup.Mqtt.CaFile, "ca.pem");
    ASSERT_TRUE(options.Position);
    EXPECT_EQ(options.Position->Latitude, 52.25);
    EXPECT_EQ(options.Position->Longitude, -7.11);
    EXPECT_EQ(options.Position->Elevation, 30.0);
    EXPECT_EQ(options.SiteName, "Roof");

    // A broker named without a port gets the usual one, not the saved one.
    ApplySharingOptions(ParseHeadlessOptions({"--mqtt", "other"}), setup);
    EXPECT_EQ(setup.Mqtt.Port, TMqttSettings::DefaultPort);
}

TEST(HeadlessOptions, EphemerisTakesAnOptionalDate) {
    using namespace std::chrono;
    const THeadlessOptions bare = ParseHeadlessOptions({"--ephemeris", "--position", "1,2"});
    EXPECT_TRUE(bare.Ephemeris);
    EXPECT_FALSE(bare.EphemerisDate);
    EXPECT_EQ(ParseHeadlessOptions({"--ephemeris", "2026-12-09"}).EphemerisDate,
              year(2026) / December / 9);
    EXPECT_EQ(ParseHeadlessOptions({"--ephemeris=2100-12-31"}).EphemerisDate,
              year(2100) / December / 31);
}

TEST(HeadlessOptions, ModelsByShortNameOrListText) {
    EXPECT_EQ(ModelIndexOf("LE"), 0);
    EXPECT_EQ(ModelIndexOf("lr"), 1);
    EXPECT_EQ(ModelIndexOf("LU (USB)"), 2);
    EXPECT_EQ(ModelIndexOf("LU-DL"), 3);
    EXPECT_EQ(ModelIndexOf("LU-DL (USB) "), std::nullopt);
    EXPECT_EQ(ModelIndexOf(""), std::nullopt);
}

struct TRefusedRow {
    std::string Name;
    std::vector<std::string> Args;
    std::string Message;
};

// Names the row in test listings.
void PrintTo(const TRefusedRow& row, std::ostream* out) {
    *out << row.Name;
}

class HeadlessOptionsRefused : public testing::TestWithParam<TRefusedRow> {};

TEST_P(HeadlessOptionsRefused, WithAMessageSayingWhy) {
    try {
        ParseHeadlessOptions(GetParam().Args);
        FAIL() << "accepted";
    } catch (const EUsageError& e) {
        EXPECT_STREQ(e.what(), GetParam().Message.c_str());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, HeadlessOptionsRefused,
    testing::Values(
        TRefusedRow{"Unknown", {"--colour"}, "Unknown option '--colour'."},
        TRefusedRow{"SingleDash", {"-port", "1"}, "Unknown option '-port'."},
        TRefusedRow{"MissingValue", {"--host"}, "Option --host needs a value."},
        TRefusedRow{"ValueOnAFlag", {"--csv=yes"}, "Option --csv takes no value."},
        TRefusedRow{"UnknownModel",
                    {"--model", "SQM-LE"},
                    "Unknown model 'SQM-LE': give LE, LR, LU or LU-DL."},
        TRefusedRow{
            "PeriodZero", {"--every", "0"}, "Minutes must be between 1 and 60 inclusively."},
        TRefusedRow{"PeriodNotANumber",
                    {"--every", "ten"},
                    "Minutes must be between 1 and 60 inclusively."},
        TRefusedRow{"TestPeriodAboveRange",
                    {"--every-seconds", "3601"},
                    "Seconds must be between 1 and 3600 inclusively."},
        TRefusedRow{"CountZero",
                    {"--every", "1", "--count", "0"},
                    "Count must be a whole number of at least 1."},
        TRefusedRow{"CountWithoutPeriod", {"--count", "2"}, "Option --count needs --every."},
        TRefusedRow{"PositionWithoutLongitude",
                    {"--position", "52.25"},
                    "The position \"52.25\" is not LAT,LON or LAT,LON,ELEV (degrees north, "
                    "degrees east, metres)."},
        TRefusedRow{"LatitudeBeyondThePole",
                    {"--position=91,0"},
                    "The latitude 91 is outside -90 to 90 degrees."},
        TRefusedRow{"BlankSiteName", {"--site", "  "}, "The site name is empty."},
        TRefusedRow{"BrokerWithoutHost",
                    {"--mqtt", ":1883"},
                    "The MQTT broker \":1883\" has no host name."},
        TRefusedRow{"BrokerPortOutOfRange",
                    {"--mqtt", "broker:70000"},
                    "The MQTT port \"70000\" is not a number from 1 to 65535."},
        TRefusedRow{"EmptySkyglowFolder",
                    {"--skyglow="},
                    "Option --skyglow needs a value that is not empty."},
        TRefusedRow{"WildcardInPrefix",
                    {"--mqtt-prefix", "sky/#"},
                    "The topic prefix 'sky/#' holds a wildcard (+ or #)."},
        TRefusedRow{"NoSuchDate",
                    {"--ephemeris", "2026-02-30"},
                    "The date '2026-02-30' is not a date from 1900-01-01 to 2100-12-31 written "
                    "YYYY-MM-DD."},
        TRefusedRow{"DateInAnotherForm",
                    {"--ephemeris=09/12/2026"},
                    "The date '09/12/2026' is not a date from 1900-01-01 to 2100-12-31 written "
                    "YYYY-MM-DD."},
        TRefusedRow{"EphemerisWithReadings",
                    {"--ephemeris", "--every", "5"},
                    "Option --ephemeris reads no meter: it takes only --position and --site."}),
    RowName());

// The window's entry checks, as the command line meets them.
struct TEntryRow {
    std::string Name;
    std::string Host, Port, Timeout;
    std::string Message; // empty: accepted
    int TimeoutMs = 0;
};

// Names the row in test listings.
void PrintTo(const TEntryRow& row, std::ostream* out) {
    *out << row.Name;
}

class EthernetEntryChecks : public testing::TestWithParam<TEntryRow> {};

TEST_P(EthernetEntryChecks, GiveTheWindowsMessageOrTheEntries) {
    const TEntryRow& row = GetParam();
    TEthernetEntries entries;
    EXPECT_EQ(CheckEthernetEntries(row.Host, row.Port, row.Timeout, entries), row.Message);
    if (row.Message.empty()) {
        EXPECT_EQ(entries.Host, row.Host);
        EXPECT_EQ(entries.Port, std::stoi(row.Port));
        EXPECT_EQ(entries.TimeoutMs, row.TimeoutMs);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, EthernetEntryChecks,
    testing::Values(TEntryRow{"Usual", "192.168.1.10", "10001", "8", "", 8000},
                    TEntryRow{"BlankHostIsNotTrimmed", " ", "10001", "8", "", 8000},
                    TEntryRow{"EmptyHost", "", "10001", "8", BlankAddressMessage},
                    TEntryRow{"NullHost", "(null)", "10001", "8", BlankAddressMessage},
                    TEntryRow{"HostBeforePort", "", "0", "0", BlankAddressMessage},
                    TEntryRow{"PortZero", "h", "0", "8", PortRangeMessage},
                    TEntryRow{"PortHighest", "h", "65535", "30", "", 30000},
                    TEntryRow{"PortAboveRange", "h", "65536", "8", PortRangeMessage},
                    TEntryRow{"PortNotANumber", "h", "abc", "8", PortRangeMessage},
                    TEntryRow{"PortBeyond32Bits", "h", "4294967295", "8", PortRangeMessage},
                    TEntryRow{"PortAfterBlanks", "h", "  10001", "8", "", 8000},
                    TEntryRow{"PortBeforeBlank", "h", "10001 ", "8", PortRangeMessage},
                    TEntryRow{"PortWithSign", "h", "+10001", "8", "", 8000},
                    TEntryRow{"PortInHexadecimal", "h", "0x2711", "8", PortRangeMessage},
                    TEntryRow{"TimeoutBeforeTab", "h", "1", "8\t", TimeoutRangeMessage},
                    TEntryRow{"TimeoutZero", "h", "1", "0", TimeoutRangeMessage},
                    TEntryRow{"TimeoutLowest", "h", "1", "1", "", 1000},
                    TEntryRow{"TimeoutAboveRange", "h", "1", "31", TimeoutRangeMessage},
                    TEntryRow{"TimeoutNotANumber", "h", "1", "x", TimeoutRangeMessage},
                    TEntryRow{"TimeoutOtherDigits", "h", "1", "\u0668", TimeoutRangeMessage},
                    TEntryRow{"TimeoutThatOverflowsInMilliseconds", "h", "1", "2147484",
                              TimeoutRangeMessage}),
    RowName());

TEST(ConnectionEntriesFromRecord, FirstRunDefaultsAreTheWindowsEntries) {
    const TConnectionEntries connection = ConnectionEntriesFromRecord(TSQMConfig());
    EXPECT_EQ(connection.ModelIndex, 0);
    EXPECT_EQ(connection.Host, "");
    EXPECT_EQ(connection.Port, "10001");
    EXPECT_EQ(connection.Timeout, "8");
    EXPECT_EQ(connection.ComPort, "COM1");
    EXPECT_EQ(connection.BaudRate, 115200);
}

TEST(ConnectionEntriesFromRecord, ReadsTheRecordAsTheWindowLoadsIt) {
    const TConnectionEntries connection = ConnectionEntriesFromRecord(
        TSQMConfig("\"SQM0\", \"lu (usb)\", (null), -1, 8500, com3, 57600"));
    EXPECT_EQ(connection.ModelIndex, 2);
    EXPECT_EQ(connection.Host, "(null)");
    EXPECT_EQ(connection.Port, "4294967295"); // unsigned, as the window writes it
    EXPECT_EQ(connection.Timeout, "8");       // whole seconds
    EXPECT_EQ(connection.ComPort, "COM3");
    EXPECT_EQ(connection.BaudRate, 57600);

    EXPECT_EQ(ConnectionEntriesFromRecord(TSQMConfig("\"SQM0\", \"Windows\"")).ModelIndex, 0);
    EXPECT_EQ(ConnectionEntriesFromRecord(TSQMConfig("a, b, c, 1, 1, /dev/ttyUSB0")).ComPort,
              "/dev/ttyUSB0");
    EXPECT_EQ(ConnectionEntriesFromRecord(TSQMConfig("a, b, c, 1, 500")).Timeout, "0");
}

TEST(ApplyOptions, OverrideTheRecord) {
    TConnectionEntries connection = ConnectionEntriesFromRecord(TSQMConfig());
    ApplyOptions(ParseHeadlessOptions({"--host", "h", "--port", "1", "--timeout", "2"}),
                 connection);
    EXPECT_EQ(connection.Host, "h");
    EXPECT_EQ(connection.Port, "1");
    EXPECT_EQ(connection.Timeout, "2");

    ApplyOptions(ParseHeadlessOptions({"--model", "LR", "--serial", "/dev/ttyS4"}), connection);
    EXPECT_EQ(connection.ModelIndex, 1);
    EXPECT_EQ(connection.ComPort, "/dev/ttyS4");
}

TEST(ApplyOptions, RefuseOptionsOfTheOtherKindOfMeter) {
    TConnectionEntries serial = ConnectionEntriesFromRecord(TSQMConfig("\"SQM0\", \"LU (USB)\""));
    try {
        ApplyOptions(ParseHeadlessOptions({"--port", "10001"}), serial);
        FAIL() << "accepted";
    } catch (const EUsageError& e) {
        EXPECT_STREQ(e.what(),
                     "Option --port does not apply to the model LU (USB); give --model LE.");
    }
    TConnectionEntries ethernet = ConnectionEntriesFromRecord(TSQMConfig());
    EXPECT_THROW(ApplyOptions(ParseHeadlessOptions({"--serial", "COM1"}), ethernet), EUsageError);
    // Naming the model makes the options apply.
    ApplyOptions(ParseHeadlessOptions({"--model", "LE", "--port", "2"}), serial);
    EXPECT_EQ(serial.Port, "2");
}

} // namespace
