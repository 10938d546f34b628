// The server over HTTP: the four pages the game calls, refusals, methods, rate limits (and the limiter
// itself), the web pages and failures of the store. (Both backends' tables are the store's own tests.)
#include "server/rate_limit.h"
#include "support/http_request_server.h"
#include "support/scored.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <sqlite3.h>

using namespace scored;

namespace {

using support::Answer;
using support::request;

class Http : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_GT(server.port, 0); }
    Answer get(const std::string &target) { return request(server.port, target); }

    RunningServer server;
};

const std::string kSubmit = "/universe/scoresubmitter.php?";
const std::string kRest = "&computer=M&gamename=quorix0dif0";

} // namespace

// (A name of every kind of character through the plain page is the game's web test.)
TEST_F(Http, ASubmissionLandsInItsTableAsPlainTextAndAnswersTheRankQuestions) {
    EXPECT_EQ(get("/universe/ishighscore.php?gamename=quorix0dif2&submtdscore=0").body, "yes");
    const Answer stored =
        get("/universe/scoresubmitterdesc.php?name=Bo&score=95&computer=M&gamename=quorix2dif0");
    EXPECT_EQ(stored, (Answer{200, "ok", "text/plain; charset=utf-8"}));
    EXPECT_EQ(server.store->top(GameId{2, 0}, 10).at(0).name, "Bo");
    for (int i = 0; i < 99; ++i)
        server.store->add(Submission{GameId{2, 0}, 95, "x", "M"}, 0);
    EXPECT_EQ(get("/universe/ishighscoredesc.php?gamename=quorix2dif0&submtdscore=95").body, "no");
    EXPECT_EQ(get("/universe/ishighscoredesc.php?gamename=quorix2dif0&submtdscore=94").body, "yes");
}

// The fields themselves are checked by the rules' own tests; here each kind of refusal gets its status
// and one line of reason, and nothing is stored.
TEST_F(Http, HostileAndMalformedRequestsAreRefusedAndStoreNothing) {
    const std::vector<std::tuple<std::string, std::string, int>> cases = {
        {kSubmit + "name=a&score=-1" + kRest, "GET", 400},
        {"/universe/ishighscore.php?gamename=quorix3dif0&submtdscore=1", "GET", 400},
        {"/universe/ishighscore.php?gamename=quorix0dif0&submtdscore=abc", "GET", 400},
        {kSubmit + "name=a%zz&score=1" + kRest, "GET", 400},
        // HEAD must never store; other methods are not allowed on these pages at all.
        {kSubmit + "name=a&score=1" + kRest, "HEAD", 405},
        {kSubmit + "name=a&score=1" + kRest, "POST", 405},
        {"/", "DELETE", 405},
        {"/universe/other.php", "GET", 404},
        {"/game/quorix3dif0", "GET", 404},
        {"/game/", "GET", 404},
        {"/favicon.ico", "POST", 404},
    };
    for (const auto &[target, method, status] : cases) {
        SCOPED_TRACE(method + " " + target.substr(0, 100));
        const Answer answer = request(server.port, target, method);
        EXPECT_EQ(answer.status, status);
        if (method != "HEAD") {
            ASSERT_FALSE(answer.body.empty());
            EXPECT_EQ(answer.body.find('\n'), answer.body.size() - 1) << answer.body;
            EXPECT_EQ(answer.body.find("yes"), std::string::npos) << "a refusal must never read as 'ranks'";
        }
    }
    EXPECT_EQ(get("/universe/scoresubmitter.php?name=a&score=1").body, "missing gamename\n");
    for (GameId game : rankedGames())
        EXPECT_EQ(server.store->count(game), 0) << game.name();

    // Read-only pages answer HEAD like GET without the body; a body where none belongs is refused.
    const Answer head =
        request(server.port, "/universe/ishighscore.php?gamename=quorix0dif0&submtdscore=1", "HEAD");
    EXPECT_EQ(head.status, 200);
    EXPECT_EQ(head.body, "");
    EXPECT_EQ(request(server.port, "/", "HEAD").status, 200);
    EXPECT_EQ(request(server.port, "/universe/ishighscore.php", "POST", std::string(100, 'x')).status, 405);
}

