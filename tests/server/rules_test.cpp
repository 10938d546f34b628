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
// refused, not cut), game names exactly as the game writes them, and each game belongs to one family of
// pages (the million mode's to the desc pages).
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
        {"gamename",
         {"quorix1dif3"},
         {"quorix2dif1", "quorix3dif1", "quorix4dif0", "quorix0dif4", "quorix0dif0'--", "Quorix0dif0",
          "quorix0dif00", "quorix0DIF0", "quorix00dif0", "quorix-1dif0", "%20quorix0dif0", "quorix0dif", ""}},
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
