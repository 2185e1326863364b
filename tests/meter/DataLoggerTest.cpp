// The data-logging meter's commands: each reply's layout on its own, then the commands
// against the simulated SQM-LU-DL on a pseudo-terminal.

#include "meter/DataLogger.h"

#include "meter/Dm_SQMLUR.h"
#include "tests/support/RowName.h"
#include "tools/sim/PtyMeter.h"

#include <chrono>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

TDateTime At(int year, int month, int day, int hour, int minute, int second) {
    return EncodeDateTime(year, month, day, hour, minute, second, 0);
}

TEST(LoggerReplies, PointerHasTenDigitsOrSixOnOldFirmware) {
    EXPECT_EQ(ParsePointerReply("L1,0000001234"), 1234);
    EXPECT_EQ(ParsePointerReply("L1,001234"), 1234);
    EXPECT_EQ(ParseCapacityReply("LZ,0001048576"), 1048576);
}

TEST(LoggerReplies, RecordFieldsAreTakenByPosition) {
    const auto plain = ParseRecordReply("L4,11-01-06 5 11:51:00,10.44, 023.8C,234,1");
    ASSERT_TRUE(plain);
    EXPECT_EQ(double(plain->Time), double(At(2011, 1, 6, 11, 51, 0)));
    EXPECT_DOUBLE_EQ(plain->Magnitude, 10.44);
    EXPECT_DOUBLE_EQ(plain->Temperature, 23.8);
    EXPECT_EQ(plain->BatteryAdc, 234);
    EXPECT_EQ(plain->Flag, 1);

    // Later firmware: a snow flag and linear values after the flag.
    const auto extra =
        ParseRecordReply("L4,26-12-09 4 21:00:00,19.53,-002.5C,238,0,1,0000012.34,0.0042");
    ASSERT_TRUE(extra);
    EXPECT_DOUBLE_EQ(extra->Magnitude, 19.53);
    EXPECT_DOUBLE_EQ(extra->Temperature, -2.5);
    EXPECT_EQ(extra->Flag, 0);

    // A vibration model's fields stand where the flag would: no flag is made up.
    const auto vibration =
        ParseRecordReply("L4,26-12-09 4 21:00:00,19.53, 002.5C,238,-0.012,0.998,0.031,1");
    ASSERT_TRUE(vibration);
    EXPECT_FALSE(vibration->Flag);

    // Before feature 49 there is no flag at all.
    const auto old = ParseRecordReply("L4,26-12-09 4 21:00:00,19.53, 002.5C,238");
    ASSERT_TRUE(old);
    EXPECT_FALSE(old->Flag);

    // An uncalibrated meter's reading carries a leading "-".
    const auto uncalibrated = ParseRecordReply("L4,26-12-09 4 21:00:00,-5.47, 002.5C,238,1");
    ASSERT_TRUE(uncalibrated);
    EXPECT_DOUBLE_EQ(uncalibrated->Magnitude, -5.47);
}

TEST(LoggerReplies, ErasedSlotGivesNoRecord) {
    EXPECT_FALSE(ParseRecordReply("L4,55-55-55 5 55:55:55,00.00,-873.4C,255"));
}

TEST(LoggerReplies, ClockSettingsModeBatteryAndBusy) {
    EXPECT_EQ(double(ParseClockReply("Lc,26-12-10 5 23:59:58")),
              double(At(2026, 12, 10, 23, 59, 58)));
    EXPECT_EQ(double(ParseClockReply("LC,26-12-10 5 23:59:58", "LC")),
              double(At(2026, 12, 10, 23, 59, 58)));
    const TLoggerSettings s =
        ParseSettingsReply("LI,0000000360s,0000000005m,0000000121s,0000000004m,00000017.60m");
    EXPECT_EQ(s.StoredPeriodSeconds, 360);
    EXPECT_EQ(s.StoredPeriodMinutes, 5);
    EXPECT_EQ(s.PeriodSeconds, 121);
    EXPECT_EQ(s.PeriodMinutes, 4);
    EXPECT_DOUBLE_EQ(s.Threshold, 17.6);
    EXPECT_EQ(ParseModeReply("Lm,3"), 3);
    EXPECT_EQ(ParseBatteryReply("L5,238"), 238);
    EXPECT_TRUE(ParseBusyReply("L6,001"));
    EXPECT_TRUE(ParseBusyReply("L6,003"));
    EXPECT_FALSE(ParseBusyReply("L6,002"));
    EXPECT_NEAR(BatteryVolts(238), 2.048 + 3.3 * 238 / 256, 1e-12);
}

