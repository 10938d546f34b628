#include "server/score_store.h"

#include <sqlite3.h>

namespace scored {

namespace {

// Resets a statement when the scope ends, whatever path leaves it.
struct StatementUse {
    sqlite3_stmt *statement;
    ~StatementUse() {
        sqlite3_reset(statement);
        sqlite3_clear_bindings(statement);
    }
};

sqlite3 *openConnection(const std::string &path, int busyTimeoutMs) {
    sqlite3 *db = nullptr;
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        std::string reason = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close(db);
        throw StoreError("cannot open " + path + ": " + reason);
    }
    sqlite3_busy_timeout(db, busyTimeoutMs);
    return db;
}

sqlite3_stmt *prepare(sqlite3 *db, const char *sql) {
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK)
        throw StoreError(std::string("cannot prepare a statement: ") + sqlite3_errmsg(db));
    return statement;
}

bool execute(sqlite3 *db, const char *sql, std::string *reason = nullptr) {
    char *error = nullptr;
    bool ok = sqlite3_exec(db, sql, nullptr, nullptr, &error) == SQLITE_OK;
    if (!ok && reason)
        *reason = error ? error : "unknown error";
    sqlite3_free(error);
    return ok;
}

void executeOrThrow(sqlite3 *db, const char *sql) {
    std::string reason;
    if (!execute(db, sql, &reason))
        throw StoreError(reason);
}

} // namespace

ScoreStore::ScoreStore(const std::string &path, int busyTimeoutMs) {
    try {
        _writeDb = openConnection(path, busyTimeoutMs);
        // The journal mode answers with the mode in force; anything but "wal" means no durability
        // guarantee we could rely on.
        sqlite3_stmt *mode = prepare(_writeDb, "PRAGMA journal_mode=WAL");
        bool wal = sqlite3_step(mode) == SQLITE_ROW && sqlite3_column_text(mode, 0) &&
                   std::string(reinterpret_cast<const char *>(sqlite3_column_text(mode, 0))) == "wal";
        sqlite3_finalize(mode);
        if (!wal)
            throw StoreError("cannot put " + path + " in WAL mode");
        executeOrThrow(_writeDb, "PRAGMA synchronous=FULL");
        executeOrThrow(_writeDb, "CREATE TABLE IF NOT EXISTS scores ("
                                 " id INTEGER PRIMARY KEY,"
                                 " game TEXT NOT NULL,"
                                 " name TEXT NOT NULL,"
                                 " score INTEGER NOT NULL,"
                                 " computer TEXT NOT NULL,"
                                 " arrived INTEGER NOT NULL)");
        executeOrThrow(_writeDb, "CREATE INDEX IF NOT EXISTS scores_by_game ON scores (game, score, id)");
        _insert = prepare(_writeDb,
                          "INSERT INTO scores (game, name, score, computer, arrived) VALUES (?, ?, ?, ?, ?)");

        _readDb = openConnection(path, busyTimeoutMs);
        // At most a table's worth of rows is counted: that is all the ranking question needs.
        _betterOrEqualHigh = prepare(
            _readDb, "SELECT COUNT(*) FROM (SELECT 1 FROM scores WHERE game = ? AND score >= ? LIMIT ?)");
        _betterOrEqualLow = prepare(
            _readDb, "SELECT COUNT(*) FROM (SELECT 1 FROM scores WHERE game = ? AND score <= ? LIMIT ?)");
        _topHigh = prepare(_readDb, "SELECT name, score, computer, arrived FROM scores WHERE game = ? "
                                    "ORDER BY score DESC, id ASC LIMIT ?");
        _topLow = prepare(_readDb, "SELECT name, score, computer, arrived FROM scores WHERE game = ? "
                                   "ORDER BY score ASC, id ASC LIMIT ?");
        _count = prepare(_readDb, "SELECT COUNT(*) FROM scores WHERE game = ?");
    } catch (...) {
        close();
        throw;
    }
    _writer = std::thread([this] { writeLoop(); });
}

ScoreStore::~ScoreStore() {
    {
        std::lock_guard guard(_queueLock);
        _stopping = true;
    }
    _queueChanged.notify_all();
    if (_writer.joinable())
        _writer.join();
    close();
}

