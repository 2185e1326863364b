#include "platform/DateTime.h"

#include "platform/Exception.h"
#include "tests/support/RowName.h"

#include <gtest/gtest.h>

namespace {

struct DecodeCase {
    const char* Name;
    double Value;
    TDateTimeFields Fields;
};

const DecodeCase Cases[] = {
    {"Epoch", 0.0, {1899, 12, 30, 0, 0, 0, 0, 6}},
    {"NegativeKeepsAbsoluteFraction", -1.25, {1899, 12, 29, 6, 0, 0, 0, 5}},
    {"UnixEpoch", 25569.0, {1970, 1, 1, 0, 0, 0, 0, 4}},
    {"Millisecond",
     45000.0 + (21 * 3600 + 5 * 60 + 9.870) / 86400.0,
     {2023, 3, 15, 21, 5, 9, 870, 3}},
    {"YearOne", -693593.0, {1, 1, 1, 0, 0, 0, 0, 1}},
    {"LastDay", 2958465.0, {9999, 12, 31, 0, 0, 0, 0, 5}},
};

class DateTimeDecode : public testing::TestWithParam<DecodeCase> {};

TEST_P(DateTimeDecode, GivesFieldsAndRoundTrips) {
    const DecodeCase& c = GetParam();
    const TDateTimeFields f = DecodeDateTime(c.Value);
    EXPECT_EQ(f.Year, c.Fields.Year);
    EXPECT_EQ(f.Month, c.Fields.Month);
    EXPECT_EQ(f.Day, c.Fields.Day);
    EXPECT_EQ(f.Hour, c.Fields.Hour);
    EXPECT_EQ(f.Minute, c.Fields.Minute);
    EXPECT_EQ(f.Second, c.Fields.Second);
    EXPECT_EQ(f.Millisecond, c.Fields.Millisecond);
    EXPECT_EQ(f.DayOfWeek, c.Fields.DayOfWeek);
    const double back =
        EncodeDateTime(f.Year, f.Month, f.Day, f.Hour, f.Minute, f.Second, f.Millisecond);
    EXPECT_NEAR(back, c.Value, 1e-8);
}

INSTANTIATE_TEST_SUITE_P(Cases, DateTimeDecode, testing::ValuesIn(Cases), RowName());

TEST(DateTimeEncode, RejectsOutOfRange) {
    EXPECT_THROW(EncodeDate(0, 1, 1), EConvertError);
    EXPECT_THROW(EncodeDate(10000, 1, 1), EConvertError);
    EXPECT_THROW(EncodeDate(2023, 2, 29), EConvertError);
    EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);
    EXPECT_NO_THROW(EncodeDate(2024, 2, 29));
}

TEST(DateTimeNow, IsTodayInLocalTime) {
    const TDateTimeFields f = DecodeDateTime(Now());
    EXPECT_GE(f.Year, 2020);
    EXPECT_LE(f.Year, 9999);
}

} // namespace
