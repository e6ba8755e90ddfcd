// The box histories and the outcome texts of the status line.
#include "run/history.h"
#include "run/outcome.h"

#include <gtest/gtest.h>

namespace talvo::run {
namespace {

using List = std::vector<std::string>;

TEST(History, NewTextGoesToTheTopUnlessItIsTheFirstEntry) {
    EXPECT_EQ(insertIntoHistory({}, "a"), List{"a"});
    EXPECT_EQ(insertIntoHistory({}, ""), List{});
    EXPECT_EQ(insertIntoHistory({"a", "b"}, "a"), (List{"a", "b"}));
    EXPECT_EQ(insertIntoHistory({"a", "b"}, "b"), (List{"b", "a", "b"}));
    EXPECT_EQ(insertIntoHistory({"a"}, "A"), (List{"A", "a"}));
    EXPECT_EQ(insertIntoHistory({"a"}, " a"), (List{" a", "a"}));
}

TEST(History, TheEleventhEntryPushesOutTheOldest) {
    List entries;
    for (int i = 1; i <= 10; ++i)
        entries = insertIntoHistory(entries, std::to_string(i));
    ASSERT_EQ(entries.size(), 10u);
    entries = insertIntoHistory(entries, "11");
    ASSERT_EQ(entries.size(), 10u);
    EXPECT_EQ(entries.front(), "11");
    EXPECT_EQ(entries.back(), "2");
    // A longer stored list loses one entry per press.
    EXPECT_EQ(insertIntoHistory(List(12, "x"), "y").size(), 12u);
}

TEST(OutcomeText, ElapsedTimeIsHoursMinutesSeconds) {
    EXPECT_EQ(matchedStatus(3), "TIME 00:00:03");
    EXPECT_EQ(nothingMatchedStatus(0), "No Lines Matched. TIME 00:00:00");
    EXPECT_EQ(formatElapsed(3 * 3600 + 25 * 60 + 9), "03:25:09");
    EXPECT_EQ(formatElapsed(30 * 3600), "30:00:00");
    EXPECT_EQ(formatElapsed(-5), "00:00:00");
}

} // namespace
} // namespace talvo::run
