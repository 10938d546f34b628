// What a request must hold before the server stores or answers anything.
#include "server/score_rules.h"

#include <gtest/gtest.h>

using namespace scored;

namespace {

// The refusal of a submission whose query is the usual one with one field's value replaced.
Refusal submitWith(const std::string &field, const std::string &value, bool descPage = false) {
    std::map<std::string, std::string> fields = {
        {"name", "a"}, {"score", "1"}, {"computer", "M"}, {"gamename", "quorix0dif0"}};
    fields[field] = value;
    std::string raw;
    for (const auto &[key, text] : fields)
        raw += key + "=" + text + "&";
    std::map<std::string, std::string> values;
    Refusal refusal = parseQuery(raw, values);
    Submission submission;
    return refusal.empty() ? readSubmission(values, descPage, submission) : refusal;
}

} // namespace

TEST(GameNames, AllSixteenAndNothingElseOfWhichTwelveAreRanked) {
    for (int mode = 0; mode < 4; ++mode)
        for (int difficulty = 0; difficulty < 4; ++difficulty) {
            const GameId game{mode, difficulty};
            ASSERT_EQ(parseGameName(game.name()), game) << game.name();
            EXPECT_EQ(game.lowerIsBetter(), mode == 2);
            EXPECT_EQ(parseRankedGameName(game.name()).has_value(), mode != 3) << "relax has no world table";
        }
    for (const char *bad : {"", "quorix", "quorix4dif0", "quorix0dif4", "Quorix0dif0", "quorix0dif00",
                            "quorix0dif", "quorix00dif0", "quorix-1dif0", " quorix0dif0", "quorix0DIF0"})
        EXPECT_FALSE(parseGameName(bad)) << bad;
}

TEST(QueryParsing, DecodesEscapesAndPlusAndRefusesMalformedOnes) {
    std::map<std::string, std::string> values;
    ASSERT_EQ(parseQuery("name=Ann%20Lee+Jr&&x=%2B%26%3D%25&empty=&flag&a=%c3%A9&", values), "");
    const std::map<std::string, std::string> expected = {
        {"name", "Ann Lee Jr"}, {"x", "+&=%"}, {"empty", ""}, {"flag", ""}, {"a", "\xC3\xA9"}};
    EXPECT_EQ(values, expected);
    for (const char *bad :
         {"a=%", "a=%4", "a=%zz", "a=%4g", "a=%%41", "%=1", "a%2=1", "a=1%", "a=1&a=2", "a=1&%61=2"})
        EXPECT_NE(parseQuery(bad, values), "") << bad;
}

// Scores are whole numbers from 0 to 2^31 - 1, names 1 to 31 printable characters (longer ones are
// refused, not cut), and each game belongs to one family of pages.
TEST(Submissions, EachFieldIsTakenWholeOrRefused) {
    const struct {
        const char *field;
        std::vector<std::string> taken, refused;
    } fields[] = {
        {"score",
         {"0", "002147483647"},
         {"", "-1", "+1", "2147483648", "4294967296", "99999999999999999999999", "1e3", "0x10", "1.5", "%201",
          "1%20", "1'%20OR%201=1"}},
        {"name",
         {std::string(31, 'x'), "%20~%21"},
         {"", std::string(32, 'x'), std::string(10000, 'x'), "a%00b", "a%09b", "a%0Ab", "a%7F", "%C3%A9"}},
        {"computer", {"M"}, {std::string(32, 'c')}},
        {"gamename", {"quorix1dif3"}, {"quorix2dif1", "quorix3dif1", "quorix4dif0", "quorix0dif0'--"}},
    };
    for (const auto &field : fields) {
        for (const std::string &value : field.taken)
            EXPECT_EQ(submitWith(field.field, value), "") << field.field << "=" << value;
        for (const std::string &value : field.refused)
            EXPECT_NE(submitWith(field.field, value), "") << field.field << "=" << value.substr(0, 40);
    }
    EXPECT_EQ(submitWith("gamename", "quorix2dif1", true), "");
    EXPECT_NE(submitWith("gamename", "quorix0dif1", true), "");
    EXPECT_EQ(submitWith("gamename", "quorix3dif1"), "the relax mode (quorix3dif*) has no world table");
}

TEST(MillionTimes, ShownAsHoursMinutesSeconds) {
    const std::pair<uint32_t, const char *> times[] = {{0, "00:00:00"},
                                                       {59, "00:00:59"},
                                                       {3661, "01:01:01"},
                                                       {359999, "99:59:59"},
                                                       {2147483647u, "596523:14:07"}};
    for (const auto &[seconds, text] : times)
        EXPECT_EQ(formatSeconds(seconds), text);
}
