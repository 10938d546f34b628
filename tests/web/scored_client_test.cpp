// KWeb talking to the real score server on a loopback port, with names encoded by encodeQueryValue.
#include "framework/KWeb.h"
#include "server/score_rules.h"
#include "support/scored.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

class Client : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("no_proxy", "127.0.0.1,localhost", 1);
        ASSERT_GT(server.port, 0);
    }
    std::string fetch(const std::string &target) {
        KWeb web;
        const char *text = web.callURL((server.baseURL() + target).c_str(), false);
        return text ? text : "(null)";
    }
    RunningServer server;
};

} // namespace

TEST(QueryValues, EveryByteSurvivesEncodingAndTheServersDecoding) {
    std::string all;
    for (int c = 0; c < 256; ++c)
        all += static_cast<char>(c);
    std::string encoded = KWeb::encodeQueryValue(all);
    EXPECT_EQ(
        encoded.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~%"),
        std::string::npos)
        << "nothing that could end or split a query value";
    std::optional<std::string> decoded = scored::percentDecode(encoded);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(*decoded, all);
    EXPECT_EQ(KWeb::encodeQueryValue("Ann Lee+1&x=y%"), "Ann%20Lee%2B1%26x%3Dy%25");
    EXPECT_EQ(KWeb::encodeQueryValue("chicken"), "chicken");
    EXPECT_EQ(KWeb::encodeQueryValue(""), "");
}

TEST_F(Client, ANameWithSpacesAndSymbolsArrivesIntact) {
    const std::string name = "Ann & Bo #1 100% + <3";
    EXPECT_EQ(fetch("/universe/ishighscore.php?gamename=quorix1dif2&submtdscore=900"), "yes");
    EXPECT_EQ(fetch("/universe/scoresubmitter.php?name=" + KWeb::encodeQueryValue(name) +
                    "&score=900&computer=M&gamename=quorix1dif2"),
              "ok");
    std::vector<scored::ScoreRow> rows = server.store->top(scored::GameId{1, 2}, 10);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].name, name);
    EXPECT_EQ(rows[0].score, 900u);
}

TEST_F(Client, TheMillionModeAsksAndSubmitsThroughTheDescPages) {
    for (int i = 0; i < 100; ++i)
        server.store->add(scored::Submission{scored::GameId{2, 0}, 300, "x", "M"}, 0);
    EXPECT_EQ(fetch("/universe/ishighscoredesc.php?gamename=quorix2dif0&submtdscore=300"), "no");
    EXPECT_EQ(fetch("/universe/ishighscoredesc.php?gamename=quorix2dif0&submtdscore=299"), "yes");
    EXPECT_EQ(
        fetch("/universe/scoresubmitterdesc.php?name=chicken&score=299&computer=M&gamename=quorix2dif0"),
        "ok");
    EXPECT_EQ(server.store->top(scored::GameId{2, 0}, 1).at(0).name, "chicken");
}

TEST_F(Client, ARefusalIsNeverReadAsRanking) {
    // The game only tests the answer for "yes": a refusal must not contain it.
    std::string answer = fetch("/universe/ishighscore.php?gamename=quorix2dif0&submtdscore=1");
    EXPECT_NE(answer, "(null)");
    EXPECT_EQ(answer.find("yes"), std::string::npos) << answer;
    answer = fetch("/universe/ishighscore.php?gamename=yes&submtdscore=yes");
    EXPECT_EQ(answer.find("yes"), std::string::npos) << answer;
}

TEST_F(Client, AnUnencodedSpaceNeverReachesTheServer) {
    // Why the game must encode the name: a raw space makes the address itself invalid.
    EXPECT_EQ(fetch("/universe/scoresubmitter.php?name=Ann Lee&score=1&computer=M&gamename=quorix0dif0"),
              "(null)");
    EXPECT_EQ(server.store->count(scored::GameId{0, 0}), 0);
}
