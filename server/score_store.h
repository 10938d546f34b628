// The world tables on disk: one SQLite database in WAL mode with synchronous=FULL, so that a stored
// submission survives a crash or a power cut the moment add() returns. Every statement is prepared
// once and bound with parameters. One connection, shared by the server's threads under a lock.
#pragma once

#include "server/score_rules.h"

#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace scored {

struct StoreError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct ScoreRow {
    std::string name;
    uint32_t score = 0;
    std::string computer;
    int64_t arrived = 0; // seconds since 1970, UTC
};

class ScoreStore {
public:
    // Opens or creates the database; throws StoreError when it cannot be opened in WAL mode.
    explicit ScoreStore(const std::string &path);
    ~ScoreStore();
    ScoreStore(const ScoreStore &) = delete;
    ScoreStore &operator=(const ScoreStore &) = delete;

    // Stores a submission, on disk when it returns; throws StoreError on failure.
    void add(const Submission &submission, int64_t arrived);
    // Whether the score would take one of the kTableSize places; a tie never displaces a stored row.
    bool wouldRank(GameId game, uint32_t score);
    // The best rows, best first; among equal scores the earlier arrival first.
    std::vector<ScoreRow> top(GameId game, int limit);
    // Every row stored for the game (the world table shows only the best of them).
    int64_t count(GameId game);

private:
    sqlite3_stmt *prepare(const char *sql);
    void execute(const char *sql);
    void close();

    std::mutex _lock;
    sqlite3 *_db = nullptr;
    sqlite3_stmt *_insert = nullptr;
    sqlite3_stmt *_betterOrEqualHigh = nullptr;
    sqlite3_stmt *_betterOrEqualLow = nullptr;
    sqlite3_stmt *_topHigh = nullptr;
    sqlite3_stmt *_topLow = nullptr;
    sqlite3_stmt *_count = nullptr;
};

} // namespace scored
