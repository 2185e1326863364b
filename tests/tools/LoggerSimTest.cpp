// The simulated data logger: its command line and its flash.
#include "platform/Exception.h"
#include "tools/sim/LoggerFlash.h"
#include "tools/sim/SimCommandLine.h"

#include <gtest/gtest.h>

namespace {

TEST(LoggerSimCommandLine, MakesADataLoggerOnAPseudoTerminal) {
    const TSimCommandLine line =
        ParseSimCommandLine({"--pty", "--logger", "80", "--logger-capacity", "50", "--logger-wrap",
                             "--logger-erased", "3,17", "--logger-garbled-record", "5",
                             "--logger-garbled-once", "--logger-clock-offset", "-60"});
    ASSERT_TRUE(line.Meter.Logger);
    const TLoggerOptions& logger = *line.Meter.Logger;
    EXPECT_EQ(logger.Records, 80);
    EXPECT_EQ(logger.Capacity, 50);
    EXPECT_TRUE(logger.Wrap);
    EXPECT_EQ(logger.ErasedSlots, (std::set<std::int64_t>{3, 17}));
    EXPECT_EQ(logger.GarbledRecord, 5);
    EXPECT_TRUE(logger.GarbledOnce);
    EXPECT_EQ(logger.ClockOffsetSeconds, -60);
    EXPECT_EQ(line.Meter.ModelNumber, 6); // the data-logging meter's model
    EXPECT_EQ(ParseSimCommandLine({"--pty", "--logger", "1", "--model", "3"}).Meter.ModelNumber, 3);
    EXPECT_FALSE(ParseSimCommandLine({"--pty"}).Meter.Logger);
}

TEST(LoggerSimCommandLine, RefusesWhatCannotBe) {
    EXPECT_THROW(ParseSimCommandLine({"--tcp", "0", "--logger", "5"}), Exception);
    EXPECT_THROW(ParseSimCommandLine({"--pty", "--logger-erased", "3,x"}), Exception);
    EXPECT_THROW(ParseSimCommandLine({"--pty", "--logger", "-1"}), Exception);
}

TEST(LoggerFlash, WrappedLogKeepsTheNewestRecords) {
    TLoggerOptions options;
    options.Records = 12;
    options.Capacity = 10;
    options.Wrap = true;
    options.PeriodSeconds = 60;
    TLoggerFlash flash(options, 80);
    EXPECT_EQ(flash.Pointer(), 2);
    // Slot 2 holds the oldest record left (number 2), slot 1 the newest (number 11).
    EXPECT_EQ(flash.RecordLine(2).substr(0, 22), "L4,26-12-09 4 18:02:00");
    EXPECT_EQ(flash.RecordLine(1).substr(0, 22), "L4,26-12-09 4 18:11:00");
    options.Wrap = false;
    EXPECT_EQ(TLoggerFlash(options, 80).Pointer(), 10); // full: logging stopped
}

TEST(LoggerFlash, FirmwareDecidesPointerCapacityAndFlag) {
    TLoggerOptions options;
    options.Records = 3;
    options.BatteryRestart = 2;
    TLoggerFlash old(options, 20);
    EXPECT_EQ(old.Answer("L1x").Reply, "L1,000003\r\n");
    EXPECT_EQ(old.Answer("LZx").Reply, "");
    EXPECT_EQ(old.RecordLine(0).find(",0", 30), std::string::npos);
    TLoggerFlash current(options, 80);
    EXPECT_EQ(current.Answer("L1x").Reply, "L1,0000000003\r\n");
    EXPECT_EQ(current.Answer("LZx").Reply, "LZ,0000032768\r\n");
    EXPECT_TRUE(current.RecordLine(0).ends_with(",0")); // first after the battery
    EXPECT_TRUE(current.RecordLine(1).ends_with(",1"));
    EXPECT_TRUE(current.RecordLine(2).ends_with(",0")); // the battery connected again
    EXPECT_EQ(current.RecordLine(3), "L4,55-55-55 5 55:55:55,00.00,-873.4C,255");
    current.Answer("L2x");
    EXPECT_EQ(current.Answer("L6x").Reply, "L6,001\r\n");
    EXPECT_EQ(current.Answer("L6x").Reply, "L6,001\r\n");
    EXPECT_EQ(current.Answer("L6x").Reply, "L6,000\r\n");
    EXPECT_EQ(current.Answer("L1x").Reply, "L1,0000000000\r\n");
}

} // namespace