struct TBadReply {
    std::string Name;
    std::function<void(const std::string&)> Parse;
    std::string Reply;
};

class LoggerBadReplies : public testing::TestWithParam<TBadReply> {};

// A reply out of its layout gives no fields, only an error that quotes it.
TEST_P(LoggerBadReplies, RaiseInsteadOfGivingFields) {
    const TBadReply& row = GetParam();
    try {
        row.Parse(row.Reply);
        FAIL() << "accepted";
    } catch (const ELoggerReply& e) {
        EXPECT_NE(std::string(e.what()).find(row.Reply), std::string::npos) << e.what();
    }
}

const auto Pointer = [](const std::string& r) { ParsePointerReply(r); };
const auto Capacity = [](const std::string& r) { ParseCapacityReply(r); };
const auto Record = [](const std::string& r) { ParseRecordReply(r); };
const auto Clock = [](const std::string& r) { ParseClockReply(r); };
const auto Settings = [](const std::string& r) { ParseSettingsReply(r); };
const auto Mode = [](const std::string& r) { ParseModeReply(r); };
const auto Battery = [](const std::string& r) { ParseBatteryReply(r); };

INSTANTIATE_TEST_SUITE_P(
    Layouts, LoggerBadReplies,
    testing::Values(
        TBadReply{"PointerOfSevenDigits", Pointer, "L1,0001234"},
        TBadReply{"PointerWithLetter", Pointer, "L1,00000012a4"},
        TBadReply{"PointerOfOtherCommand", Pointer, "L5,0000001234"},
        TBadReply{"PointerWithSurplusField", Pointer, "L1,0000001234,7"},
        TBadReply{"EmptyPointer", Pointer, "L1,"},
        TBadReply{"CapacityOfSixDigits", Capacity, "LZ,032768"},
        TBadReply{"RecordWithoutBattery", Record, "L4,26-12-09 4 21:00:00,19.53, 002.5C"},
        TBadReply{"RecordMonthThirteen", Record, "L4,26-13-09 4 21:00:00,19.53, 002.5C,238,1"},
        TBadReply{"RecordDayOfWeekZero", Record, "L4,26-12-09 0 21:00:00,19.53, 002.5C,238,1"},
        TBadReply{"RecordGarbledTime", Record, "L4,26-1?-09 4 1#:00:00,1x.44,"},
        TBadReply{"RecordReadingNotANumber", Record, "L4,26-12-09 4 21:00:00,19,53, 002.5C,238"},
        TBadReply{"RecordReadingWithExponent", Record, "L4,26-12-09 4 21:00:00,1e1, 002.5C,238,1"},
        TBadReply{"RecordTemperatureWithoutUnit", Record,
                  "L4,26-12-09 4 21:00:00,19.53, 002.5,238,1"},
        TBadReply{"RecordBatteryPast255", Record, "L4,26-12-09 4 21:00:00,19.53, 002.5C,256,1"},
        TBadReply{"RecordBlankReading", Record, "L4,26-12-09 4 21:00:00,  , 002.5C,238,1"},
        TBadReply{"ClockWithoutDayOfWeek", Clock, "Lc,26-12-10 23:59:58"},
        TBadReply{"ClockSecondSixty", Clock, "Lc,26-12-10 5 23:59:60"},
        TBadReply{"SettingsMissingThreshold", Settings,
                  "LI,0000000360s,0000000005m,0000000121s,0000000004m"},
        TBadReply{"SettingsUnitSwapped", Settings,
                  "LI,0000000360m,0000000005m,0000000121s,0000000004m,00000017.60m"},
        TBadReply{"ModeEight", Mode, "Lm,8"}, TBadReply{"BatteryPast255", Battery, "L5,300"}),
    RowName());

TEST(LoggerClockText, CarriesTheDayOfTheWeekFromSunday) {
    EXPECT_EQ(LoggerClockText(At(2026, 12, 10, 1, 2, 3)), "26-12-10 5 01:02:03");    // Thursday
    EXPECT_EQ(LoggerClockText(At(2026, 12, 13, 23, 59, 59)), "26-12-13 1 23:59:59"); // Sunday
    EXPECT_THROW(LoggerClockText(At(2100, 1, 1, 0, 0, 0)), EConvertError);
}

