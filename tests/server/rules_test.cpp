// What a request must hold before the server stores or answers anything.
#include "server/score_rules.h"

#include <gtest/gtest.h>

using namespace scored;

namespace {

std::map<std::string, std::string> query(const std::string &raw) {
    std::map<std::string, std::string> values;
    EXPECT_EQ(parseQuery(raw, values), "") << raw;
    return values;
}

Refusal submit(const std::string &raw, bool descPage = false) {
    std::map<std::string, std::string> values;
    Refusal refusal = parseQuery(raw, values);
    if (!refusal.empty())
        return refusal;
    Submission submission;
    return readSubmission(values, descPage, submission);
}

} // namespace

TEST(GameNames, AllSixteenAndNothingElseOfWhichTwelveAreRanked) {
    for (int mode = 0; mode < 4; ++mode) {
        for (int difficulty = 0; difficulty < 4; ++difficulty) {
            GameId game{mode, difficulty};
            std::optional<GameId> parsed = parseGameName(game.name());
            ASSERT_TRUE(parsed) << game.name();
            EXPECT_EQ(*parsed, game);
            EXPECT_EQ(parsed->lowerIsBetter(), mode == 2);
            EXPECT_EQ(parseRankedGameName(game.name()).has_value(), mode != 3) << "relax has no world table";
        }
    }
    for (const char *bad :
         {"", "quorix", "quorix4dif0", "quorix0dif4", "Quorix0dif0", "quorix0dif00", "quorix0dif",
          "quorix00dif0", "quorix-1dif0", " quorix0dif0", "quorix0dif0 ", "quorix0DIF0"})
        EXPECT_FALSE(parseGameName(bad)) << bad;
}

TEST(QueryParsing, DecodesEscapesAndPlusAndRefusesMalformedOnes) {
    auto values = query("name=Ann%20Lee+Jr&score=5&computer=M&x=%2B%26%3D%25&empty=&flag");
    EXPECT_EQ(values["name"], "Ann Lee Jr");
    EXPECT_EQ(values["x"], "+&=%");
    EXPECT_EQ(values["empty"], "");
    EXPECT_EQ(values["flag"], "");
    EXPECT_EQ(query("a=%c3%A9")["a"], "\xC3\xA9");
    EXPECT_TRUE(query("").empty());
    EXPECT_EQ(query("&&a=1&&")["a"], "1");

    std::map<std::string, std::string> values2;
    for (const char *bad : {"a=%", "a=%4", "a=%zz", "a=%4g", "a=%%41", "%=1", "a%2=1", "a=1%"})
        EXPECT_NE(parseQuery(bad, values2), "") << bad;
    EXPECT_NE(parseQuery("a=1&a=2", values2), "");
    EXPECT_NE(parseQuery("a=1&%61=2", values2), ""); // the same key once decoded
}

TEST(Submissions, ScoresAreWholeNumbersFrom0To2Pow31Minus1) {
    EXPECT_EQ(submit("name=a&computer=M&gamename=quorix0dif0&score=0"), "");
    EXPECT_EQ(submit("name=a&computer=M&gamename=quorix0dif0&score=002147483647"), "");
    for (const char *score : {"", "-1", "+1", "2147483648", "4294967296", "99999999999999999999999", "1e3",
                              "0x10", "1.5", "%201", "1%20", "1'%20OR%201=1"}) {
        std::string raw = std::string("name=a&computer=M&gamename=quorix0dif0&score=") + score;
        EXPECT_NE(submit(raw), "") << score;
    }
}

TEST(Submissions, NamesAreOneTo31PrintableCharacters) {
    auto withName = [](const std::string &name) {
        return submit("score=1&computer=M&gamename=quorix0dif0&name=" + name);
    };
    EXPECT_EQ(withName(std::string(31, 'x')), "");
    EXPECT_EQ(withName("%20~%21"), "");
    EXPECT_NE(withName(std::string(32, 'x')), "") << "longer names are refused, not cut";
    EXPECT_NE(withName(std::string(10000, 'x')), "");
    EXPECT_NE(withName(""), "");
    for (const char *bad : {"a%00b", "a%09b", "a%0Ab", "a%7F", "%C3%A9"})
        EXPECT_NE(withName(bad), "") << bad;
    EXPECT_NE(submit("score=1&name=a&gamename=quorix0dif0&computer=" + std::string(32, 'c')), "");
}

TEST(Submissions, EachGameBelongsToOneFamilyOfPages) {
    EXPECT_EQ(submit("name=a&score=1&computer=M&gamename=quorix2dif1", true), "");
    EXPECT_NE(submit("name=a&score=1&computer=M&gamename=quorix2dif1", false), "");
    EXPECT_NE(submit("name=a&score=1&computer=M&gamename=quorix0dif1", true), "");
    EXPECT_EQ(submit("name=a&score=1&computer=M&gamename=quorix3dif1", false),
              "the relax mode (quorix3dif*) has no world table");
}

TEST(MillionTimes, ShownAsHoursMinutesSeconds) {
    EXPECT_EQ(formatSeconds(0), "00:00:00");
    EXPECT_EQ(formatSeconds(59), "00:00:59");
    EXPECT_EQ(formatSeconds(3661), "01:01:01");
    EXPECT_EQ(formatSeconds(359999), "99:59:59");
    EXPECT_EQ(formatSeconds(2147483647u), "596523:14:07");
}