TEST_F(Http, WebPagesShowTheTwelveRankedGamesByTheGamesOwnNamesAndEscapeNames) {
    server.store->add(Submission{GameId{0, 0}, 1234, "<script>alert(\"&\")</script>", "M"}, 0);
    server.store->add(Submission{GameId{2, 3}, 3723, "Swift", "M"}, 0);
    for (uint32_t i = 1; i <= 120; ++i)
        server.store->add(Submission{GameId{1, 0}, i, "n" + std::to_string(i), "M"}, 0);

    const Answer index = get("/");
    ASSERT_EQ(index.status, 200);
    EXPECT_EQ(index.contentType, "text/html; charset=utf-8");
    for (GameId game : rankedGames())
        EXPECT_NE(index.body.find("href=\"/game/" + game.name() + "\""), std::string::npos);
    for (const char *shown : {"60 Seconds, Easy", "5 Minutes, Normal", "Million, Hard", "Million, Expert",
                              "&lt;script&gt;alert(&quot;&amp;&quot;)&lt;/script&gt;", "01:02:03", ">n111<"})
        EXPECT_NE(index.body.find(shown), std::string::npos) << shown;
    // No relax table, no bare seconds, nothing loaded from elsewhere, only the best ten.
    for (const char *hidden :
         {"quorix3", "Relax", "difficulty 1", "<script>", "3723", "http", "src=", ">n110<"})
        EXPECT_EQ(index.body.find(hidden), std::string::npos) << hidden;

    const Answer page = get("/game/quorix1dif0");
    ASSERT_EQ(page.status, 200);
    EXPECT_NE(page.body.find("5 Minutes, Easy"), std::string::npos);
    EXPECT_NE(page.body.find(">n21<"), std::string::npos) << "the best hundred";
    EXPECT_EQ(page.body.find(">n20<"), std::string::npos);
    EXPECT_EQ(page.body.find("Swift"), std::string::npos);
}

// Each address, or IPv6 /64 network, has an allowance of its own, in a table of bounded size.
TEST(RateLimit, EachAddressHasItsOwnAllowanceAndAnIpv6NetworkCountsAsOne) {
    RateLimiter limiter(2, 3);
    int retryAfter = 0;
    // address, allowed
    const std::vector<std::pair<const char *, bool>> steps = {
        {"192.0.2.1", true},
        {"192.0.2.1", true},
        {"192.0.2.1", false}, // a burst of 2, then no more
        {"192.0.2.2", true},  // its neighbour is apart
        {"2001:db8:1:2::1", true},
        {"2001:db8:1:2::ffff", true},    // one /64 network...
        {"2001:db8:1:2:aaaa::9", false}, // ...shares one allowance
        {"2001:db8:1:3::1", false},      // a fourth address while the table of three is full: refused
        {"192.0.2.2", true},             // known addresses carry on
    };
    for (const auto &[address, allowed] : steps) {
        EXPECT_EQ(limiter.allow(address, retryAfter), allowed) << address;
        if (!allowed) {
            EXPECT_GE(retryAfter, 1) << address;
            EXPECT_LE(retryAfter, 60) << address;
        }
    }
    RateLimiter unlimited(0, 1);
    for (int i = 0; i < 1000; ++i)
        EXPECT_TRUE(unlimited.allow("192.0.2." + std::to_string(i % 250), retryAfter));
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
            return request(server.port, kSubmit + "name=a&score=1" + kRest, "GET", "", headers);
        };
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(submit("").status, 200);
        const Answer limited = submit("");
        EXPECT_EQ(limited.status, 429);
        EXPECT_EQ(limited.body, "too many submissions from your address; try again later\n");
        // A client behind the proxy (the last address the proxy added counts, not what the client
        // wrote before it) has an allowance of its own, and only when the server is told so.
        EXPECT_EQ(submit("6.6.6.6, 203.0.113.9").status, behindProxy ? 200 : 429);
        EXPECT_EQ(submit("203.0.113.10").status, behindProxy ? 200 : 429);
        EXPECT_EQ(server.store->count(GameId{0, 0}), behindProxy ? 5 : 3);
        EXPECT_EQ(request(server.port, "/universe/ishighscore.php?gamename=quorix0dif0&submtdscore=1").status,
                  200)
            << "questions are never limited";
    }
}

