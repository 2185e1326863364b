#include "meter/ReplyCollector.h"

#include "tests/support/RowName.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

struct CollectCase {
    const char* Name;
    std::vector<std::string> Reads; // as the port delivers them, each within Room()
    std::string Reply;              // collected from the marker "r," in 8 bytes
    bool Complete;
};

class ReplyCollector : public testing::TestWithParam<CollectCase> {};

TEST_P(ReplyCollector, StartsAtTheMarkerWithinTheLength) {
    TReplyCollector reply("r,", 8);
    for (const std::string& read : GetParam().Reads) {
        ASSERT_LE(read.size(), reply.Room());
        reply.Take(read.data(), read.size());
    }
    EXPECT_EQ(reply.GetReply(), GetParam().Reply);
    EXPECT_EQ(reply.HasBegun(), !GetParam().Reply.empty());
    EXPECT_EQ(reply.IsComplete(), GetParam().Complete);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReplyCollector,
    testing::Values(CollectCase{"WholeReplyAtOnce", {"r, 19.53"}, "r, 19.53", true},
                    CollectCase{"InPieces", {"r", ", 1", "9.53"}, "r, 19.53", true},
                    CollectCase{"NoiseFirst", {"\xFE\x01r, 19", ".53"}, "r, 19.53", true},
                    CollectCase{
                        "MarkerSplitAcrossReads", {"junkjunr", ", 19.53"}, "r, 19.53", true},
                    CollectCase{"LetterWithoutComma", {"rrrrrrrr", "r,1"}, "r,1", false},
                    CollectCase{"OnlyNoise", {"abcdefgh", "ijklmno"}, "", false},
                    CollectCase{"ShortReply", {"xr, 1"}, "r, 1", false}),
    RowName());

TEST(ReplyCollectorRoom, NeverReachesPastTheReply) {
    TReplyCollector reply("i,", 5);
    EXPECT_EQ(reply.Room(), 5u);
    reply.Take("abci,", 5);
    EXPECT_EQ(reply.GetReply(), "i,");
    EXPECT_EQ(reply.Room(), 3u);
    reply.Take("12345", 5); // more than the room: only the room is taken
    EXPECT_EQ(reply.GetReply(), "i,123");
    EXPECT_EQ(reply.Room(), 0u);
}

TEST(ReplyCollectorWithoutMarker, TakesEveryByte) {
    TReplyCollector reply("", 4);
    EXPECT_TRUE(reply.HasBegun());
    reply.Take("\x00\xFE", 2);
    EXPECT_EQ(reply.GetReply(), std::string("\x00\xFE", 2));
}

} // namespace
