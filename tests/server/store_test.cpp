// The world tables: the 100 places, ties, the million mode's order, and rows that outlive the process.
#include "server/running_server.h"

#include <gtest/gtest.h>

#include <set>

using namespace scored;

namespace {

class Store : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/quorix-store-test-XXXXXX";
        folder = mkdtemp(pattern);
        store = std::make_unique<ScoreStore>(folder + "/scores.sqlite");
    }
    void TearDown() override {
        store.reset();
        std::filesystem::remove_all(folder);
    }
    void add(GameId game, uint32_t score, const std::string &name = "p", int64_t arrived = 1000) {
        store->add(Submission{game, score, name, "M"}, arrived);
    }

    std::string folder;
    std::unique_ptr<ScoreStore> store;
};

const GameId kSixty{0, 1};
const GameId kMillion{2, 1};

} // namespace

TEST_F(Store, AnEmptyOrPartlyFilledTableTakesAnyScore) {
    EXPECT_TRUE(store->wouldRank(kSixty, 0));
    for (int i = 0; i < 99; ++i)
        add(kSixty, 1000);
    EXPECT_TRUE(store->wouldRank(kSixty, 0)) << "the 100th place is still free";
    EXPECT_TRUE(store->wouldRank(kSixty, 1000));
}

TEST_F(Store, ATieWithAFullTablesLastPlaceDoesNotRank) {
    for (int i = 0; i < 100; ++i)
        add(kSixty, 500 + static_cast<uint32_t>(i)); // 500 .. 599
    EXPECT_FALSE(store->wouldRank(kSixty, 500));
    EXPECT_FALSE(store->wouldRank(kSixty, 0));
    EXPECT_TRUE(store->wouldRank(kSixty, 501));
    EXPECT_TRUE(store->wouldRank(kSixty, 2147483647u));

    // A tie goes below the rows it equals: the newcomer at 550 is listed after the old 550.
    add(kSixty, 550, "late");
    std::vector<ScoreRow> rows = store->top(kSixty, 100);
    ASSERT_EQ(rows.size(), 100u);
    EXPECT_EQ(rows.front().score, 599u);
    EXPECT_EQ(rows[49].score, 550u);
    EXPECT_EQ(rows[49].name, "p");
    EXPECT_EQ(rows[50].name, "late");
    EXPECT_EQ(rows.back().score, 501u) << "500 fell out of the table";
    EXPECT_FALSE(store->wouldRank(kSixty, 501));
    EXPECT_EQ(store->count(kSixty), 101);
}

TEST_F(Store, TheMillionModeRanksLowerTimesFirst) {
    for (int i = 0; i < 100; ++i)
        add(kMillion, 100 + static_cast<uint32_t>(i)); // 100 .. 199 seconds
    EXPECT_FALSE(store->wouldRank(kMillion, 199)) << "a tie with the slowest place";
    EXPECT_FALSE(store->wouldRank(kMillion, 500));
    EXPECT_TRUE(store->wouldRank(kMillion, 198));
    EXPECT_TRUE(store->wouldRank(kMillion, 0));
    add(kMillion, 42, "fast");
    std::vector<ScoreRow> rows = store->top(kMillion, 3);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].name, "fast");
    EXPECT_EQ(rows[1].score, 100u);
    EXPECT_EQ(rows[2].score, 101u);
}

TEST_F(Store, GamesKeepSeparateTables) {
    for (int i = 0; i < 100; ++i)
        add(kSixty, 9999);
    EXPECT_FALSE(store->wouldRank(kSixty, 1));
    EXPECT_TRUE(store->wouldRank(GameId{0, 2}, 1));
    EXPECT_TRUE(store->wouldRank(GameId{1, 1}, 1));
    EXPECT_TRUE(store->top(GameId{0, 0}, 10).empty());
}

TEST_F(Store, RowsComeBackVerbatimAfterReopening) {
    const std::string hostile = "Robert'); DROP TABLE scores;--";
    store->add(Submission{kSixty, 77, hostile, "M"}, 1765000000);
    store.reset();
    store = std::make_unique<ScoreStore>(folder + "/scores.sqlite");
    std::vector<ScoreRow> rows = store->top(kSixty, 10);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].name, hostile);
    EXPECT_EQ(rows[0].score, 77u);
    EXPECT_EQ(rows[0].computer, "M");
    EXPECT_EQ(rows[0].arrived, 1765000000);
}

TEST_F(Store, AFileThatIsNoDatabaseIsRefused) {
    std::string path = folder + "/not-a-database";
    FILE *file = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(file);
    std::fputs("this is not an SQLite file, and it is long enough to have a header of sorts.......", file);
    std::fclose(file);
    EXPECT_THROW(ScoreStore{path}, StoreError);
    EXPECT_THROW(ScoreStore{folder + "/missing-folder/scores.sqlite"}, StoreError);
}

TEST_F(Store, ConcurrentSubmissionsAreAllStoredOnce) {
    // Submissions from many threads are committed together in groups; each caller must still get
    // its own row, exactly once.
    constexpr int kThreads = 12;
    constexpr int kEach = 15;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([this, t] {
            for (int i = 0; i < kEach; ++i)
                add(kSixty, static_cast<uint32_t>(t * 1000 + i),
                    "t" + std::to_string(t) + "-" + std::to_string(i));
        });
    }
    for (int reader = 0; reader < 50; ++reader)
        store->wouldRank(kSixty, 5);
    for (std::thread &thread : threads)
        thread.join();
    std::vector<ScoreRow> rows = store->top(kSixty, 1000);
    ASSERT_EQ(rows.size(), static_cast<size_t>(kThreads * kEach));
    std::set<std::string> names;
    for (const ScoreRow &row : rows)
        names.insert(row.name);
    EXPECT_EQ(names.size(), rows.size());
    EXPECT_EQ(rows.front().name, "t11-14");
}
