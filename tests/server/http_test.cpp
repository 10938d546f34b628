// The server over HTTP: the four pages the game calls, refusals, and the web pages.
#include "server/running_server.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace scored;

namespace {

class Http : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_GT(server.port, 0); }

    // Status and body of a GET of a raw target (sent exactly as written).
    std::pair<int, std::string> get(const std::string &target) {
        httplib::Client client("127.0.0.1", server.port);
        httplib::Result result = client.Get(target);
        if (!result)
            return {-1, ""};
        return {result->status, result->body};
    }
    int64_t storedRows() {
        int64_t total = 0;
        for (int mode = 0; mode < 4; ++mode)
            for (int difficulty = 0; difficulty < 4; ++difficulty)
                total += server.store->count(GameId{mode, difficulty});
        return total;
    }

    RunningServer server;
};

} // namespace

TEST_F(Http, ASubmissionLandsInItsTableAndAnswersTheRankQuestions) {
    EXPECT_EQ(get("/universe/ishighscore.php?gamename=quorix0dif2&submtdscore=0"),
              std::make_pair(200, std::string("yes")));
    EXPECT_EQ(get("/universe/scoresubmitter.php?name=Ann%20Lee&score=4200&computer=M&gamename=quorix0dif2"),
              std::make_pair(200, std::string("ok")));
    std::vector<ScoreRow> rows = server.store->top(GameId{0, 2}, 10);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].name, "Ann Lee");
    EXPECT_EQ(rows[0].score, 4200u);

    EXPECT_EQ(get("/universe/scoresubmitterdesc.php?name=Bo&score=95&computer=M&gamename=quorix2dif0").first,
              200);
    EXPECT_EQ(server.store->top(GameId{2, 0}, 10).at(0).name, "Bo");

    // Fill the million table with 100 times of 95 s: another 95 does not rank, 94 does.
    for (int i = 0; i < 99; ++i)
        server.store->add(Submission{GameId{2, 0}, 95, "x", "M"}, 0);
    EXPECT_EQ(get("/universe/ishighscoredesc.php?gamename=quorix2dif0&submtdscore=95").second, "no");
    EXPECT_EQ(get("/universe/ishighscoredesc.php?gamename=quorix2dif0&submtdscore=94").second, "yes");
}

TEST_F(Http, HostileAndMalformedQueriesAreRefusedAndStoreNothing) {
    const std::string page = "/universe/scoresubmitter.php?";
    const std::string rest = "&computer=M&gamename=quorix0dif0";
    const std::vector<std::string> targets = {
        page + "score=1" + rest,                                    // no name
        page + "name=a&computer=M&gamename=quorix0dif0",            // no score
        page + "name=a&score=1&computer=M",                         // no game
        page + "name=a&score=-1" + rest,                            // negative
        page + "name=a&score=2147483648" + rest,                    // over 2^31 - 1
        page + "name=a&score=18446744073709551617" + rest,          // over 2^64
        page + "name=a&score=1%20OR%201=1" + rest,                  // SQL in the score
        page + "name=a&score=1&computer=M&gamename=quorix0dif0'--", // SQL in the game name
        page + "name=a&score=1&computer=M&gamename=quorix9dif0",
        page + "name=a&score=1&computer=M&gamename=quorix2dif0", // the million mode, wrong page
        page + "name=" + std::string(1000, 'A') + "&score=1" + rest,
        page + "name=" + std::string(10240, 'A') + "&score=1" + rest, // 10 KB: over the address limit
        page + "name=a%zz&score=1" + rest,
        page + "name=a%2&score=1" + rest,
        page + "name=a%00b&score=1" + rest,
        page + "name=a&name=b&score=1" + rest,
        "/universe/scoresubmitterdesc.php?name=a&score=1" + rest, // a higher-is-better game, desc page
        "/universe/ishighscore.php?gamename=quorix0dif0&submtdscore=abc",
        "/universe/ishighscore.php?gamename=quorix0dif0",
        "/universe/ishighscore.php",
    };
    for (const std::string &target : targets) {
        auto [status, body] = get(target);
        EXPECT_GE(status, 400) << target.substr(0, 120);
        EXPECT_LT(status, 500) << target.substr(0, 120);
        // One line of reason, nothing else.
        ASSERT_FALSE(body.empty()) << target.substr(0, 120);
        EXPECT_EQ(body.find('\n'), body.size() - 1) << body;
        EXPECT_EQ(body.find("yes"), std::string::npos) << "a refusal must never read as 'ranks'";
    }
    EXPECT_EQ(get("/universe/scoresubmitter.php?name=a&score=1").second, "missing gamename\n");
    EXPECT_EQ(storedRows(), 0);
}

