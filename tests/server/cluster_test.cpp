// Several quorix-scored processes on one PostgreSQL under the load generator: one of them killed with
// SIGKILL midway, or the database stopped and started again midway. Nothing acknowledged may be lost
// and the tables must be those a single process would keep. (The full 20,000-request runs are the
// load tool's; these use fewer requests, enough for thousands of concurrent writes to few games.)
#include "server_process.h"
#include "support/scored.h"

#include <atomic>
#include <gtest/gtest.h>
#include <httplib.h>
#include <thread>

#include "server/testkit/load_generator.h"

namespace {

class Cluster : public ::testing::Test {
protected:
    void SetUp() override {
        if (!postgresMissing().empty())
            GTEST_SKIP() << postgresMissing();
        ASSERT_TRUE(postgres.ok()) << postgres.reason();
        ASSERT_TRUE(postgres.createDatabase("scores"));
    }
    std::unique_ptr<ServerProcess> startServer(int port = 0) {
        auto server = std::make_unique<ServerProcess>(
            std::vector<std::string>{"--port", std::to_string(port), "--db", postgres.location("scores"),
                                     "--submissions-per-minute", "0"});
        EXPECT_GT(server->port(), 0) << server->errors();
        return server;
    }
    loadgen::Settings load() {
        loadgen::Settings settings;
        settings.requests = 3000;
        settings.clients = 16;
        // Three games only, and few distinct scores: every submission fights over the same tables.
        settings.games = {scored::GameId{0, 1}, scored::GameId{1, 1}, scored::GameId{2, 1}};
        settings.scoreRange = 150;
        settings.timeLimitSeconds = 100;
        return settings;
    }
    void expectRightTables(const loadgen::Result &result, const loadgen::Settings &settings) {
        EXPECT_FALSE(result.outOfTime);
        EXPECT_EQ(result.latenciesMs.size(), static_cast<size_t>(settings.requests))
            << "every request answered";
        EXPECT_EQ(result.unexpected, 0);
        std::unique_ptr<scored::ScoreStore> store = scored::openScoreStore(postgres.location("scores"));
        for (const std::string &fault : loadgen::checkTables(*store, result, settings.games))
            ADD_FAILURE() << fault;
        EXPECT_GT(result.acknowledged.size(), static_cast<size_t>(settings.requests / 2 - 100));
    }

    LocalPostgres postgres;
};

} // namespace

TEST_F(Cluster, FourProcessesOneKilledMidwayLoseNothingAcknowledged) {
    std::vector<std::unique_ptr<ServerProcess>> servers;
    loadgen::Settings settings = load();
    for (int i = 0; i < 4; ++i) {
        servers.push_back(startServer());
        settings.ports.push_back(servers.back()->port());
    }
    settings.midway = [&] {
        int port = servers[1]->port();
        servers[1]->kill9();
        servers[1] = startServer(port);
    };
    // Watch the tables while they are written: at no moment may a game hold more than it shows.
    std::atomic<bool> loaded{false};
    int64_t mostRows = 0;
    std::thread watcher([&] {
        std::unique_ptr<scored::ScoreStore> store = scored::openScoreStore(postgres.location("scores"));
        while (!loaded)
            for (scored::GameId game : settings.games)
                mostRows = std::max(mostRows, store->count(game));
    });
    loadgen::Result result = loadgen::run(settings);
    loaded = true;
    watcher.join();
    EXPECT_LE(mostRows, scored::kTableSize);
    servers.clear();
    expectRightTables(result, settings);
}

TEST_F(Cluster, TheDatabaseStoppedUnderLoadGives503ThenServiceAgain) {
    std::vector<std::unique_ptr<ServerProcess>> servers;
    loadgen::Settings settings = load();
    settings.requests = 2000;
    for (int i = 0; i < 2; ++i) {
        servers.push_back(startServer());
        settings.ports.push_back(servers.back()->port());
    }
    std::string answerWhileDown;
    settings.midway = [&] {
        ASSERT_TRUE(postgres.stop());
        // Wait for the refusal itself rather than for time to pass.
        httplib::Client client("127.0.0.1", settings.ports[0]);
        for (int attempt = 0; attempt < 200; ++attempt) {
            auto answer =
                client.Get("/universe/scoresubmitter.php?name=down&score=1&computer=M&gamename=quorix0dif1");
            if (answer && answer->status == 503) {
                answerWhileDown = answer->body;
                break;
            }
        }
        ASSERT_TRUE(postgres.start());
    };
    loadgen::Result result = loadgen::run(settings);
    EXPECT_EQ(answerWhileDown, "the score database is unreachable; try again later\n");
    EXPECT_GT(result.unavailable, 0) << "the clients saw 503 meanwhile";
    servers.clear();
    expectRightTables(result, settings);
}
