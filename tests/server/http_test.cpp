// The server over HTTP: the four pages the game calls, refusals, methods, rate limits, the web pages,
// the same bytes from both backends, and failures of the store.
#include "support/scored.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <sqlite3.h>

using namespace scored;

namespace {

struct Answer {
    int status = -1;
    std::string body;
    std::string contentType;
    bool operator==(const Answer &) const = default;
};

// A request of any method to a raw target (sent exactly as written).
Answer request(int port, const std::string &target, const std::string &method = "GET",
               const httplib::Headers &headers = {}) {
    httplib::Client client("127.0.0.1", port);
    httplib::Request request;
    request.method = method;
    request.path = target;
    request.headers = headers;
    httplib::Result result = client.send(request);
    if (!result)
        return {};
    return {result->status, result->body, result->get_header_value("Content-Type")};
}

int64_t storedRows(ScoreStore &store) {
    int64_t total = 0;
    for (int mode = 0; mode < kModes; ++mode)
        for (int difficulty = 0; difficulty < kDifficulties; ++difficulty)
            total += store.count(GameId{mode, difficulty});
    return total;
}

class Http : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_GT(server.port, 0); }
    Answer get(const std::string &target) { return request(server.port, target); }

    RunningServer server;
};

const std::string kSubmit = "/universe/scoresubmitter.php?";
const std::string kRest = "&computer=M&gamename=quorix0dif0";

} // namespace

TEST_F(Http, ASubmissionLandsInItsTableAndAnswersTheRankQuestions) {
    EXPECT_EQ(get("/universe/ishighscore.php?gamename=quorix0dif2&submtdscore=0").body, "yes");
    Answer stored = get(kSubmit + "name=Ann%20Lee&score=4200&computer=M&gamename=quorix0dif2");
    EXPECT_EQ(stored.status, 200);
    EXPECT_EQ(stored.body, "ok");
    std::vector<ScoreRow> rows = server.store->top(GameId{0, 2}, 10);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].name, "Ann Lee");
    EXPECT_EQ(rows[0].score, 4200u);

    EXPECT_EQ(get("/universe/scoresubmitterdesc.php?name=Bo&score=95&computer=M&gamename=quorix2dif0").status,
              200);
    EXPECT_EQ(server.store->top(GameId{2, 0}, 10).at(0).name, "Bo");
    for (int i = 0; i < 99; ++i)
        server.store->add(Submission{GameId{2, 0}, 95, "x", "M"}, 0);
    EXPECT_EQ(get("/universe/ishighscoredesc.php?gamename=quorix2dif0&submtdscore=95").body, "no");
    EXPECT_EQ(get("/universe/ishighscoredesc.php?gamename=quorix2dif0&submtdscore=94").body, "yes");
}