TEST_F(Http, SqlInANameIsStoredAsPlainText) {
    const std::string name = "x'); DROP TABLE scores;--";
    std::string encoded;
    for (char c : name)
        encoded += c == ' ' ? std::string("%20") : c == ';' ? std::string("%3B") : std::string(1, c);
    EXPECT_EQ(get("/universe/scoresubmitter.php?name=" + encoded + "&score=3&computer=M&gamename=quorix1dif1")
                  .first,
              200);
    EXPECT_EQ(server.store->top(GameId{1, 1}, 1).at(0).name, name);
    EXPECT_EQ(storedRows(), 1);
}

TEST_F(Http, UnknownPagesAndGamesAreNotFound) {
    EXPECT_EQ(get("/universe/other.php").first, 404);
    EXPECT_EQ(get("/game/quorix4dif0").first, 404);
    EXPECT_EQ(get("/game/").first, 404);
    httplib::Client client("127.0.0.1", server.port);
    auto posted = client.Post("/universe/scoresubmitter.php?name=a&score=1&computer=M&gamename=quorix0dif0",
                              "", "text/plain");
    ASSERT_TRUE(posted);
    EXPECT_GE(posted->status, 400);
    EXPECT_EQ(storedRows(), 0);
}

TEST_F(Http, WebPagesShowEveryGameAndEscapeNames) {
    server.store->add(Submission{GameId{0, 0}, 1234, "<script>alert(\"&\")</script>", "M"}, 0);
    server.store->add(Submission{GameId{2, 3}, 3723, "Swift", "M"}, 0);

    auto [status, index] = get("/");
    ASSERT_EQ(status, 200);
    for (int mode = 0; mode < 4; ++mode)
        for (int difficulty = 0; difficulty < 4; ++difficulty)
            EXPECT_NE(index.find("href=\"/game/" + GameId{mode, difficulty}.name() + "\""),
                      std::string::npos);
    EXPECT_EQ(index.find("<script>"), std::string::npos);
    EXPECT_NE(index.find("&lt;script&gt;alert(&quot;&amp;&quot;)&lt;/script&gt;"), std::string::npos);
    EXPECT_NE(index.find("01:02:03"), std::string::npos) << "3723 s of the million mode";
    EXPECT_EQ(index.find("3723"), std::string::npos);
    // Nothing loaded from elsewhere.
    EXPECT_EQ(index.find("http"), std::string::npos);
    EXPECT_EQ(index.find("src="), std::string::npos);

    auto [gameStatus, gamePage] = get("/game/quorix0dif0");
    ASSERT_EQ(gameStatus, 200);
    EXPECT_NE(gamePage.find("&lt;script&gt;"), std::string::npos);
    EXPECT_NE(gamePage.find("1234"), std::string::npos);
    EXPECT_EQ(gamePage.find("Swift"), std::string::npos);
}

TEST_F(Http, TheIndexShowsTheBestTenAndTheGamePageTheBestHundred) {
    for (uint32_t i = 1; i <= 120; ++i)
        server.store->add(Submission{GameId{1, 0}, i, "n" + std::to_string(i), "M"}, 0);
    std::string index = get("/").second;
    EXPECT_NE(index.find(">n111<"), std::string::npos);
    EXPECT_EQ(index.find(">n110<"), std::string::npos);
    std::string page = get("/game/quorix1dif0").second;
    EXPECT_NE(page.find(">n21<"), std::string::npos);
    EXPECT_EQ(page.find(">n20<"), std::string::npos);
}

TEST(HttpStoreFailure, ASubmissionThatCannotBeStoredIsNeverAcknowledged) {
    char pattern[] = "/tmp/quorix-scored-locked-XXXXXX";
    std::string folder = mkdtemp(pattern);
    std::string db = folder + "/scores.sqlite";
    {
        ScoreStore store(db, 50);
        ScoreServer server(store);
        int port = server.bind("127.0.0.1", 0);
        ASSERT_GT(port, 0);
        std::thread serving([&] { server.serve(); });
        while (!server.isRunning())
            std::this_thread::yield();

        // Another program holds the write lock for longer than the store waits.
        sqlite3 *other = nullptr;
        ASSERT_EQ(sqlite3_open(db.c_str(), &other), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
        httplib::Client client("127.0.0.1", port);
        auto refused =
            client.Get("/universe/scoresubmitter.php?name=a&score=1&computer=M&gamename=quorix0dif0");
        ASSERT_TRUE(refused);
        EXPECT_EQ(refused->status, 500);
        EXPECT_EQ(refused->body.find("ok"), std::string::npos);
        EXPECT_EQ(refused->body.find("yes"), std::string::npos);
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(other);

        // Once the lock is gone the store works again.
        auto stored =
            client.Get("/universe/scoresubmitter.php?name=b&score=2&computer=M&gamename=quorix0dif0");
        ASSERT_TRUE(stored);
        EXPECT_EQ(stored->status, 200);
        std::vector<ScoreRow> rows = store.top(GameId{0, 0}, 10);
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].name, "b");
        server.stop();
        serving.join();
    }
    std::filesystem::remove_all(folder);
}
