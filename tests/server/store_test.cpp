// The world tables on both backends: the 100 places, ties, the million mode's order, trimming, rows
// that outlive the process, several stores (processes) on one database, and start-up checks.
#include "support/scored.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <set>
#include <sys/stat.h>
#include <thread>

using namespace scored;

namespace {

const GameId kSixty{0, 1};
const GameId kMillion{2, 1};

class Store : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        if (GetParam() == Backend::Postgres) {
            if (!postgresMissing().empty())
                GTEST_SKIP() << postgresMissing();
            ASSERT_TRUE(sharedPostgres().ok()) << sharedPostgres().reason();
        }
        database = std::make_unique<TestDatabase>(GetParam());
        ASSERT_FALSE(database->location.empty());
        store = database->open();
    }
    void add(GameId game, uint32_t score, const std::string &name = "p", int64_t arrived = 1000) {
        store->add(Submission{game, score, name, "M"}, arrived);
    }
    std::vector<uint32_t> scores(GameId game) {
        std::vector<uint32_t> values;
        for (const ScoreRow &row : store->top(game, 1000))
            values.push_back(row.score);
        return values;
    }

    std::unique_ptr<TestDatabase> database;
    std::unique_ptr<ScoreStore> store;
};

} // namespace

TEST_P(Store, RanksTiesAndTrimsLikeTheTablesShow) {
    EXPECT_TRUE(store->wouldRank(kSixty, 0));
    for (int i = 0; i < 99; ++i)
        add(kSixty, 500 + static_cast<uint32_t>(i)); // 500 .. 598
    EXPECT_TRUE(store->wouldRank(kSixty, 0)) << "the 100th place is still free";
    add(kSixty, 599);
    EXPECT_FALSE(store->wouldRank(kSixty, 500)) << "a tie with a full table's last place";
    EXPECT_FALSE(store->wouldRank(kSixty, 0));
    EXPECT_TRUE(store->wouldRank(kSixty, 501));
    EXPECT_TRUE(store->wouldRank(kSixty, 2147483647u));

    // A tie goes below the rows it equals, and what falls out of the table is gone.
    add(kSixty, 550, "late");
    std::vector<ScoreRow> rows = store->top(kSixty, 1000);
    ASSERT_EQ(rows.size(), 100u);
    EXPECT_EQ(rows.front().score, 599u);
    EXPECT_EQ(rows[49].score, 550u);
    EXPECT_EQ(rows[49].name, "p");
    EXPECT_EQ(rows[50].name, "late");
    EXPECT_EQ(rows.back().score, 501u) << "500 fell out of the table";
    EXPECT_EQ(store->count(kSixty), 100);
    EXPECT_FALSE(store->wouldRank(kSixty, 501));

    // A flood of ties changes nothing: the earlier arrivals keep their places.
    for (int i = 0; i < 150; ++i)
        add(kSixty, 501, "spam");
    EXPECT_EQ(store->count(kSixty), 100);
    EXPECT_EQ(store->top(kSixty, 1000).back().name, "p");

    // Other games keep tables of their own.
    EXPECT_TRUE(store->wouldRank(GameId{0, 2}, 1));
    EXPECT_TRUE(store->top(GameId{1, 1}, 10).empty());
}

TEST_P(Store, TheMillionModeRanksLowerTimesFirst) {
    for (int i = 0; i < 100; ++i)
        add(kMillion, 100 + static_cast<uint32_t>(i)); // 100 .. 199 seconds
    EXPECT_FALSE(store->wouldRank(kMillion, 199)) << "a tie with the slowest place";
    EXPECT_FALSE(store->wouldRank(kMillion, 500));
    EXPECT_TRUE(store->wouldRank(kMillion, 198));
    EXPECT_TRUE(store->wouldRank(kMillion, 0));
    add(kMillion, 42, "fast");
    add(kMillion, 100, "tie");
    std::vector<uint32_t> expected = {42, 100, 100};
    for (uint32_t s = 101; s < 198; ++s)
        expected.push_back(s);
    EXPECT_EQ(scores(kMillion), expected) << "199 and 198 fell out";
    std::vector<ScoreRow> rows = store->top(kMillion, 3);
    EXPECT_EQ(rows[0].name, "fast");
    EXPECT_EQ(rows[2].name, "tie");
}

TEST_P(Store, RowsComeBackVerbatimAfterReopening) {
    const std::string hostile = "Robert'); DROP TABLE scores;--";
    store->add(Submission{kSixty, 77, hostile, "M\\x"}, 1765000000);
    store.reset();
    store = database->open();
    std::vector<ScoreRow> rows = store->top(kSixty, 10);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].name, hostile);
    EXPECT_EQ(rows[0].score, 77u);
    EXPECT_EQ(rows[0].computer, "M\\x");
    EXPECT_EQ(rows[0].arrived, 1765000000);
}