TEST_F(Http, HostileAndMalformedRequestsAreRefusedAndStoreNothing) {
    // target, method, expected status
    const std::vector<std::tuple<std::string, std::string, int>> cases = {
        {kSubmit + "score=1" + kRest, "GET", 400},                                   // no name
        {kSubmit + "name=a&computer=M&gamename=quorix0dif0", "GET", 400},            // no score
        {kSubmit + "name=a&score=1&computer=M", "GET", 400},                         // no game
        {kSubmit + "name=a&score=-1" + kRest, "GET", 400},                           // negative
        {kSubmit + "name=a&score=2147483648" + kRest, "GET", 400},                   // over 2^31 - 1
        {kSubmit + "name=a&score=18446744073709551617" + kRest, "GET", 400},         // over 2^64
        {kSubmit + "name=a&score=1%20OR%201=1" + kRest, "GET", 400},                 // SQL in the score
        {kSubmit + "name=a&score=1&computer=M&gamename=quorix0dif0'--", "GET", 400}, // SQL in the game
        {kSubmit + "name=a&score=1&computer=M&gamename=quorix9dif0", "GET", 400},
        {kSubmit + "name=a&score=1&computer=M&gamename=quorix2dif0", "GET", 400}, // million mode, wrong page
        {kSubmit + "name=a&score=1&computer=M&gamename=quorix3dif1", "GET", 400}, // relax: no world table
        {"/universe/ishighscore.php?gamename=quorix3dif0&submtdscore=1", "GET", 400},
        {kSubmit + "name=" + std::string(1000, 'A') + "&score=1" + kRest, "GET", 400},
        {kSubmit + "name=" + std::string(20000, 'A') + "&score=1" + kRest, "GET",
         414}, // over the head's room
        {kSubmit + "name=a%zz&score=1" + kRest, "GET", 400},
        {kSubmit + "name=a%2&score=1" + kRest, "GET", 400},
        {kSubmit + "name=a%00b&score=1" + kRest, "GET", 400},
        {kSubmit + "name=a&name=b&score=1" + kRest, "GET", 400},
        {"/universe/scoresubmitterdesc.php?name=a&score=1" + kRest, "GET",
         400}, // higher-is-better, desc page
        {"/universe/ishighscore.php?gamename=quorix0dif0&submtdscore=abc", "GET", 400},
        {"/universe/ishighscore.php?gamename=quorix0dif0", "GET", 400},
        {"/universe/ishighscore.php", "GET", 400},
        // HEAD must never store; other methods are not allowed on these pages at all.
        {kSubmit + "name=a&score=1" + kRest, "HEAD", 405},
        {"/universe/scoresubmitterdesc.php?name=a&score=1&computer=M&gamename=quorix2dif0", "HEAD", 405},
        {kSubmit + "name=a&score=1" + kRest, "POST", 405},
        {kSubmit + "name=a&score=1" + kRest, "PUT", 405},
        {"/", "DELETE", 405},
        {"/universe/other.php", "GET", 404},
        {"/game/quorix4dif0", "GET", 404},
        {"/game/quorix3dif0", "GET", 404},
        {"/game/", "GET", 404},
        {"/favicon.ico", "POST", 404},
    };
    for (const auto &[target, method, status] : cases) {
        Answer answer = request(server.port, target, method);
        EXPECT_EQ(answer.status, status) << method << " " << target.substr(0, 120);
        if (method == "HEAD" || status == 414)
            continue; // no body to read, or the library's own page
        // One line of reason, nothing else.
        ASSERT_FALSE(answer.body.empty()) << target.substr(0, 120);
        EXPECT_EQ(answer.body.find('\n'), answer.body.size() - 1) << answer.body;
        EXPECT_EQ(answer.body.find("yes"), std::string::npos) << "a refusal must never read as 'ranks'";
    }
    EXPECT_EQ(get("/universe/scoresubmitter.php?name=a&score=1").body, "missing gamename\n");
    EXPECT_EQ(storedRows(*server.store), 0);

    // Read-only pages answer HEAD like GET without the body.
    Answer head =
        request(server.port, "/universe/ishighscore.php?gamename=quorix0dif0&submtdscore=1", "HEAD");
    EXPECT_EQ(head.status, 200);
    EXPECT_EQ(head.body, "");
    EXPECT_EQ(request(server.port, "/", "HEAD").status, 200);
    // A body where none belongs.
    httplib::Client client("127.0.0.1", server.port);
    auto withBody = client.Post("/universe/ishighscore.php", std::string(100, 'x'), "text/plain");
    ASSERT_TRUE(withBody);
    EXPECT_EQ(withBody->status, 405);
}

TEST_F(Http, SqlInANameIsStoredAsPlainText) {
    const std::string name = "x'); DROP TABLE scores;--";
    EXPECT_EQ(
        get(kSubmit + "name=x%27)%3B%20DROP%20TABLE%20scores%3B--&score=3&computer=M&gamename=quorix1dif1")
            .status,
        200);
    EXPECT_EQ(server.store->top(GameId{1, 1}, 1).at(0).name, name);
    EXPECT_EQ(storedRows(*server.store), 1);
}

