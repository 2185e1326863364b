#include "core/Sqmconfig.h"

#include "core/Sqmmodelnames.h"
#include "platform/Folders.h"
#include "tests/support/RowName.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

namespace {

TSQMConfig Record(std::string name, std::string model, std::string host, int port, int timeout,
                  std::string comPort, int baudRate) {
    TSQMConfig c;
    c.Name = std::move(name);
    c.Model = std::move(model);
    c.Host = std::move(host);
    c.Port = port;
    c.Timeout = timeout;
    c.ComPort = std::move(comPort);
    c.BaudRate = baudRate;
    return c;
}

void ExpectRecord(const TSQMConfig& actual, const TSQMConfig& expected) {
    EXPECT_EQ(actual.Name, expected.Name);
    EXPECT_EQ(actual.Model, expected.Model);
    EXPECT_EQ(actual.Host, expected.Host);
    EXPECT_EQ(actual.Port, expected.Port);
    EXPECT_EQ(actual.Timeout, expected.Timeout);
    EXPECT_EQ(actual.ComPort, expected.ComPort);
    EXPECT_EQ(actual.BaudRate, expected.BaudRate);
}

TEST(SQMConfig, DefaultsAreEmptyTextsAndTheStandardNumbers) {
    ExpectRecord(TSQMConfig(), Record("", "", "", 10001, 8000, "", 115200));
}

TEST(SQMConfig, FirstRunRecordReadsAsStored) {
    const TSQMConfig c =
        Record("SQM0", "LE (Ethernet)", "192.168.1.10", 10001, 8000, "COM1", 115200);
    EXPECT_EQ(c.AsString(true),
              "\"SQM0\", \"LE (Ethernet)\", 192.168.1.10, 10001, 8000, COM1, 115200");
    EXPECT_EQ(c.AsString(false), "SQM0, LE (Ethernet), 192.168.1.10, 10001, 8000, COM1, 115200");
}

TEST(SQMConfig, EmptyFieldsAreNullUnlessQuoted) {
    const TSQMConfig c;
    EXPECT_EQ(c.AsString(false), "(null), (null), (null), 10001, 8000, (null), 115200");
    EXPECT_EQ(c.AsString(true), "\"\", \"\", (null), 10001, 8000, (null), 115200");
}

TEST(SQMConfig, QuotesInsideQuotedFieldsAreDoubled) {
    const TSQMConfig c = Record("My \"best\" SQM", "LU \"USB\"", "host", 1, 2, "COM3", 9600);
    EXPECT_EQ(c.AsString(true),
              "\"My \"\"best\"\" SQM\", \"LU \"\"USB\"\"\", host, 1, 2, COM3, 9600");
}

TEST(SQMConfig, NegativeNumbersInUnsignedPositionsWrap) {
    const TSQMConfig c = Record("a", "b", "h", -1, -1, "c", -2);
    EXPECT_EQ(c.AsString(false), "a, b, h, -1, 4294967295, c, 4294967294");
}

struct RoundTrip {
    std::string Name;
    TSQMConfig Record;
};

class SQMConfigRoundTrip : public testing::TestWithParam<RoundTrip> {};

TEST_P(SQMConfigRoundTrip, QuotedTextReadsBackUnchanged) {
    const TSQMConfig& original = GetParam().Record;
    ExpectRecord(TSQMConfig(original.AsString(true)), original);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SQMConfigRoundTrip,
    testing::Values(
        RoundTrip{"FirstRun",
                  Record("SQM0", "LE (Ethernet)", "192.168.1.10", 10001, 8000, "COM1", 115200)},
        RoundTrip{"Serial",
                  Record("SQM0", "LU-DL (USB)", "sqm.example.org", 1, 30000, "COM16", 9600)},
        RoundTrip{"QuoteInModel", Record("SQM0", "LU \"USB\"", "h", 10001, 8000, "COM1", 115200)},
        RoundTrip{"CommaInModel", Record("SQM0", "LE, Ethernet", "h", 10001, 8000, "COM1", 115200)},
        RoundTrip{"EmptyNameAndModel", Record("", "", "h", 10001, 8000, "COM1", 115200)},
        RoundTrip{"DevicePath",
                  Record("SQM0", "LU (USB)", "h", 10001, 8000, "/dev/ttyUSB0", 115200)},
        RoundTrip{"NegativePort", Record("SQM0", "LE (Ethernet)", "h", -5, 8000, "COM1", 115200)}),
    RowName());

TEST(SQMConfig, AnEmptyHostComesBackAsNull) {
    TSQMConfig original = Record("SQM0", "LE (Ethernet)", "", 10001, 8000, "COM1", 115200);
    EXPECT_EQ(TSQMConfig(original.AsString(true)).Host, "(null)");
}

TEST(SQMConfig, AWrappedTimeoutDoesNotReadBack) {
    // 4294967295 is no 32-bit signed integer: the default stays.
    TSQMConfig original = Record("SQM0", "LE (Ethernet)", "h", 10001, -1, "COM1", 115200);
    EXPECT_EQ(TSQMConfig(original.AsString(true)).Timeout, 8000);
}

struct ParseCase {
    std::string Name;
    std::string Text;
    TSQMConfig Expected;
};

class SQMConfigText : public testing::TestWithParam<ParseCase> {};

TEST_P(SQMConfigText, SplitsLikeALenientDelimitedList) {
    ExpectRecord(TSQMConfig(GetParam().Text), GetParam().Expected);
}

const TSQMConfig Defaults;

INSTANTIATE_TEST_SUITE_P(
    Cases, SQMConfigText,
    testing::Values(
        ParseCase{"Unquoted", "SQM0, LE, 10.0.0.1, 10002, 9000, COM2, 9600",
                  Record("SQM0", "LE", "10.0.0.1", 10002, 9000, "COM2", 9600)},
        ParseCase{"NoBlanks", "a,b,h,1,2,c,3", Record("a", "b", "h", 1, 2, "c", 3)},
        ParseCase{"QuotedKeepBlanks", "\"My SQM\", \"LE (Ethernet)\", h, 1, 2, c, 3",
                  Record("My SQM", "LE (Ethernet)", "h", 1, 2, "c", 3)},
        ParseCase{"UnquotedModelSplitsAtBlank", "SQM0, LE (Ethernet), h, 1, 2, c, 3",
                  Record("SQM0", "LE", "(Ethernet)", Defaults.Port, 1, "2", Defaults.BaudRate)},
        ParseCase{"DoubledQuotes", "\"a\"\"b\", \"\"\"c\"\"\", h",
                  Record("a\"b", "c", "h", 10001, 8000, "", 115200)},
        ParseCase{"EmptyQuoted", "\"\", \"\", h", Record("", "", "h", 10001, 8000, "", 115200)},
        ParseCase{"BlankInHostShiftsFields", "n, m, my host, 1, 2, COM1, 3",
                  Record("n", "m", "my", Defaults.Port, 1, "2", Defaults.BaudRate)},
        ParseCase{"TabInHostShiftsFields", "n, m, my\thost, 1, 2, COM1, 3",
                  Record("n", "m", "my", Defaults.Port, 1, "2", Defaults.BaudRate)},
        ParseCase{"TrailingCommaAddsEmptyItem", "n, m, h, 1, 2, COM1,",
                  Record("n", "m", "h", 1, 2, "COM1", 115200)},
        ParseCase{"TrailingCommaGivesEmptyPort", "n, m, h,",
                  Record("n", "m", "h", 10001, 8000, "", 115200)},
        ParseCase{"TrailingCommaThenBlank", "n, m, h, ",
                  Record("n", "m", "h", 10001, 8000, "", 115200)},
        ParseCase{"EmptyItems", "n,,,5", Record("n", "", "", 5, 8000, "", 115200)},
        ParseCase{"BlanksAroundCommas", "  n ,\t m  ,h ,1 , 2,c,3  ",
                  Record("n", "m", "h", 1, 2, "c", 3)},
        ParseCase{"MissingNumbers", "n, m, h", Record("n", "m", "h", 10001, 8000, "", 115200)},
        ParseCase{"NonNumericNumbers", "n, m, h, abc, 8s, c, 1e5",
                  Record("n", "m", "h", 10001, 8000, "c", 115200)},
        ParseCase{"NumbersOutOfRange", "n, m, h, 2147483648, -2147483648, c, 99999999999",
                  Record("n", "m", "h", 10001, INT32_MIN, "c", 115200)},
        ParseCase{"SignedNumbers", "n, m, h, +80, -1, c, 0", Record("n", "m", "h", 80, -1, "c", 0)},
        ParseCase{"QuotedNumberWithLeadingBlank", "n, m, h, \" 80\"",
                  Record("n", "m", "h", 80, 8000, "", 115200)},
        ParseCase{"HexadecimalIsNotANumber", "n, m, h, 0x10",
                  Record("n", "m", "h", 10001, 8000, "", 115200)},
        ParseCase{"QuoteRunsToTheEnd", "\"n, m, h",
                  Record("n, m, h", "", "", 10001, 8000, "", 115200)},
        ParseCase{"TextAfterClosingQuoteIsAnItem", "\"n\"x, m",
                  Record("n", "x", "m", 10001, 8000, "", 115200)},
        ParseCase{"FurtherItemsIgnored", "a,b,h,1,2,c,3,extra,more",
                  Record("a", "b", "h", 1, 2, "c", 3)},
        ParseCase{"Empty", "", Record("", "", "", 10001, 8000, "", 115200)},
        ParseCase{"OnlyBlanks", " \t\r\n", Record("", "", "", 10001, 8000, "", 115200)},
        ParseCase{"LineBreaksSeparate", "n\r\nm", Record("n", "m", "", 10001, 8000, "", 115200)}),
    RowName());

TEST(SQMConfig, SettingsFileLivesInTheConfigurationFolder) {
    TTempFolder home;
    const TScopedEnv config("XDG_CONFIG_HOME", home.GetPath().c_str());
    EXPECT_EQ(SettingsFolder(), home.GetPath() + "/Corvatek/Nightlux/3.0");
    EXPECT_EQ(SettingsFileName(), home.GetPath() + "/Corvatek/Nightlux/3.0/nightlux.ini");
    EXPECT_FALSE(DirectoryExists(home.GetPath() + "/Corvatek")) << "nothing is created";
}

TEST(SQMConfig, AnAccountHomeThatIsTheRootOrMissingGivesNoSettingsFolder) {
    TTempFolder home;
    const struct {
        std::string Home, Usable;
    } cases[] = {{"/", ""},
                 {"//", ""},
                 {"", ""},
                 {home.File("missing"), ""},
                 {home.GetPath(), home.GetPath()}};
    for (const auto& c : cases)
        EXPECT_EQ(UsableAccountHome(c.Home), c.Usable) << c.Home;

    // Without HOME and XDG_CONFIG_HOME the account's home is used, never "/.config".
    const TScopedEnv config("XDG_CONFIG_HOME", "");
    const TScopedEnv unsetHome("HOME", "");
    EXPECT_FALSE(SettingsFolder().starts_with("/.config")) << SettingsFolder();
}

TEST(ModelNames, AreTheFourModelsInOrder) {
    EXPECT_EQ(ModelNames(), (std::vector<std::string>{"LE (Ethernet)", "LR (RS-232)", "LU (USB)",
                                                      "LU-DL (USB)"}));
}

} // namespace
