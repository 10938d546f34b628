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

} // namespace

ScoreStore::ScoreStore(const std::string &path) {
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX;
    if (sqlite3_open_v2(path.c_str(), &_db, flags, nullptr) != SQLITE_OK) {
        std::string reason = _db ? sqlite3_errmsg(_db) : "out of memory";
        sqlite3_close(_db);
        throw StoreError("cannot open " + path + ": " + reason);
    }
    try {
        sqlite3_busy_timeout(_db, 5000);
        // The journal mode answers with the mode in force; anything but "wal" means no durability
        // guarantee we could rely on.
        sqlite3_stmt *mode = prepare("PRAGMA journal_mode=WAL");
        bool wal = sqlite3_step(mode) == SQLITE_ROW &&
                   std::string(reinterpret_cast<const char *>(sqlite3_column_text(mode, 0))) == "wal";
        sqlite3_finalize(mode);
        if (!wal)
            throw StoreError("cannot put " + path + " in WAL mode");
        execute("PRAGMA synchronous=FULL");
        execute("CREATE TABLE IF NOT EXISTS scores ("
                " id INTEGER PRIMARY KEY,"
                " game TEXT NOT NULL,"
                " name TEXT NOT NULL,"
                " score INTEGER NOT NULL,"
                " computer TEXT NOT NULL,"
                " arrived INTEGER NOT NULL)");
        execute("CREATE INDEX IF NOT EXISTS scores_by_game ON scores (game, score, id)");
        _insert = prepare("INSERT INTO scores (game, name, score, computer, arrived) VALUES (?, ?, ?, ?, ?)");
        // At most a table's worth of rows is counted: that is all the ranking question needs.
        _betterOrEqualHigh =
            prepare("SELECT COUNT(*) FROM (SELECT 1 FROM scores WHERE game = ? AND score >= ? "
                    "LIMIT ?)");
        _betterOrEqualLow =
            prepare("SELECT COUNT(*) FROM (SELECT 1 FROM scores WHERE game = ? AND score <= ? "
                    "LIMIT ?)");
        _topHigh = prepare("SELECT name, score, computer, arrived FROM scores WHERE game = ? "
                           "ORDER BY score DESC, id ASC LIMIT ?");
        _topLow = prepare("SELECT name, score, computer, arrived FROM scores WHERE game = ? "
                          "ORDER BY score ASC, id ASC LIMIT ?");
        _count = prepare("SELECT COUNT(*) FROM scores WHERE game = ?");
    } catch (...) {
        close();
        throw;
    }
}

ScoreStore::~ScoreStore() {
    close();
}

void ScoreStore::close() {
    for (sqlite3_stmt **statement :
         {&_insert, &_betterOrEqualHigh, &_betterOrEqualLow, &_topHigh, &_topLow, &_count}) {
        sqlite3_finalize(*statement);
        *statement = nullptr;
    }
    sqlite3_close(_db);
    _db = nullptr;
}

sqlite3_stmt *ScoreStore::prepare(const char *sql) {
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(_db, sql, -1, &statement, nullptr) != SQLITE_OK)
        throw StoreError(std::string("cannot prepare a statement: ") + sqlite3_errmsg(_db));
    return statement;
}

void ScoreStore::execute(const char *sql) {
    char *error = nullptr;
    if (sqlite3_exec(_db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        std::string reason = error ? error : "unknown error";
        sqlite3_free(error);
        throw StoreError(reason);
    }
}

void ScoreStore::add(const Submission &submission, int64_t arrived) {
    std::lock_guard guard(_lock);
    StatementUse use{_insert};
    std::string game = submission.game.name();
    sqlite3_bind_text(_insert, 1, game.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(_insert, 2, submission.name.data(), static_cast<int>(submission.name.size()),
                      SQLITE_TRANSIENT);
    sqlite3_bind_int64(_insert, 3, submission.score);
    sqlite3_bind_text(_insert, 4, submission.computer.data(), static_cast<int>(submission.computer.size()),
                      SQLITE_TRANSIENT);
    sqlite3_bind_int64(_insert, 5, arrived);
    if (sqlite3_step(_insert) != SQLITE_DONE)
        throw StoreError(std::string("cannot store a score: ") + sqlite3_errmsg(_db));
}

bool ScoreStore::wouldRank(GameId game, uint32_t score) {
    std::lock_guard guard(_lock);
    sqlite3_stmt *statement = game.lowerIsBetter() ? _betterOrEqualLow : _betterOrEqualHigh;
    StatementUse use{statement};
    std::string name = game.name();
    sqlite3_bind_text(statement, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(statement, 2, score);
    sqlite3_bind_int(statement, 3, kTableSize);
    if (sqlite3_step(statement) != SQLITE_ROW)
        throw StoreError(std::string("cannot read the table: ") + sqlite3_errmsg(_db));
    return sqlite3_column_int(statement, 0) < kTableSize;
}

std::vector<ScoreRow> ScoreStore::top(GameId game, int limit) {
    std::lock_guard guard(_lock);
    sqlite3_stmt *statement = game.lowerIsBetter() ? _topLow : _topHigh;
    StatementUse use{statement};
    std::string name = game.name();
    sqlite3_bind_text(statement, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(statement, 2, limit);
    std::vector<ScoreRow> rows;
    int step;
    while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
        ScoreRow row;
        auto text = [&](int column) {
            const unsigned char *value = sqlite3_column_text(statement, column);
            return std::string(value ? reinterpret_cast<const char *>(value) : "",
                               static_cast<size_t>(sqlite3_column_bytes(statement, column)));
        };
        row.name = text(0);
        row.score = static_cast<uint32_t>(sqlite3_column_int64(statement, 1));
        row.computer = text(2);
        row.arrived = sqlite3_column_int64(statement, 3);
        rows.push_back(std::move(row));
    }
    if (step != SQLITE_DONE)
        throw StoreError(std::string("cannot read the table: ") + sqlite3_errmsg(_db));
    return rows;
}

int64_t ScoreStore::count(GameId game) {
    std::lock_guard guard(_lock);
    StatementUse use{_count};
    std::string name = game.name();
    sqlite3_bind_text(_count, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(_count) != SQLITE_ROW)
        throw StoreError(std::string("cannot read the table: ") + sqlite3_errmsg(_db));
    return sqlite3_column_int64(_count, 0);
}

} // namespace scored