TEST_F(Http, WebPagesShowTheTwelveRankedGamesByTheGamesOwnNamesAndEscapeNames) {
    server.store->add(Submission{GameId{0, 0}, 1234, "<script>alert(\"&\")</script>", "M"}, 0);
    server.store->add(Submission{GameId{2, 3}, 3723, "Swift", "M"}, 0);
    for (uint32_t i = 1; i <= 120; ++i)
        server.store->add(Submission{GameId{1, 0}, i, "n" + std::to_string(i), "M"}, 0);

    Answer index = get("/");
    ASSERT_EQ(index.status, 200);
    EXPECT_EQ(index.contentType, "text/html; charset=utf-8");
    for (GameId game : rankedGames())
        EXPECT_NE(index.body.find("href=\"/game/" + game.name() + "\""), std::string::npos);
    EXPECT_EQ(index.body.find("quorix3"), std::string::npos) << "the relax mode has no table";
    EXPECT_EQ(index.body.find("Relax"), std::string::npos);
    for (const char *title : {"60 Seconds, Easy", "5 Minutes, Normal", "Million, Hard", "Million, Expert"})
        EXPECT_NE(index.body.find(title), std::string::npos) << title;
    EXPECT_EQ(index.body.find("difficulty 1"), std::string::npos);
    EXPECT_EQ(index.body.find("<script>"), std::string::npos);
    EXPECT_NE(index.body.find("&lt;script&gt;alert(&quot;&amp;&quot;)&lt;/script&gt;"), std::string::npos);
    EXPECT_NE(index.body.find("01:02:03"), std::string::npos) << "3723 s of the million mode";
    EXPECT_EQ(index.body.find("3723"), std::string::npos);
    EXPECT_EQ(index.body.find("http"), std::string::npos) << "nothing loaded from elsewhere";
    EXPECT_EQ(index.body.find("src="), std::string::npos);
    EXPECT_NE(index.body.find(">n111<"), std::string::npos) << "the best ten";
    EXPECT_EQ(index.body.find(">n110<"), std::string::npos);

    Answer page = get("/game/quorix1dif0");
    ASSERT_EQ(page.status, 200);
    EXPECT_NE(page.body.find("5 Minutes, Easy"), std::string::npos);
    EXPECT_NE(page.body.find(">n21<"), std::string::npos) << "the best hundred";
    EXPECT_EQ(page.body.find(">n20<"), std::string::npos);
    EXPECT_EQ(page.body.find("Swift"), std::string::npos);
}

TEST(HttpLimits, SubmissionsPerAddressAreRateLimitedAndAProxysClientsCountApart) {
    for (bool behindProxy : {false, true}) {
        ServerSettings settings;
        settings.submissionsPerMinute = 3;
        settings.http.behindProxy = behindProxy;
        RunningServer server(Backend::Sqlite, settings);
        ASSERT_GT(server.port, 0);
        auto submit = [&](const std::string &forwardedFor) {
            httplib::Headers headers;
            if (!forwardedFor.empty())
                headers.emplace("X-Forwarded-For", forwardedFor);
            return request(server.port, kSubmit + "name=a&score=1" + kRest, "GET", headers);
        };
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(submit("").status, 200);
        Answer limited = submit("");
        EXPECT_EQ(limited.status, 429);
        EXPECT_EQ(limited.body, "too many submissions from your address; try again later\n");
        // A client behind the proxy (the last address the proxy added counts, not what the client
        // wrote before it) has an allowance of its own, and only when the server is told so.
        EXPECT_EQ(submit("6.6.6.6, 203.0.113.9").status, behindProxy ? 200 : 429);
        EXPECT_EQ(submit("203.0.113.10").status, behindProxy ? 200 : 429);
        EXPECT_EQ(server.store->count(GameId{0, 0}), behindProxy ? 5 : 3);
        // Questions are never limited.
        EXPECT_EQ(request(server.port, "/universe/ishighscore.php?gamename=quorix0dif0&submtdscore=1").status,
                  200);
    }
}

TEST(HttpBackends, BothBackendsGiveTheSameBytes) {
    if (!postgresMissing().empty())
        GTEST_SKIP() << postgresMissing();
    ASSERT_TRUE(sharedPostgres().ok()) << sharedPostgres().reason();
    std::vector<std::string> script;
    for (int i = 0; i < 130; ++i) {
        GameId game{i % 3, (i / 3) % 4};
        std::string desc = game.lowerIsBetter() ? "desc" : "";
        std::string score = std::to_string((i * 37) % 23);
        script.push_back("/universe/scoresubmitter" + desc + ".php?name=p" + std::to_string(i % 7) +
                         "&score=" + score + "&computer=M&gamename=" + game.name());
        script.push_back("/universe/ishighscore" + desc + ".php?gamename=" + game.name() +
                         "&submtdscore=" + score);
    }
    for (GameId game : rankedGames())
        script.push_back("/game/" + game.name());
    script.insert(script.end(),
                  {"/", "/game/quorix3dif0", "/universe/ishighscore.php?gamename=quorix2dif0&submtdscore=1",
                   kSubmit + "name=a%zz&score=1" + kRest});

    std::vector<std::vector<Answer>> answers;
    for (Backend backend : {Backend::Sqlite, Backend::Postgres}) {
        RunningServer server(backend);
        ASSERT_GT(server.port, 0) << backendName(backend);
        answers.emplace_back();
        for (const std::string &target : script)
            answers.back().push_back(request(server.port, target));
    }
    for (size_t i = 0; i < script.size(); ++i) {
        EXPECT_EQ(answers[0][i], answers[1][i]) << script[i];
        EXPECT_NE(answers[0][i].status, -1) << script[i];
    }
}