void ScoreStore::close() {
    for (sqlite3_stmt **statement :
         {&_insert, &_betterOrEqualHigh, &_betterOrEqualLow, &_topHigh, &_topLow, &_count}) {
        sqlite3_finalize(*statement);
        *statement = nullptr;
    }
    sqlite3_close(_readDb);
    sqlite3_close(_writeDb);
    _readDb = _writeDb = nullptr;
}

void ScoreStore::add(const Submission &submission, int64_t arrived) {
    PendingRow row{&submission, arrived};
    std::unique_lock guard(_queueLock);
    _pending.push_back(&row);
    _queueChanged.notify_all();
    _queueChanged.wait(guard, [&] { return row.done; });
    if (!row.stored)
        throw StoreError(std::string("cannot store a score"));
}

void ScoreStore::writeLoop() {
    std::unique_lock guard(_queueLock);
    for (;;) {
        _queueChanged.wait(guard, [&] { return _stopping || !_pending.empty(); });
        if (_pending.empty())
            return; // stopping, and nobody waits any more
        std::vector<PendingRow *> batch;
        batch.swap(_pending);
        guard.unlock();
        bool stored = storeBatch(batch);
        guard.lock();
        for (PendingRow *row : batch) {
            row->done = true;
            row->stored = stored;
        }
        _queueChanged.notify_all();
    }
}

bool ScoreStore::storeBatch(const std::vector<PendingRow *> &batch) {
    if (!execute(_writeDb, "BEGIN IMMEDIATE"))
        return false;
    for (const PendingRow *row : batch) {
        const Submission &submission = *row->submission;
        StatementUse use{_insert};
        std::string game = submission.game.name();
        sqlite3_bind_text(_insert, 1, game.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(_insert, 2, submission.name.data(), static_cast<int>(submission.name.size()),
                          SQLITE_TRANSIENT);
        sqlite3_bind_int64(_insert, 3, submission.score);
        sqlite3_bind_text(_insert, 4, submission.computer.data(),
                          static_cast<int>(submission.computer.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int64(_insert, 5, row->arrived);
        if (sqlite3_step(_insert) != SQLITE_DONE) {
            execute(_writeDb, "ROLLBACK");
            return false;
        }
    }
    // With synchronous=FULL the commit returns once the log is flushed to disk.
    if (!execute(_writeDb, "COMMIT")) {
        execute(_writeDb, "ROLLBACK");
        return false;
    }
    return true;
}

bool ScoreStore::wouldRank(GameId game, uint32_t score) {
    std::lock_guard guard(_readLock);
    sqlite3_stmt *statement = game.lowerIsBetter() ? _betterOrEqualLow : _betterOrEqualHigh;
    StatementUse use{statement};
    std::string name = game.name();
    sqlite3_bind_text(statement, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(statement, 2, score);
    sqlite3_bind_int(statement, 3, kTableSize);
    if (sqlite3_step(statement) != SQLITE_ROW)
        throw StoreError(std::string("cannot read the table: ") + sqlite3_errmsg(_readDb));
    return sqlite3_column_int(statement, 0) < kTableSize;
}

std::vector<ScoreRow> ScoreStore::top(GameId game, int limit) {
    std::lock_guard guard(_readLock);
    sqlite3_stmt *statement = game.lowerIsBetter() ? _topLow : _topHigh;
    StatementUse use{statement};
    std::string name = game.name();
    sqlite3_bind_text(statement, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(statement, 2, limit);
    std::vector<ScoreRow> rows;
    int step;
    while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
        auto text = [&](int column) {
            const unsigned char *value = sqlite3_column_text(statement, column);
            return std::string(value ? reinterpret_cast<const char *>(value) : "",
                               static_cast<size_t>(sqlite3_column_bytes(statement, column)));
        };
        ScoreRow row;
        row.name = text(0);
        row.score = static_cast<uint32_t>(sqlite3_column_int64(statement, 1));
        row.computer = text(2);
        row.arrived = sqlite3_column_int64(statement, 3);
        rows.push_back(std::move(row));
    }
    if (step != SQLITE_DONE)
        throw StoreError(std::string("cannot read the table: ") + sqlite3_errmsg(_readDb));
    return rows;
}

int64_t ScoreStore::count(GameId game) {
    std::lock_guard guard(_readLock);
    StatementUse use{_count};
    std::string name = game.name();
    sqlite3_bind_text(_count, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(_count) != SQLITE_ROW)
        throw StoreError(std::string("cannot read the table: ") + sqlite3_errmsg(_readDb));
    return sqlite3_column_int64(_count, 0);
}

} // namespace scored
