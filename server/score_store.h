// The world tables on disk: one SQLite database in WAL mode with synchronous=FULL, so that a stored
// submission survives a crash or a power cut the moment add() returns. Every statement is prepared
// once and bound with parameters.
//
// Writes are group-committed: a writer thread takes every submission waiting at that moment, stores
// them in one transaction (one flush to disk) and only then releases their callers. Reads use a
// second connection, which WAL lets run while a commit is being flushed.
#pragma once

#include "server/score_rules.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
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
    // busyTimeoutMs is how long a statement waits for another program that holds the database.
    explicit ScoreStore(const std::string &path, int busyTimeoutMs = 5000);
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
    struct PendingRow {
        const Submission *submission;
        int64_t arrived;
        bool done = false;
        bool stored = false;
    };

    void writeLoop();
    bool storeBatch(const std::vector<PendingRow *> &batch);
    void close();

    // The writer's connection, used only by the writer thread (and the constructor).
    sqlite3 *_writeDb = nullptr;
    sqlite3_stmt *_insert = nullptr;

    std::mutex _queueLock;
    std::condition_variable _queueChanged;
    std::vector<PendingRow *> _pending;
    bool _stopping = false;
    std::thread _writer;

    std::mutex _readLock;
    sqlite3 *_readDb = nullptr;
    sqlite3_stmt *_betterOrEqualHigh = nullptr;
    sqlite3_stmt *_betterOrEqualLow = nullptr;
    sqlite3_stmt *_topHigh = nullptr;
    sqlite3_stmt *_topLow = nullptr;
    sqlite3_stmt *_count = nullptr;
};

} // namespace scored
