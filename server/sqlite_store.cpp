#include "server/sqlite_store.h"

#include <cerrno>
#include <set>
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

// The reason of the last failure on a connection, in words an operator can act on.
std::string failureReason(sqlite3 *db) {
    int code = sqlite3_errcode(db);
    int systemError = sqlite3_system_errno(db);
    if (code == SQLITE_FULL || systemError == ENOSPC || systemError == EDQUOT || systemError == EFBIG)
        return "the disk is full";
    if (code == SQLITE_READONLY)
        return "the database is read-only";
    return sqlite3_errmsg(db);
}

sqlite3 *openConnection(const std::string &path, int busyTimeoutMs) {
    sqlite3 *db = nullptr;
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        std::string reason = db ? failureReason(db) : "out of memory";
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

bool execute(sqlite3 *db, const char *sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

void bindText(sqlite3_stmt *statement, int index, const std::string &text) {
    sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

// The schema, one step per version (PRAGMA user_version). Version 1 is the first server's layout, so
// its files open unchanged. Steps only ever get added at the end.
const char *const kMigrations[] = {
    // 1: the table and the index of the million mode's order (lower first, then arrival).
    "CREATE TABLE IF NOT EXISTS scores ("
    " id INTEGER PRIMARY KEY,"
    " game TEXT NOT NULL,"
    " name TEXT NOT NULL,"
    " score INTEGER NOT NULL,"
    " computer TEXT NOT NULL,"
    " arrived INTEGER NOT NULL);"
    "CREATE INDEX IF NOT EXISTS scores_by_game ON scores (game, score, id);",
    // 2: the index of the other modes' order (higher first, then arrival), and only what the tables
    // show is kept: the best 100 of each game; the relax mode has no table.
    "CREATE INDEX IF NOT EXISTS scores_best_first ON scores (game, score DESC, id);"
    "DELETE FROM scores WHERE game LIKE 'quorix3%' OR id IN (SELECT id FROM (SELECT id, ROW_NUMBER() OVER ("
    " PARTITION BY game ORDER BY CASE WHEN game LIKE 'quorix2%' THEN score ELSE -score END, id) AS place"
    " FROM scores) WHERE place > 100);",
    // 3: verified rows: the seed that names their game (one row per game) and the replay kept beside.
    "ALTER TABLE scores ADD COLUMN verified INTEGER NOT NULL DEFAULT 0;"
    "ALTER TABLE scores ADD COLUMN seed INTEGER;"
    "CREATE UNIQUE INDEX IF NOT EXISTS scores_one_row_per_game ON scores (game, seed) WHERE seed IS NOT NULL;"
    "CREATE TABLE IF NOT EXISTS replays ("
    " id INTEGER PRIMARY KEY REFERENCES scores (id) ON DELETE CASCADE,"
    " bytes BLOB NOT NULL);",
};

// The columns of a table row, in the order readRow takes them.
#define QUORIX_ROW_COLUMNS "id, name, score, computer, arrived, verified"

} // namespace

struct SqliteStore::Reader {
    sqlite3 *db = nullptr;
    sqlite3_stmt *betterOrEqualHigh = nullptr;
    sqlite3_stmt *betterOrEqualLow = nullptr;
    sqlite3_stmt *topHigh = nullptr;
    sqlite3_stmt *topLow = nullptr;
    sqlite3_stmt *count = nullptr;
    sqlite3_stmt *replay = nullptr;

    Reader(const std::string &path, int busyTimeoutMs) {
        db = openConnection(path, busyTimeoutMs);
        try {
            // At most a table's worth of rows is counted: that is all the ranking question needs.
            betterOrEqualHigh = prepare(
                db, "SELECT COUNT(*) FROM (SELECT 1 FROM scores WHERE game = ? AND score >= ? LIMIT ?)");
            betterOrEqualLow = prepare(
                db, "SELECT COUNT(*) FROM (SELECT 1 FROM scores WHERE game = ? AND score <= ? LIMIT ?)");
            topHigh = prepare(db, "SELECT " QUORIX_ROW_COLUMNS " FROM scores WHERE game = ? "
                                  "ORDER BY score DESC, id ASC LIMIT ?");
            topLow = prepare(db, "SELECT " QUORIX_ROW_COLUMNS " FROM scores WHERE game = ? "
                                 "ORDER BY score ASC, id ASC LIMIT ?");
            count = prepare(db, "SELECT COUNT(*) FROM scores WHERE game = ?");
            replay = prepare(db, "SELECT bytes FROM replays WHERE id = ?");
        } catch (...) {
            close();
            throw;
        }
    }
    ~Reader() { close(); }
    void close() {
        for (sqlite3_stmt *statement : {betterOrEqualHigh, betterOrEqualLow, topHigh, topLow, count, replay})
            sqlite3_finalize(statement);
        sqlite3_close(db);
    }
    [[noreturn]] void fail() { throw StoreError("cannot read the table: " + failureReason(db)); }
};

// A read connection for the length of one question, given back to the pool afterwards.
class SqliteStore::ReaderLease {
public:
    explicit ReaderLease(SqliteStore &store) : _store(store) {
        {
            std::lock_guard guard(store._readersLock);
            if (!store._idleReaders.empty()) {
                _reader = store._idleReaders.back();
                store._idleReaders.pop_back();
            }
        }
        if (!_reader)
            _reader = new Reader(store._path, store._busyTimeoutMs);
    }
    ~ReaderLease() {
        std::lock_guard guard(_store._readersLock);
        _store._idleReaders.push_back(_reader);
    }
    Reader *operator->() const { return _reader; }

private:
    SqliteStore &_store;
    Reader *_reader = nullptr;
};

SqliteStore::SqliteStore(const std::string &path, const StoreSettings &settings)
    : _path(path), _busyTimeoutMs(settings.busyTimeoutMs) {
    try {
        _writeDb = openConnection(path, _busyTimeoutMs);
        // SQLite quietly opens a file it may not write for reading only; such a server could answer
        // nothing but failures to every submission.
        if (sqlite3_db_readonly(_writeDb, "main") == 1)
            throw StoreError("cannot store scores in " + path + ": the file is read-only");
        // The journal mode answers with the mode in force; anything but "wal" means no durability
        // guarantee we could rely on.
        sqlite3_stmt *mode = prepare(_writeDb, "PRAGMA journal_mode=WAL");
        bool wal = sqlite3_step(mode) == SQLITE_ROW && sqlite3_column_text(mode, 0) &&
                   std::string(reinterpret_cast<const char *>(sqlite3_column_text(mode, 0))) == "wal";
        std::string reason = wal ? "" : failureReason(_writeDb);
        sqlite3_finalize(mode);
        if (!wal)
            throw StoreError("cannot put " + path + " in WAL mode: " + reason);
        // A row trimmed from its table takes its replay with it.
        if (!execute(_writeDb, "PRAGMA synchronous=FULL") || !execute(_writeDb, "PRAGMA foreign_keys=ON"))
            throw StoreError("cannot set up " + path + ": " + failureReason(_writeDb));

        // Two servers starting on one file at once: the write lock makes one of them wait.
        if (!execute(_writeDb, "BEGIN IMMEDIATE"))
            throw StoreError("cannot write " + path + ": " + failureReason(_writeDb));
        sqlite3_stmt *version = prepare(_writeDb, "PRAGMA user_version");
        int current = sqlite3_step(version) == SQLITE_ROW ? sqlite3_column_int(version, 0) : 0;
        sqlite3_finalize(version);
        const int latest = static_cast<int>(std::size(kMigrations));
        if (current > latest) {
            execute(_writeDb, "ROLLBACK");
            throw StoreError(path + " was written by a newer quorix-scored (schema " +
                             std::to_string(current) + ")");
        }
        for (int step = current; step < latest; ++step) {
            std::string setVersion = "PRAGMA user_version=" + std::to_string(step + 1);
            if (!execute(_writeDb, kMigrations[step]) || !execute(_writeDb, setVersion.c_str())) {
                std::string failure = failureReason(_writeDb);
                execute(_writeDb, "ROLLBACK");
                throw StoreError("cannot upgrade " + path + ": " + failure);
            }
        }
        if (!execute(_writeDb, "COMMIT")) {
            std::string failure = failureReason(_writeDb);
            execute(_writeDb, "ROLLBACK");
            throw StoreError("cannot write " + path + ": " + failure);
        }

        _insert =
            prepare(_writeDb, "INSERT INTO scores (game, name, score, computer, arrived, verified, seed) "
                              "VALUES (?, ?, ?, ?, ?, ?, ?)");
        _insertReplay = prepare(_writeDb, "INSERT INTO replays (id, bytes) VALUES (?, ?)");
        _findGame = prepare(_writeDb, "SELECT 1 FROM scores WHERE game = ? AND seed = ?");
        _findPlainRow =
            prepare(_writeDb, "SELECT id FROM scores WHERE game = ? AND name = ? AND score = ? AND "
                              "computer = ? AND verified = 0 ORDER BY id DESC LIMIT 1");
        _markVerified = prepare(_writeDb, "UPDATE scores SET verified = 1, seed = ? WHERE id = ?");
        _trimHigh = prepare(_writeDb, "DELETE FROM scores WHERE id IN (SELECT id FROM scores WHERE game = ? "
                                      "ORDER BY score DESC, id ASC LIMIT -1 OFFSET ?)");
        _trimLow = prepare(_writeDb, "DELETE FROM scores WHERE id IN (SELECT id FROM scores WHERE game = ? "
                                     "ORDER BY score ASC, id ASC LIMIT -1 OFFSET ?)");
        // One reader now, so that a file that cannot be read fails here rather than on a request.
        ReaderLease first(*this);
    } catch (...) {
        close();
        throw;
    }
    _writer = std::thread([this] { writeLoop(); });
}

SqliteStore::~SqliteStore() {
    {
        std::lock_guard guard(_queueLock);
        _stopping = true;
    }
    _queueChanged.notify_all();
    if (_writer.joinable())
        _writer.join();
    close();
}

void SqliteStore::close() {
    for (sqlite3_stmt **statement :
         {&_insert, &_insertReplay, &_findGame, &_findPlainRow, &_markVerified, &_trimHigh, &_trimLow}) {
        sqlite3_finalize(*statement);
        *statement = nullptr;
    }
    sqlite3_close(_writeDb);
    _writeDb = nullptr;
    std::lock_guard guard(_readersLock);
    for (Reader *reader : _idleReaders)
        delete reader;
    _idleReaders.clear();
}

AddOutcome SqliteStore::add(const Submission &submission, int64_t arrived, const ProvenReplay *replay) {
    PendingRow row{&submission, arrived, replay};
    std::unique_lock guard(_queueLock);
    _pending.push_back(&row);
    _queueChanged.notify_all();
    _queueChanged.wait(guard, [&] { return row.done; });
    if (!row.stored)
        throw StoreError("cannot store the score");
    return row.outcome;
}

void SqliteStore::writeLoop() {
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

bool SqliteStore::storeBatch(const std::vector<PendingRow *> &batch) {
    if (!execute(_writeDb, "BEGIN IMMEDIATE"))
        return false;
    auto rollBack = [&] {
        execute(_writeDb, "ROLLBACK");
        return false;
    };
    std::set<std::pair<std::string, bool>> games;
    for (PendingRow *row : batch) {
        const Submission &submission = *row->submission;
        const ProvenReplay *replay = row->replay;
        std::string game = submission.game.name();
        row->outcome = AddOutcome::stored;
        if (replay) {
            StatementUse use{_findGame};
            bindText(_findGame, 1, game);
            sqlite3_bind_int64(_findGame, 2, replay->seed);
            const int found = sqlite3_step(_findGame);
            if (found == SQLITE_ROW) {
                row->outcome = AddOutcome::alreadyStored;
                continue;
            }
            if (found != SQLITE_DONE)
                return rollBack();
        }
        // The game also sends the plain submission first: the replay proves that row rather than adding
        // a second one.
        int64_t proved = 0;
        if (replay) {
            StatementUse use{_findPlainRow};
            bindText(_findPlainRow, 1, game);
            bindText(_findPlainRow, 2, submission.name);
            sqlite3_bind_int64(_findPlainRow, 3, submission.score);
            bindText(_findPlainRow, 4, submission.computer);
            const int found = sqlite3_step(_findPlainRow);
            if (found == SQLITE_ROW)
                proved = sqlite3_column_int64(_findPlainRow, 0);
            else if (found != SQLITE_DONE)
                return rollBack();
        }
        if (proved) {
            StatementUse use{_markVerified};
            sqlite3_bind_int64(_markVerified, 1, replay->seed);
            sqlite3_bind_int64(_markVerified, 2, proved);
            if (sqlite3_step(_markVerified) != SQLITE_DONE)
                return rollBack();
        } else {
            StatementUse use{_insert};
            bindText(_insert, 1, game);
            bindText(_insert, 2, submission.name);
            sqlite3_bind_int64(_insert, 3, submission.score);
            bindText(_insert, 4, submission.computer);
            sqlite3_bind_int64(_insert, 5, row->arrived);
            sqlite3_bind_int(_insert, 6, replay ? 1 : 0);
            if (replay)
                sqlite3_bind_int64(_insert, 7, replay->seed);
            else
                sqlite3_bind_null(_insert, 7);
            if (sqlite3_step(_insert) != SQLITE_DONE)
                return rollBack();
            proved = sqlite3_last_insert_rowid(_writeDb);
        }
        if (replay) {
            StatementUse use{_insertReplay};
            sqlite3_bind_int64(_insertReplay, 1, proved);
            sqlite3_bind_blob(_insertReplay, 2, replay->bytes.data(), static_cast<int>(replay->bytes.size()),
                              SQLITE_TRANSIENT);
            if (sqlite3_step(_insertReplay) != SQLITE_DONE)
                return rollBack();
        }
        games.emplace(game, submission.game.lowerIsBetter());
    }
    // Rows that fell out of a table go in the same transaction: a game never holds more than it shows.
    for (const auto &[game, lowerIsBetter] : games) {
        sqlite3_stmt *trim = lowerIsBetter ? _trimLow : _trimHigh;
        StatementUse use{trim};
        bindText(trim, 1, game);
        sqlite3_bind_int(trim, 2, kTableSize);
        if (sqlite3_step(trim) != SQLITE_DONE)
            return rollBack();
    }
    // With synchronous=FULL the commit returns once the log is flushed to disk.
    if (!execute(_writeDb, "COMMIT"))
        return rollBack();
    return true;
}

bool SqliteStore::wouldRank(GameId game, uint32_t score) {
    ReaderLease reader(*this);
    sqlite3_stmt *statement = game.lowerIsBetter() ? reader->betterOrEqualLow : reader->betterOrEqualHigh;
    StatementUse use{statement};
    bindText(statement, 1, game.name());
    sqlite3_bind_int64(statement, 2, score);
    sqlite3_bind_int(statement, 3, kTableSize);
    if (sqlite3_step(statement) != SQLITE_ROW)
        reader->fail();
    return sqlite3_column_int(statement, 0) < kTableSize;
}

std::vector<ScoreRow> SqliteStore::top(GameId game, int limit) {
    ReaderLease reader(*this);
    sqlite3_stmt *statement = game.lowerIsBetter() ? reader->topLow : reader->topHigh;
    StatementUse use{statement};
    bindText(statement, 1, game.name());
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
        row.id = sqlite3_column_int64(statement, 0);
        row.name = text(1);
        row.score = static_cast<uint32_t>(sqlite3_column_int64(statement, 2));
        row.computer = text(3);
        row.arrived = sqlite3_column_int64(statement, 4);
        row.verified = sqlite3_column_int(statement, 5) != 0;
        rows.push_back(std::move(row));
    }
    if (step != SQLITE_DONE)
        reader->fail();
    return rows;
}

std::optional<std::string> SqliteStore::replay(int64_t id) {
    ReaderLease reader(*this);
    StatementUse use{reader->replay};
    sqlite3_bind_int64(reader->replay, 1, id);
    const int step = sqlite3_step(reader->replay);
    if (step == SQLITE_DONE)
        return std::nullopt;
    if (step != SQLITE_ROW)
        reader->fail();
    const void *bytes = sqlite3_column_blob(reader->replay, 0);
    const int size = sqlite3_column_bytes(reader->replay, 0);
    return std::string(bytes ? static_cast<const char *>(bytes) : "", static_cast<size_t>(size));
}

int64_t SqliteStore::count(GameId game) {
    ReaderLease reader(*this);
    StatementUse use{reader->count};
    bindText(reader->count, 1, game.name());
    if (sqlite3_step(reader->count) != SQLITE_ROW)
        reader->fail();
    return sqlite3_column_int64(reader->count, 0);
}

} // namespace scored
