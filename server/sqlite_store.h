// The world tables in one SQLite file, in WAL mode with synchronous=FULL, so that a stored submission
// survives a crash or a power cut the moment add() returns.
//
// Writes are group-committed: a writer thread takes every submission waiting at that moment, stores
// and trims them in one transaction (one flush to disk) and only then releases their callers. Reads
// use a pool of connections of their own, which WAL lets run side by side and during a commit.
#pragma once

#include "server/score_store.h"

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace scored {

class SqliteStore : public ScoreStore {
public:
    // Opens or creates the database and brings its schema up to date; throws StoreError with the
    // reason when it cannot be written (missing folder, read-only file, full disk, not a database).
    SqliteStore(const std::string &path, const StoreSettings &settings);
    ~SqliteStore() override;
    SqliteStore(const SqliteStore &) = delete;
    SqliteStore &operator=(const SqliteStore &) = delete;

    using ScoreStore::add;
    AddOutcome add(const Submission &submission, int64_t arrived, const ProvenReplay *replay) override;
    std::optional<std::string> replay(int64_t id) override;
    bool wouldRank(GameId game, uint32_t score) override;
    std::vector<ScoreRow> top(GameId game, int limit) override;
    int64_t count(GameId game) override;

private:
    struct PendingRow {
        const Submission *submission;
        int64_t arrived;
        const ProvenReplay *replay;
        AddOutcome outcome = AddOutcome::stored;
        bool done = false;
        bool stored = false;
    };
    struct Reader;
    class ReaderLease;

    void writeLoop();
    bool storeBatch(const std::vector<PendingRow *> &batch);
    void close();

    std::string _path;
    int _busyTimeoutMs;

    // The writer's connection, used only by the writer thread (and the constructor).
    sqlite3 *_writeDb = nullptr;
    sqlite3_stmt *_insert = nullptr;
    sqlite3_stmt *_insertReplay = nullptr;
    sqlite3_stmt *_findGame = nullptr;
    sqlite3_stmt *_findPlainRow = nullptr;
    sqlite3_stmt *_markVerified = nullptr;
    sqlite3_stmt *_trimHigh = nullptr;
    sqlite3_stmt *_trimLow = nullptr;

    std::mutex _queueLock;
    std::condition_variable _queueChanged;
    std::vector<PendingRow *> _pending;
    bool _stopping = false;
    std::thread _writer;

    // Read connections not in use; a reader is opened when none is free.
    std::mutex _readersLock;
    std::vector<Reader *> _idleReaders;
};

} // namespace scored
