#include "platform/SystemTime.h"

#include "platform/DateText.h"
#include "platform/Exception.h"
#include "platform/ScopedOverride.h"
#include "tests/support/ScopedEnv.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace {

TEST(SystemTime, HoldsEightSixteenBitFieldsInOrder) {
    const SYSTEMTIME st{2015, 3, 6, 14, 21, 5, 9, 870};
    const auto* raw = reinterpret_cast<const std::uint16_t*>(&st);
    const std::uint16_t want[8] = {2015, 3, 6, 14, 21, 5, 9, 870};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(raw[i], want[i]) << i;
}

TEST(SystemTime, ConvertsToDateTimeWithMilliseconds) {
    EXPECT_EQ(SystemTimeToDateTime({2015, 3, 0, 14, 21, 5, 9, 870}),
              EncodeDateTime(2015, 3, 14, 21, 5, 9, 870));
    EXPECT_EQ(SystemTimeToDateTime({1899, 12, 0, 29, 6, 0, 0, 0}), -1.25);
    EXPECT_THROW(SystemTimeToDateTime({2015, 13, 0, 1, 0, 0, 0, 0}), EConvertError);
    EXPECT_THROW(SystemTimeToDateTime({0, 1, 0, 1, 0, 0, 0, 0}), EConvertError);
    EXPECT_THROW(SystemTimeToDateTime({2015, 1, 0, 1, 24, 0, 0, 0}), EConvertError);
}

SYSTEMTIME Pinned() {
    return {2015, 3, 6, 14, 21, 5, 9, 876};
}

TEST(SystemTime, LocalTimeSourceCanBePinnedAndRestored) {
    const TLocalTimeSource previous = SetLocalTimeSource(&Pinned);
    EXPECT_EQ(GetLocalTime(), Pinned());
    EXPECT_EQ(SetLocalTimeSource(previous), &Pinned);
    const SYSTEMTIME now = GetLocalTime();
    EXPECT_GE(now.wYear, 2020);
    EXPECT_LE(now.wMilliseconds, 999);
    EXPECT_LE(now.wDayOfWeek, 6);
    SetLocalTimeSource(nullptr); // the system clock again
    EXPECT_GE(GetLocalTime().wYear, 2020);
}

SYSTEMTIME PinnedLater() {
    return {2016, 4, 0, 3, 22, 0, 0, 0};
}

TEST(SystemTime, ScopedOverridesNestAndEachPutsThePreviousSourceBack) {
    const TLocalTimeSource before = SetLocalTimeSource(nullptr);
    {
        const TScopedOverride<TLocalTimeSource> outer(&SetLocalTimeSource, &Pinned);
        EXPECT_EQ(GetLocalTime(), Pinned());
        {
            const TScopedOverride<TLocalTimeSource> inner(&SetLocalTimeSource, &PinnedLater);
            EXPECT_EQ(GetLocalTime(), PinnedLater());
        }
        EXPECT_EQ(GetLocalTime(), Pinned());
    }
    EXPECT_GE(GetLocalTime().wYear, 2020) << "the system clock again";
    SetLocalTimeSource(before);
}

TEST(SystemTime, NowReadsTheSameSource) {
    const TLocalTimeSource previous = SetLocalTimeSource(&Pinned);
    EXPECT_EQ(Now(), SystemTimeToDateTime(Pinned()));
    SetLocalTimeSource(previous);
}

class DateText : public testing::Test {
protected:
    TScopedEnv Locale{"LC_ALL", "C.UTF-8"};
};

TEST_F(DateText, ShortDateOfTheLocale) {
    EXPECT_EQ(DateToStr(EncodeDateTime(2015, 3, 8, 2, 0, 0, 0)), "03/08/15");
    EXPECT_EQ(DateToStr(-1.25), "12/29/99");
    EXPECT_THROW(DateToStr(-700000.0), EConvertError); // before year 1
}

} // namespace
