#include "tools/sim/SimCommandLine.h"

#include "platform/Exception.h"
#include "tests/support/RowName.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

TEST(SimCommandLine, ReadsPortAndFaults) {
    const TSimCommandLine line = ParseSimCommandLine({"--tcp",
                                                      "10001",
                                                      "--silent",
                                                      "--empty-line",
                                                      "--no-cr",
                                                      "--non-numeric",
                                                      "--short",
                                                      "20",
                                                      "--surplus",
                                                      "junk\\r\\n",
                                                      "--leading",
                                                      "\\x00\\xFEr\\xz\\x4",
                                                      "--long-line",
                                                      "20000",
                                                      "--delay",
                                                      "1500",
                                                      "--byte-delay",
                                                      "30",
                                                      "--drop",
                                                      "--reset",
                                                      "--reports",
                                                      "3",
                                                      "--many-clients",
                                                      "--magnitude",
                                                      "19.53",
                                                      "--temperature",
                                                      "-4.5",
                                                      "--serial-number",
                                                      "1234",
                                                      "--model",
                                                      "6",
                                                      "--feature",
                                                      "80",
                                                      "--protocol",
                                                      "4"});
    EXPECT_FALSE(line.Help);
    EXPECT_EQ(line.TcpPort, 10001);
    const TMeterOptions& m = line.Meter;
    EXPECT_TRUE(m.Silent && m.EmptyLine && m.NoCR && m.NonNumeric && m.DropConnection &&
                m.ResetConnection);
    EXPECT_EQ(m.ShortReply, 20u);
    EXPECT_EQ(m.Surplus, "junk\r\n");
    // Two hexadecimal digits make a byte; anything else after \x stays as it stands.
    EXPECT_EQ(m.Leading, std::string("\x00\xFEr", 3) + "xzx4");
    EXPECT_EQ(m.LongLine, 20000u);
    EXPECT_EQ(m.ReplyDelay, 1500ms);
    EXPECT_EQ(m.ByteDelay, 30ms);
    EXPECT_EQ(m.QueuedReports, 3);
    EXPECT_FALSE(m.RefuseSecondClient);
    EXPECT_EQ(m.Magnitude, 19.53);
    EXPECT_EQ(m.Temperature, -4.5);
    EXPECT_EQ(m.SerialNumber, 1234);
    EXPECT_EQ(m.ModelNumber, 6);
    EXPECT_EQ(m.FeatureVersion, 80);
    EXPECT_EQ(m.ProtocolVersion, 4);
}

TEST(SimCommandLine, DefaultsAreAHealthyMeter) {
    const TSimCommandLine line = ParseSimCommandLine({"--tcp", "0"});
    EXPECT_EQ(line.TcpPort, 0);
    EXPECT_FALSE(line.Meter.Silent);
    EXPECT_TRUE(line.Meter.RefuseSecondClient);
    EXPECT_FALSE(line.Meter.Magnitude.has_value());
    EXPECT_TRUE(ParseSimCommandLine({"--help"}).Help);
    EXPECT_FALSE(ParseSimCommandLine({}).TcpPort.has_value());
}

TEST(SimCommandLine, ReadsThePseudoTerminalAndItsLink) {
    const TSimCommandLine line =
        ParseSimCommandLine({"--pty", "--link", "/tmp/sqm-lu", "--silent"});
    EXPECT_TRUE(line.Pty);
    EXPECT_EQ(line.LinkPath, "/tmp/sqm-lu");
    EXPECT_FALSE(line.TcpPort.has_value());
    EXPECT_TRUE(line.Meter.Silent);
    EXPECT_TRUE(ParseSimCommandLine({"--pty"}).LinkPath.empty());
}

struct BadCase {
    const char* Name;
    std::vector<std::string> Args;
    std::string Named; // in the message
};

class SimCommandLineBad : public testing::TestWithParam<BadCase> {};

TEST_P(SimCommandLineBad, NamesTheOffendingArgument) {
    try {
        ParseSimCommandLine(GetParam().Args);
        ADD_FAILURE() << "accepted";
    } catch (const Exception& e) {
        EXPECT_NE(std::string(e.what()).find(GetParam().Named), std::string::npos) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SimCommandLineBad,
    testing::Values(BadCase{"UnknownOption", {"--tcp", "1", "--bogus"}, "--bogus"},
                    BadCase{"MissingValue", {"--tcp"}, "--tcp"},
                    BadCase{"PortTooLarge", {"--tcp", "65536"}, "65536"},
                    BadCase{"PortNotANumber", {"--tcp", "10001x"}, "10001x"},
                    BadCase{"NegativeDelay", {"--delay", "-5"}, "-5"},
                    BadCase{"CommaMagnitude", {"--magnitude", "19,53"}, "19,53"},
                    BadCase{"MagnitudeTooWide", {"--magnitude", "100"}, "100"},
                    BadCase{"TemperatureTooWide", {"--temperature", "-1000"}, "-1000"},
                    BadCase{"TcpAndPty", {"--tcp", "0", "--pty"}, "--pty"},
                    BadCase{"LinkWithoutPty", {"--link", "/tmp/sqm-lu"}, "--link"},
                    BadCase{"LinkWithoutPath", {"--pty", "--link"}, "--link"}),
    RowName());

} // namespace