// The commands against the simulated meter on a pseudo-terminal.
class DataLoggerOnPty : public testing::Test {
protected:
    void Start(TLoggerOptions logger, int feature = 80) {
        TMeterOptions options;
        options.ModelNumber = 6;
        options.FeatureVersion = feature;
        options.Logger = std::move(logger);
        Meter = std::make_unique<TPtyMeter>(options);
        Link.SetComPort(Meter->DevicePath());
        Link.SetTimeouts({200ms, 500ms, 500ms});
        Link.Connect();
    }

    std::unique_ptr<TPtyMeter> Meter;
    TDmSQMLUR Link;
    TDataLogger Logger{Link.GetSerial()};
};

TEST_F(DataLoggerOnPty, OldFirmwareSendsASixDigitPointer) {
    TLoggerOptions flash;
    flash.Records = 42;
    Start(flash, 20);
    EXPECT_EQ(Logger.ReadPointer(), 42);
}

TEST_F(DataLoggerOnPty, RecordsWithExtraFieldsAndErasedSlots) {
    TLoggerOptions flash;
    flash.Records = 5;
    flash.ExtraFields = true;
    flash.ErasedSlots = {2};
    flash.Uncalibrated = true;
    Start(flash);
    EXPECT_EQ(Logger.ReadPointer(), 5);
    EXPECT_EQ(Logger.ReadCapacity(), 32768);
    const auto first = Logger.ReadRecord(0);
    ASSERT_TRUE(first);
    EXPECT_EQ(double(first->Time), double(At(2026, 12, 9, 18, 0, 0)));
    EXPECT_LT(first->Magnitude, 0.0);
    EXPECT_EQ(first->Flag, 0); // the first record after the battery
    const auto second = Logger.ReadRecord(1);
    ASSERT_TRUE(second);
    EXPECT_EQ(double(second->Time), double(At(2026, 12, 9, 18, 5, 0)));
    EXPECT_EQ(second->Flag, 1);
    EXPECT_FALSE(Logger.ReadRecord(2));
    EXPECT_FALSE(Logger.ReadRecord(5)); // past the pointer
}

TEST_F(DataLoggerOnPty, ClockIsSetAndReadBack) {
    Start({});
    const TDateTime wanted = At(2026, 12, 10, 3, 4, 5);
    const TDateTime answered = Logger.SetClock(wanted);
    EXPECT_NEAR(double(answered), double(wanted), 2.0 / 86400);
    EXPECT_NEAR(double(Logger.ReadClock()), double(wanted), 5.0 / 86400);
}

TEST_F(DataLoggerOnPty, SettingsAreWrittenAndReadBack) {
    Start({});
    EXPECT_EQ(Logger.SetPeriodSeconds(121).PeriodSeconds, 121);
    EXPECT_EQ(Logger.SetPeriodMinutes(7).PeriodMinutes, 7);
    EXPECT_DOUBLE_EQ(Logger.SetThreshold(17.6).Threshold, 17.6);
    EXPECT_EQ(Logger.SetMode(2), 2);
    EXPECT_EQ(Logger.ReadMode(), 2);
    EXPECT_EQ(Logger.ReadBatteryAdc(), 238);
}

TEST_F(DataLoggerOnPty, EraseIsPolledUntilNotBusy) {
    TLoggerOptions flash;
    flash.Records = 30;
    flash.BusyPolls = 3;
    Start(flash);
    Logger.StartErase();
    int polls = 0;
    while (Logger.IsBusy())
        ASSERT_LT(++polls, 10);
    EXPECT_EQ(polls, 3);
    EXPECT_EQ(Logger.ReadPointer(), 0);
}

TEST_F(DataLoggerOnPty, RecordThatNeverComesAndUnpluggedMeterAreTold) {
    TLoggerOptions flash;
    flash.Records = 30;
    flash.LostRecord = 3;
    flash.UnplugAtRecord = 6;
    Start(flash);
    EXPECT_THROW(Logger.ReadRecord(3), ELoggerNoReply);
    EXPECT_TRUE(Logger.ReadRecord(4)); // the next exchange is not upset by the lost one
    EXPECT_THROW(Logger.ReadRecord(6), ELoggerGone);
}

} // namespace