TEST_P(Store, StoresStartingAtOnceAndWritingAtOnceKeepOneRightTable) {
    // Four stores on one database stand for four server processes: they start together (the schema
    // is made once), then write tied and untied scores into one game from many threads at once.
    store.reset();
    std::vector<std::unique_ptr<ScoreStore>> stores(4);
    {
        std::vector<std::thread> starting;
        for (auto &each : stores)
            starting.emplace_back([&] { each = database->open(); });
        for (std::thread &thread : starting)
            thread.join();
    }
    constexpr int kThreads = 8, kEach = 40;
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i)
                stores[static_cast<size_t>(t) % stores.size()]->add(
                    Submission{kSixty, static_cast<uint32_t>((t * 7 + i * 13) % 50),
                               "t" + std::to_string(t) + "-" + std::to_string(i), "M"},
                    0);
        });
    }
    for (std::thread &thread : writers)
        thread.join();

    // The reference: every score, best first, cut at 100.
    std::vector<uint32_t> all;
    for (int t = 0; t < kThreads; ++t)
        for (int i = 0; i < kEach; ++i)
            all.push_back(static_cast<uint32_t>((t * 7 + i * 13) % 50));
    std::sort(all.rbegin(), all.rend());
    all.resize(100);
    std::vector<ScoreRow> rows = stores[0]->top(kSixty, 1000);
    std::vector<uint32_t> stored;
    std::set<std::string> names;
    for (const ScoreRow &row : rows) {
        stored.push_back(row.score);
        names.insert(row.name);
    }
    EXPECT_EQ(stored, all);
    EXPECT_EQ(names.size(), rows.size()) << "no row twice";
    EXPECT_EQ(stores[1]->count(kSixty), 100);
    for (size_t i = 1; i < rows.size(); ++i) {
        if (rows[i].score == rows[i - 1].score) {
            EXPECT_LT(rows[i - 1].id, rows[i].id) << "ties in order of arrival";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, Store, ::testing::Values(Backend::Sqlite, Backend::Postgres),
                         [](const auto &info) { return backendName(info.param); });

TEST(SqliteStore, AFirstServersFileIsUpgradedAndKeepsOnlyWhatTheTablesShow) {
    TestDatabase database(Backend::Sqlite);
    // The layout the first server wrote: no schema version, every row ever sent, relax rows too.
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(database.location.c_str(), &db), SQLITE_OK);
    std::string sql =
        "BEGIN; CREATE TABLE scores (id INTEGER PRIMARY KEY, game TEXT NOT NULL, name TEXT NOT NULL,"
        " score INTEGER NOT NULL, computer TEXT NOT NULL, arrived INTEGER NOT NULL);"
        "CREATE INDEX scores_by_game ON scores (game, score, id);";
    for (int i = 0; i < 150; ++i)
        sql += "INSERT INTO scores (game, name, score, computer, arrived) VALUES ('quorix0dif0', 'n" +
               std::to_string(i) + "', " + std::to_string(i % 60) + ", 'M', 5);";
    sql += "INSERT INTO scores (game, name, score, computer, arrived) VALUES ('quorix3dif0', 'relax', 9, "
           "'M', 5); COMMIT;";
    ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);

    std::unique_ptr<ScoreStore> store = database.open();
    std::vector<ScoreRow> rows = store->top(GameId{0, 0}, 1000);
    ASSERT_EQ(rows.size(), 100u);
    EXPECT_EQ(rows.front().name, "n59") << "59 came first among the 59s";
    EXPECT_EQ(rows.back().score, 16u) << "59 to 30 twice, 29 to 17 three times, one 16";
    EXPECT_EQ(store->count(GameId{3, 0}), 0);
    store.reset();
    EXPECT_NO_THROW(database.open()) << "opening an upgraded file again";
}

TEST(SqliteStore, AFileThatIsNoDatabaseOrCannotBeMadeIsRefused) {
    TestDatabase database(Backend::Sqlite);
    std::string path = database.folder.path("not-a-database");
    FILE *file = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(file);
    std::fputs("this is not an SQLite file, and it is long enough to have a header of sorts.......", file);
    std::fclose(file);
    EXPECT_THROW(openScoreStore(path), StoreError);
    EXPECT_THROW(openScoreStore(database.folder.path("missing-folder/scores.sqlite")), StoreError);
}

TEST(PostgresStore, RefusesWith503WhileTheDatabaseIsDownAndCarriesOnWhenItIsBack) {
    if (!postgresMissing().empty())
        GTEST_SKIP() << postgresMissing();
    LocalPostgres postgres; // its own, to stop and start
    ASSERT_TRUE(postgres.ok()) << postgres.reason();
    StoreSettings settings;
    settings.connections = 2;
    settings.waitMs = 1000;
    std::unique_ptr<ScoreStore> store = openScoreStore(postgres.location(), settings);
    store->add(Submission{kSixty, 5, "before", "M"}, 0);
    ASSERT_TRUE(postgres.stop());
    EXPECT_THROW(store->add(Submission{kSixty, 6, "down", "M"}, 0), StoreUnavailable);
    EXPECT_THROW(store->wouldRank(kSixty, 1), StoreUnavailable);
    EXPECT_THROW(store->top(kSixty, 10), StoreUnavailable);
    ASSERT_TRUE(postgres.start());
    // The pooled connections died with the old server; new ones are made without being asked.
    store->add(Submission{kSixty, 7, "after", "M"}, 0);
    std::vector<ScoreRow> rows = store->top(kSixty, 10);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].name, "after");
    EXPECT_EQ(rows[1].name, "before");
    EXPECT_THROW(openScoreStore("host=/nonexistent-quorix-folder dbname=x", settings), StoreError);
}