// SQLite: another program holds the write lock for longer than the store waits (500). PostgreSQL: the
// database is stopped (503 with a reason, at once, for questions and pages too), then started again.
TEST(HttpStoreFailure, ASubmissionThatCannotBeStoredIsNeverAcknowledged) {
    TestDatabase database(Backend::Sqlite);
    std::vector<std::string> locations = {database.location};
    std::unique_ptr<LocalPostgres> postgres;
    if (postgresMissing().empty()) {
        postgres = std::make_unique<LocalPostgres>();
        ASSERT_TRUE(postgres->ok()) << postgres->reason();
        locations.push_back(postgres->location());
    }
    sqlite3 *other = nullptr;
    ASSERT_EQ(sqlite3_open(database.location.c_str(), &other), SQLITE_OK);
    for (const std::string &location : locations) {
        const bool sqlite = location == database.location;
        StoreSettings quick;
        quick.busyTimeoutMs = 50;
        quick.waitMs = 500;
        std::unique_ptr<ScoreStore> store = openScoreStore(location, quick);
        ScoreServer server(*store);
        std::string error;
        const int port = server.bind("127.0.0.1", 0, error);
        ASSERT_GT(port, 0);
        ASSERT_TRUE(server.start(error));
        if (sqlite)
            sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        else
            ASSERT_TRUE(postgres->stop());
        const Answer refused = request(port, kSubmit + "name=a&score=1" + kRest);
        EXPECT_EQ(refused.status, sqlite ? 500 : 503);
        EXPECT_EQ(refused.body.find("ok"), std::string::npos) << refused.body;
        EXPECT_EQ(refused.body.find('\n'), refused.body.size() - 1) << refused.body;
        if (!sqlite) {
            EXPECT_EQ(refused.body, "the score database is unreachable; try again later\n");
            EXPECT_EQ(request(port, "/").status, 503);
            EXPECT_EQ(request(port, "/universe/ishighscore.php?gamename=quorix0dif0&submtdscore=1").status,
                      503);
        }
        if (sqlite)
            sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        else
            ASSERT_TRUE(postgres->start());
        // The pooled connections died with the old database server; new ones are made unasked.
        EXPECT_EQ(request(port, kSubmit + "name=b&score=2" + kRest).body, "ok");
        const std::vector<ScoreRow> rows = store->top(GameId{0, 0}, 10);
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].name, "b");
        server.stop();
    }
    sqlite3_close(other);
}

// A route with a body (as a replay upload is): the handler sees the whole body, a larger one is refused
// before it is read (413) or, sent in chunks without a length, cut off without an answer as soon as
// the pieces outgrow the cap. (Every route of the server runs on a worker.)
TEST(HttpServerRoutes, BodiesAreTakenUpToTheirRoutesCap) {
    HttpServer http(HttpLimits{});
    http.addRoute(HttpRoute{"POST", "/echo",
                            [](const HttpRequest &request) {
                                return textResponse(200, std::to_string(request.body.size()) + " " +
                                                             request.rawQuery + " " + request.clientAddress);
                            },
                            false, 1000});
    std::string error;
    const int port = http.bind("127.0.0.1", 0, error);
    ASSERT_GT(port, 0) << error;
    ASSERT_TRUE(http.start(error)) << error;
    EXPECT_EQ(request(port, "/echo?x=%41", "POST", std::string(1000, 'b')).body, "1000 x=%41 127.0.0.1\n");
    EXPECT_EQ(request(port, "/echo", "POST", std::string(1001, 'b')).status, 413);
    httplib::Client client("127.0.0.1", port);
    auto chunked = client.Post(
        "/echo",
        [](size_t offset, httplib::DataSink &sink) { // 1001 bytes: one over, however they are split
            const std::string chunk(std::min<size_t>(500, 1001 - offset), 'c');
            return offset < 1001 ? sink.write(chunk.data(), chunk.size()) : (sink.done(), true);
        },
        "application/octet-stream");
    EXPECT_TRUE(!chunked || chunked->status != 200);
    EXPECT_EQ(request(port, "/echo").status, 405);
    http.stop();
}
