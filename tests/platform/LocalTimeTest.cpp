#include "platform/LocalTime.h"

#include "tests/support/ScopedEnv.h"

#include <gtest/gtest.h>

namespace {

// Central European time with its daylight rules, written out so no zone database is needed.
constexpr const char* CentralEurope = "CET-1CEST,M3.5.0,M10.5.0/3";

TEST(LocalTime, OffsetFollowsTheZoneAndItsDaylightRules) {
    {
        TScopedEnv tz("TZ", "UTC0");
        EXPECT_EQ(GetUtcOffsetAt(0), 0);
    }
    TScopedEnv tz("TZ", CentralEurope);           // a change of TZ between calls is seen
    EXPECT_EQ(GetUtcOffsetAt(1705276800), 3600);  // 2024-01-15 00:00 UTC
    EXPECT_EQ(GetUtcOffsetAt(1721001600), 7200);  // 2024-07-15 00:00 UTC
    EXPECT_EQ(GetUtcOffsetAt(1729990799), 7200);  // 2024-10-27 00:59:59 UTC, 02:59:59 CEST
    EXPECT_EQ(GetUtcOffsetAt(1729990800), 3600);  // 2024-10-27 01:00 UTC, 02:00 CET
    EXPECT_EQ(GetUtcOffsetAt(-2208988800), 3600); // 1900-01-01 00:00 UTC
}

TEST(LocalTime, LocalClockToInstant) {
    TScopedEnv tz("TZ", CentralEurope);
    EXPECT_EQ(LocalToUnixTime(2024, 7, 15, 12, 0, 0), 1721037600); // 10:00 UTC
    EXPECT_EQ(LocalToUnixTime(2024, 1, 15, 12, 0, 0), 1705316400); // 11:00 UTC
    EXPECT_EQ(LocalToUnixTime(1900, 1, 1, 1, 0, 0), -2208988800);  // before 1970
    EXPECT_EQ(LocalToUnixTime(2024, 1, 32, 12, 0, 0), LocalToUnixTime(2024, 2, 1, 12, 0, 0));
    EXPECT_EQ(LocalToUnixTime(2024, 12, 31, 24, 0, 0), LocalToUnixTime(2025, 1, 1, 0, 0, 0));
}

} // namespace
