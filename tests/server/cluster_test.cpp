// Several quorix-scored processes on one PostgreSQL under the load generator, one of them killed with
// SIGKILL midway: nothing acknowledged may be lost and the tables must be those a single process would
// keep. (The full 20,000-request runs are the load tool's; this one uses fewer requests, enough for
// thousands of concurrent writes to few games. A database stopped midway is the HTTP tests' case.)
#include "server_process.h"
#include "support/scored.h"

#include <atomic>
#include <gtest/gtest.h>
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

    LocalPostgres postgres;
};

} // namespace

TEST_F(Cluster, FourProcessesOneKilledMidwayLoseNothingAcknowledged) {
    std::vector<std::unique_ptr<ServerProcess>> servers;
    loadgen::Settings settings;
    settings.requests = 3000;
    settings.clients = 16;
    // Three games only, and few distinct scores: every submission fights over the same tables.
    settings.games = {scored::GameId{0, 1}, scored::GameId{1, 1}, scored::GameId{2, 1}};
    settings.scoreRange = 150;
    settings.timeLimitSeconds = 100;
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
    EXPECT_FALSE(result.outOfTime);
    EXPECT_EQ(result.latenciesMs.size(), static_cast<size_t>(settings.requests)) << "every request answered";
    EXPECT_EQ(result.unexpected, 0);
    std::unique_ptr<scored::ScoreStore> store = scored::openScoreStore(postgres.location("scores"));
    for (const std::string &fault : loadgen::checkTables(*store, result, settings.games))
        ADD_FAILURE() << fault;
    EXPECT_GT(result.acknowledged.size(), static_cast<size_t>(settings.requests / 2 - 100));
}
