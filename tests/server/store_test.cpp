// The world tables on both backends: the 100 places, ties, the million mode's order, trimming, several
// stores (processes) on one database, and the first server's files.
#include "support/scored.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <random>
#include <set>
#include <thread>

using namespace scored;

namespace {

const GameId kSixty{0, 1};

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

    std::unique_ptr<TestDatabase> database;
    std::unique_ptr<ScoreStore> store;
};

} // namespace

// Hundreds of scores with many ties, into a higher-is-better and the lower-is-better (million) table:
// each table always holds the best hundred, ties below the rows they equal (in order of arrival), and
// a score would rank exactly when the table has room or it beats the last place.
TEST_P(Store, TablesKeepTheBestHundredTiesInOrderOfArrivalAndRankOnlyWhatWouldShow) {
    std::mt19937 random(20261207);
    for (const GameId game : {kSixty, GameId{2, 1}}) {
        SCOPED_TRACE(game.name());
        const auto better = [&](uint32_t a, uint32_t b) { return game.lowerIsBetter() ? a < b : a > b; };
        const uint32_t best = game.lowerIsBetter() ? 0 : kMaxScore,
                       worst = game.lowerIsBetter() ? kMaxScore : 0;
        std::vector<std::pair<uint32_t, std::string>> reference; // best first
        for (int i = 0; i < 300; ++i) {
            const uint32_t value = 100 + static_cast<uint32_t>(random() % 120);
            const bool room = reference.size() < static_cast<size_t>(kTableSize);
            ASSERT_EQ(store->wouldRank(game, value), room || better(value, reference.back().first)) << i;
            ASSERT_EQ(store->wouldRank(game, worst), room) << i;
            const std::string name = "p" + std::to_string(i) + "'); --\\"; // kept verbatim
            store->add(Submission{game, value, name, "M"}, 1000);
            const auto place =
                std::upper_bound(reference.begin(), reference.end(), value,
                                 [&](uint32_t v, const auto &row) { return better(v, row.first); });
            reference.insert(place, {value, name});
            if (reference.size() > static_cast<size_t>(kTableSize))
                reference.pop_back();
        }
        EXPECT_TRUE(store->wouldRank(game, best));
        EXPECT_EQ(store->count(game), kTableSize);
        std::vector<std::pair<uint32_t, std::string>> stored;
        for (const ScoreRow &row : store->top(game, 1000))
            stored.emplace_back(row.score, row.name);
        EXPECT_EQ(stored, reference);
    }
    EXPECT_TRUE(store->top(GameId{1, 1}, 10).empty()) << "other games keep tables of their own";
}

// Four stores on one database stand for four server processes: they start together (the schema is
// made once), then write tied and untied scores into one game from many threads at once.
TEST_P(Store, StoresStartingAtOnceAndWritingAtOnceKeepOneRightTable) {
    store.reset();
    std::vector<std::unique_ptr<ScoreStore>> stores(4);
    std::vector<std::thread> threads;
    for (auto &each : stores)
        threads.emplace_back([&] { each = database->open(); });
    for (std::thread &thread : threads)
        thread.join();
    threads.clear();
    std::vector<uint32_t> all, stored; // the reference: every score, best first, cut at 100
    for (int t = 0; t < 8; ++t) {
        std::vector<uint32_t> scores;
        for (int i = 0; i < 40; ++i)
            scores.push_back(static_cast<uint32_t>((t * 7 + i * 13) % 50));
        all.insert(all.end(), scores.begin(), scores.end());
        threads.emplace_back([&stores, t, scores] {
            for (size_t i = 0; i < scores.size(); ++i)
                stores[t % 4]->add(
                    Submission{kSixty, scores[i], "t" + std::to_string(t) + "-" + std::to_string(i), "M"}, 0);
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    std::sort(all.rbegin(), all.rend());
    all.resize(100);
    const std::vector<ScoreRow> rows = stores[0]->top(kSixty, 1000);
    std::set<std::string> names;
    for (size_t i = 0; i < rows.size(); ++i) {
        stored.push_back(rows[i].score);
        names.insert(rows[i].name);
        if (i > 0 && rows[i].score == rows[i - 1].score) {
            EXPECT_LT(rows[i - 1].id, rows[i].id) << "ties in order of arrival";
        }
    }
    EXPECT_EQ(stored, all);
    EXPECT_EQ(names.size(), rows.size()) << "no row twice";
    EXPECT_EQ(stores[1]->count(kSixty), 100);
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
           "'M', 5);"
           "COMMIT;";
    ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);

    std::unique_ptr<ScoreStore> store = database.open();
    const std::vector<ScoreRow> rows = store->top(GameId{0, 0}, 1000);
    ASSERT_EQ(rows.size(), 100u);
    EXPECT_EQ(rows.front().name, "n59") << "59 came first among the 59s";
    EXPECT_EQ(rows.back().score, 16u) << "59 to 30 twice, 29 to 17 three times, one 16";
    EXPECT_EQ(store->count(GameId{3, 0}), 0);
    store.reset();
    EXPECT_NO_THROW(database.open()) << "opening an upgraded file again";
}