TEST(HttpStoreFailure, ASubmissionThatCannotBeStoredIsNeverAcknowledged) {
    // SQLite: another program holds the write lock for longer than the store waits (500). PostgreSQL:
    // the database is stopped (503 with a reason, at once), then started again.
    TestDatabase database(Backend::Sqlite);
    StoreSettings quick;
    quick.busyTimeoutMs = 50;
    quick.waitMs = 500;
    std::unique_ptr<ScoreStore> sqlite = openScoreStore(database.location, quick);
    std::unique_ptr<LocalPostgres> postgres;
    std::unique_ptr<ScoreStore> pg;
    if (postgresMissing().empty()) {
        postgres = std::make_unique<LocalPostgres>();
        ASSERT_TRUE(postgres->ok()) << postgres->reason();
        pg = openScoreStore(postgres->location(), quick);
    }
    sqlite3 *other = nullptr;
    ASSERT_EQ(sqlite3_open(database.location.c_str(), &other), SQLITE_OK);
    struct Case {
        ScoreStore *store;
        std::function<void()> breakIt, mendIt;
        int status;
    };
    std::vector<Case> cases = {
        {sqlite.get(), [&] { sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr); },
         [&] { sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr); }, 500},
    };
    if (pg)
        cases.push_back(
            {pg.get(), [&] { ASSERT_TRUE(postgres->stop()); }, [&] { ASSERT_TRUE(postgres->start()); }, 503});
    for (Case &failure : cases) {
        ScoreServer server(*failure.store);
        std::string error;
        int port = server.bind("127.0.0.1", 0, error);
        ASSERT_GT(port, 0);
        ASSERT_TRUE(server.start(error));
        failure.breakIt();
        Answer refused = request(port, kSubmit + "name=a&score=1" + kRest);
        EXPECT_EQ(refused.status, failure.status);
        EXPECT_EQ(refused.body.find("ok"), std::string::npos) << refused.body;
        EXPECT_EQ(refused.body.find('\n'), refused.body.size() - 1) << refused.body;
        if (failure.status == 503) {
            EXPECT_EQ(refused.body, "the score database is unreachable; try again later\n");
            EXPECT_EQ(request(port, "/").status, 503);
        }
        failure.mendIt();
        EXPECT_EQ(request(port, kSubmit + "name=b&score=2" + kRest).body, "ok");
        std::vector<ScoreRow> rows = failure.store->top(GameId{0, 0}, 10);
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].name, "b");
        server.stop();
    }
    sqlite3_close(other);
}

TEST(HttpServerRoutes, BodiesAreTakenUpToTheirRoutesCapOnWorkersAndInline) {
    // A route with a body (as a replay upload would be): the handler sees the whole body, a larger
    // one is refused before it is read (413) or, sent in chunks, cut off without an answer.
    for (bool onWorker : {true, false}) {
        HttpServer http(HttpLimits{});
        http.addRoute(HttpRoute{"POST", "/echo",
                                [](const HttpRequest &request) {
                                    return textResponse(200, std::to_string(request.body.size()) + " " +
                                                                 request.rawQuery + " " +
                                                                 request.clientAddress);
                                },
                                false, 1000, onWorker});
        std::string error;
        int port = http.bind("127.0.0.1", 0, error);
        ASSERT_GT(port, 0) << error;
        ASSERT_TRUE(http.start(error)) << error;
        httplib::Client client("127.0.0.1", port);
        auto fits = client.Post("/echo?x=%41", std::string(1000, 'b'), "application/octet-stream");
        ASSERT_TRUE(fits);
        EXPECT_EQ(fits->status, 200);
        EXPECT_EQ(fits->body, "1000 x=%41 127.0.0.1\n");
        auto tooLarge = client.Post("/echo", std::string(1001, 'b'), "application/octet-stream");
        ASSERT_TRUE(tooLarge);
        EXPECT_EQ(tooLarge->status, 413);
        auto chunked = client.Post(
            "/echo",
            [](size_t offset, httplib::DataSink &sink) {
                if (offset < 4000)
                    sink.write(std::string(500, 'c').data(), 500);
                else
                    sink.done();
                return true;
            },
            "application/octet-stream");
        EXPECT_TRUE(!chunked || chunked->status != 200);
        EXPECT_EQ(request(port, "/echo").status, 405);
        http.stop();
    }
}
