#include "platform/Exception.h"
#include "platform/NumberConversion.h"
#include "tools/sim/MeterReplies.h"
#include "tools/sim/NightCurve.h"
#include "tools/sim/SimCommandLine.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

// The sky brightness of an "rx" reply (columns 3 to 8).
double AnsweredMagnitude(TMeterReplies& replies) {
    return StrToFloat(replies.Answer("rx").substr(2, 6));
}

TEST(NightReplay, EachReadingStepsThroughTheNight) {
    const TSimCommandLine line =
        ParseSimCommandLine({"--tcp", "0", "--night-step", "30", "--night-start", "17:00"});
    TMeterReplies replies(line.Meter);
    std::vector<double> night;
    for (int k = 0; k < 28; ++k) // 17:00 to 06:30
        night.push_back(AnsweredMagnitude(replies));
    const auto at = [&night](int hour, int minute) {
        return night[std::size_t(((hour + 24 - 17) % 24 * 60 + minute) / 30)];
    };
    EXPECT_LT(at(17, 0), 12.0);            // daylight
    EXPECT_GT(at(21, 0), 21.0);            // dark after dusk
    EXPECT_LT(at(23, 0), at(21, 0) - 0.3); // the cloud
    EXPECT_GT(at(0, 30), 21.0);            // dark again
    EXPECT_LT(at(3, 30), at(0, 30) - 1.0); // the Moon is up
    EXPECT_LT(at(6, 30), 12.0);            // dawn
    EXPECT_NEAR(at(21, 0), NightSkyMagnitude(21.0), 0.005);
}

TEST(NightReplay, AGivenMagnitudeStillWins) {
    TMeterReplies replies(ParseSimCommandLine({"--night-step", "5", "--magnitude", "20.5"}).Meter);
    EXPECT_DOUBLE_EQ(AnsweredMagnitude(replies), 20.5);
    EXPECT_DOUBLE_EQ(AnsweredMagnitude(replies), 20.5);
}

TEST(NightReplay, BadStepsAndClockTimesAreRefused) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--night-step", "0"},
                                                 {"--night-step", "721"},
                                                 {"--night-step", "ten"},
                                                 {"--night-start", "24:00"},
                                                 {"--night-start", "7:30"},
                                                 {"--night-start", "07:60"},
                                                 {"--night-start", "07:3"},
                                                 {"--night-start", "0730"},
                                                 {"--night-start"}}) {
        EXPECT_THROW(ParseSimCommandLine(args), Exception) << args.back();
    }
    try {
        ParseSimCommandLine({"--night-start", "25:00"});
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Option --night-start takes a clock time HH:MM, not '25:00'.");
    }
}

} // namespace
