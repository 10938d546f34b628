#include "server/postgres_store.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <libpq-fe.h>
#include <poll.h>

namespace scored {

namespace {

// The schema, one step per version (table quorix_schema). Steps only ever get added at the end.
const char *const kMigrations[] = {
    // 1: the table, one index for each order, and the submission function.
    R"(CREATE TABLE scores (
        id BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
        game TEXT NOT NULL,
        name TEXT NOT NULL,
        score BIGINT NOT NULL,
        computer TEXT NOT NULL,
        arrived BIGINT NOT NULL);
    CREATE INDEX scores_by_game ON scores (game, score, id);
    CREATE INDEX scores_best_first ON scores (game, score DESC, id);
    CREATE FUNCTION quorix_add_score(p_game TEXT, p_name TEXT, p_score BIGINT, p_computer TEXT,
                                     p_arrived BIGINT, p_lower_is_better BOOLEAN, p_keep INTEGER)
    RETURNS VOID LANGUAGE plpgsql AS $$
    BEGIN
        -- Writers of one game take turns: each statement below sees every row committed before it,
        -- and the new id is larger than any id already in the game.
        PERFORM pg_advisory_xact_lock(7717, hashtext(p_game));
        INSERT INTO scores (game, name, score, computer, arrived)
            VALUES (p_game, p_name, p_score, p_computer, p_arrived);
        IF p_lower_is_better THEN
            DELETE FROM scores WHERE id IN (SELECT id FROM scores WHERE game = p_game
                                            ORDER BY score ASC, id ASC OFFSET p_keep);
        ELSE
            DELETE FROM scores WHERE id IN (SELECT id FROM scores WHERE game = p_game
                                            ORDER BY score DESC, id ASC OFFSET p_keep);
        END IF;
    END $$;)",
    // 2: verified rows: the seed that names their game (one row per game) and the replay kept beside,
    // which goes when its row is trimmed. The function answers false when the game is there already.
    R"(ALTER TABLE scores ADD COLUMN verified BOOLEAN NOT NULL DEFAULT false;
    ALTER TABLE scores ADD COLUMN seed BIGINT;
    CREATE UNIQUE INDEX scores_one_row_per_game ON scores (game, seed) WHERE seed IS NOT NULL;
    CREATE TABLE replays (id BIGINT PRIMARY KEY REFERENCES scores (id) ON DELETE CASCADE,
                          bytes BYTEA NOT NULL);
    CREATE FUNCTION quorix_add_verified_score(p_game TEXT, p_name TEXT, p_score BIGINT, p_computer TEXT,
                                              p_arrived BIGINT, p_lower_is_better BOOLEAN, p_keep INTEGER,
                                              p_seed BIGINT, p_replay BYTEA)
    RETURNS BOOLEAN LANGUAGE plpgsql AS $$
    DECLARE
        new_id BIGINT;
    BEGIN
        PERFORM pg_advisory_xact_lock(7717, hashtext(p_game));
        IF EXISTS (SELECT 1 FROM scores WHERE game = p_game AND seed = p_seed) THEN
            RETURN false;
        END IF;
        -- The game also sends the plain submission first: the replay proves that row.
        SELECT id INTO new_id FROM scores WHERE game = p_game AND name = p_name AND score = p_score
            AND computer = p_computer AND NOT verified ORDER BY id DESC LIMIT 1;
        IF new_id IS NULL THEN
            INSERT INTO scores (game, name, score, computer, arrived, verified, seed)
                VALUES (p_game, p_name, p_score, p_computer, p_arrived, true, p_seed) RETURNING id INTO new_id;
        ELSE
            UPDATE scores SET verified = true, seed = p_seed WHERE id = new_id;
        END IF;
        INSERT INTO replays (id, bytes) VALUES (new_id, p_replay);
        IF p_lower_is_better THEN
            DELETE FROM scores WHERE id IN (SELECT id FROM scores WHERE game = p_game
                                            ORDER BY score ASC, id ASC OFFSET p_keep);
        ELSE
            DELETE FROM scores WHERE id IN (SELECT id FROM scores WHERE game = p_game
                                            ORDER BY score DESC, id ASC OFFSET p_keep);
        END IF;
        RETURN true;
    END $$;)",
};

// Bytes as a bytea literal in PostgreSQL's hex form, for a text parameter.
std::string byteaHex(const std::string &bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string text = "\\x";
    text.reserve(2 + 2 * bytes.size());
    for (unsigned char byte : bytes) {
        text += digits[byte >> 4];
        text += digits[byte & 15];
    }
    return text;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

void clearResult(pg_result *result) {
    PQclear(result);
}

std::string firstLine(const char *text) {
    std::string line = text ? text : "";
    size_t end = line.find('\n');
    return end == std::string::npos ? line : line.substr(0, end);
}

// Errors that mean the connection or the server is gone, rather than a fault of the statement:
// connection exceptions (08), shutdown and start-up (57P01-57P03).
bool isUnavailable(pg_conn *connection, pg_result *result) {
    if (PQstatus(connection) != CONNECTION_OK)
        return true;
    const char *state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    if (!state)
        return !result;
    std::string code = state;
    return code.rfind("08", 0) == 0 || code == "57P01" || code == "57P02" || code == "57P03";
}

// Waits until the connection's socket is ready for the events, or the deadline passes.
bool waitForSocket(pg_conn *connection, short events, std::chrono::steady_clock::time_point deadline) {
    pollfd watch{PQsocket(connection), events, 0};
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                          std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        int ready = poll(&watch, 1, static_cast<int>(left.count()));
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
            return false;
    }
}

// An idle connection with something to read was closed or told to go by the server (a restart).
bool looksBroken(pg_conn *connection) {
    if (PQstatus(connection) != CONNECTION_OK)
        return true;
    pollfd watch{PQsocket(connection), POLLIN, 0};
    return poll(&watch, 1, 0) != 0;
}

} // namespace

// One connection of the pool for the length of one statement; a broken one is closed, not returned.
class PostgresStore::Lease {
public:
    explicit Lease(PostgresStore &store) : _store(store) {
        auto deadline = Clock::now() + store._wait;
        std::unique_lock guard(store._poolLock);
        for (;;) {
            while (!store._idle.empty()) {
                pg_conn *candidate = store._idle.back();
                store._idle.pop_back();
                if (!looksBroken(candidate)) {
                    connection = candidate;
                    return;
                }
                PQfinish(candidate);
                --store._open;
            }
            if (store._open < store._maxConnections) {
                ++store._open;
                guard.unlock();
                try {
                    connection = store.connect();
                } catch (...) {
                    guard.lock();
                    --store._open;
                    store._poolChanged.notify_one();
                    throw;
                }
                return;
            }
            if (store._poolChanged.wait_until(guard, deadline) == std::cv_status::timeout &&
                store._idle.empty() && store._open >= store._maxConnections)
                throw StoreUnavailable("the score database is busy; try again later");
        }
    }
    ~Lease() {
        std::lock_guard guard(_store._poolLock);
        if (broken) {
            PQfinish(connection);
            --_store._open;
        } else {
            _store._idle.push_back(connection);
        }
        _store._poolChanged.notify_one();
    }
    Lease(const Lease &) = delete;
    Lease &operator=(const Lease &) = delete;

    pg_conn *connection = nullptr;
    bool broken = false;

private:
    PostgresStore &_store;
};

PostgresStore::PostgresStore(const std::string &location, const StoreSettings &settings)
    : _location(location), _maxConnections(std::max(1, settings.connections)), _wait(settings.waitMs) {
    try {
        migrate();
    } catch (const StoreUnavailable &) {
        throw StoreError("cannot reach the score database: " + _lastFailure);
    }
}

PostgresStore::~PostgresStore() {
    for (pg_conn *connection : _idle)
        PQfinish(connection);
}

pg_conn *PostgresStore::connect() {
    // Ours come first so that the location's own settings override them; a commit must reach the
    // disk before it is reported, whatever the server's default.
    const char *keys[] = {"connect_timeout", "application_name", "options", "dbname", nullptr};
    const char *values[] = {"3", "quorix-scored", "-c synchronous_commit=on -c client_min_messages=warning",
                            _location.c_str(), nullptr};
    pg_conn *connection = PQconnectdbParams(keys, values, 1);
    if (!connection)
        throw StoreUnavailable("the score database is unreachable: out of memory");
    if (PQstatus(connection) != CONNECTION_OK) {
        std::string reason = firstLine(PQerrorMessage(connection));
        PQfinish(connection);
        // The client gets a plain line; the operator the database's own words, once in a while.
        auto now = Clock::now();
        std::lock_guard guard(_poolLock);
        if (_serving && now - _lastReport > std::chrono::seconds(10)) {
            std::fprintf(stderr, "quorix-scored: the score database is unreachable: %s\n", reason.c_str());
            _lastReport = now;
        }
        _lastFailure = reason;
        throw StoreUnavailable("the score database is unreachable; try again later");
    }
    return connection;
}

PostgresStore::Result PostgresStore::run(Lease &lease, const char *sql,
                                         const std::vector<std::string> &params) {
    pg_conn *connection = lease.connection;
    auto deadline = Clock::now() + _wait;
    std::vector<const char *> values;
    for (const std::string &param : params)
        values.push_back(param.c_str());
    auto lost = [&](const std::string &reason) -> StoreUnavailable {
        lease.broken = true;
        return StoreUnavailable(reason);
    };

    // Without parameters the simple protocol is used, which also takes several statements at once.
    bool sent = values.empty() ? PQsendQuery(connection, sql)
                               : PQsendQueryParams(connection, sql, static_cast<int>(values.size()), nullptr,
                                                   values.data(), nullptr, nullptr, 0);
    if (!sent)
        throw lost("the score database is unreachable");
    int flushed;
    while ((flushed = PQflush(connection)) == 1) {
        if (!waitForSocket(connection, POLLOUT | POLLIN, deadline))
            throw lost("the score database did not answer in time");
        if (!PQconsumeInput(connection))
            throw lost("the score database is unreachable");
    }
    if (flushed < 0)
        throw lost("the score database is unreachable");

    Result result(nullptr, clearResult);
    for (;;) {
        while (PQisBusy(connection)) {
            if (!waitForSocket(connection, POLLIN, deadline))
                throw lost("the score database did not answer in time");
            if (!PQconsumeInput(connection))
                throw lost("the score database is unreachable");
        }
        pg_result *next = PQgetResult(connection);
        if (!next)
            break;
        // Keep the first failure, or else the last result.
        if (!result || PQresultStatus(result.get()) != PGRES_FATAL_ERROR)
            result.reset(next);
        else
            PQclear(next);
    }
    ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
        return result;
    if (isUnavailable(connection, result.get()))
        throw lost("the score database is unreachable");
    throw StoreError("the score database refused a statement: " +
                     firstLine(result ? PQresultErrorMessage(result.get()) : PQerrorMessage(connection)));
}

PostgresStore::Result PostgresStore::ask(const char *sql, const std::vector<std::string> &params) {
    // A question changes nothing, so it may be asked again when its connection broke under it (the
    // database restarted since the connection was last used).
    for (int attempt = 0;; ++attempt) {
        try {
            Lease lease(*this);
            return run(lease, sql, params);
        } catch (const StoreUnavailable &) {
            if (attempt > 0)
                throw;
        }
    }
}

void PostgresStore::migrate() {
    Lease lease(*this);
    auto execute = [&](const char *sql) { run(lease, sql, {}); };
    try {
        // Servers starting at once on one database take turns here; the one that comes second finds
        // the schema up to date.
        execute("BEGIN");
        execute("SELECT pg_advisory_xact_lock(7717, 0)");
        execute("CREATE TABLE IF NOT EXISTS quorix_schema (version INTEGER NOT NULL)");
        Result version = run(lease, "SELECT version FROM quorix_schema", {});
        int current = PQntuples(version.get()) > 0 ? std::atoi(PQgetvalue(version.get(), 0, 0)) : 0;
        const int latest = static_cast<int>(std::size(kMigrations));
        if (current > latest)
            throw StoreError("the database was written by a newer quorix-scored (schema " +
                             std::to_string(current) + ")");
        for (int step = current; step < latest; ++step)
            execute(kMigrations[step]);
        if (current == 0)
            run(lease, "INSERT INTO quorix_schema (version) VALUES ($1)", {std::to_string(latest)});
        else if (current < latest)
            run(lease, "UPDATE quorix_schema SET version = $1", {std::to_string(latest)});
        execute("COMMIT");
    } catch (const StoreUnavailable &) {
        throw;
    } catch (const StoreError &error) {
        if (!lease.broken)
            PQclear(PQexec(lease.connection, "ROLLBACK"));
        throw StoreError(std::string("cannot set up the score database: ") + error.what());
    }
    std::lock_guard guard(_poolLock);
    _serving = true;
}

AddOutcome PostgresStore::add(const Submission &submission, int64_t arrived, const ProvenReplay *replay) {
    // Not asked again on failure: the statement may have been committed before the connection broke.
    Lease lease(*this);
    std::vector<std::string> params = {
        submission.game.name(),           submission.name,
        std::to_string(submission.score), submission.computer,
        std::to_string(arrived),          submission.game.lowerIsBetter() ? "true" : "false",
        std::to_string(kTableSize)};
    if (!replay) {
        run(lease, "SELECT quorix_add_score($1, $2, $3, $4, $5, $6, $7)", params);
        return AddOutcome::stored;
    }
    params.push_back(std::to_string(replay->seed));
    params.push_back(byteaHex(replay->bytes));
    Result result =
        run(lease, "SELECT quorix_add_verified_score($1, $2, $3, $4, $5, $6, $7, $8, $9)", params);
    return std::string(PQgetvalue(result.get(), 0, 0)) == "t" ? AddOutcome::stored
                                                              : AddOutcome::alreadyStored;
}

std::optional<std::string> PostgresStore::replay(int64_t id) {
    // Asked in hex, whatever the server's bytea_output setting.
    Result result = ask("SELECT encode(bytes, 'hex') FROM replays WHERE id = $1", {std::to_string(id)});
    if (PQntuples(result.get()) == 0)
        return std::nullopt;
    const char *hex = PQgetvalue(result.get(), 0, 0);
    const size_t length = static_cast<size_t>(PQgetlength(result.get(), 0, 0));
    std::string bytes;
    bytes.reserve(length / 2);
    for (size_t i = 0; i + 1 < length; i += 2) {
        const int high = hexDigit(hex[i]);
        const int low = hexDigit(hex[i + 1]);
        if (high < 0 || low < 0)
            throw StoreError("the score database sent a damaged replay");
        bytes += static_cast<char>(high * 16 + low);
    }
    return bytes;
}

bool PostgresStore::wouldRank(GameId game, uint32_t score) {
    const char *sql =
        game.lowerIsBetter()
            ? "SELECT COUNT(*) FROM (SELECT 1 FROM scores WHERE game = $1 AND score <= $2 LIMIT $3) t"
            : "SELECT COUNT(*) FROM (SELECT 1 FROM scores WHERE game = $1 AND score >= $2 LIMIT $3) t";
    Result result = ask(sql, {game.name(), std::to_string(score), std::to_string(kTableSize)});
    return std::atoll(PQgetvalue(result.get(), 0, 0)) < kTableSize;
}

std::vector<ScoreRow> PostgresStore::top(GameId game, int limit) {
    const char *sql = game.lowerIsBetter()
                          ? "SELECT id, name, score, computer, arrived, verified FROM scores WHERE game = $1 "
                            "ORDER BY score ASC, id ASC LIMIT $2"
                          : "SELECT id, name, score, computer, arrived, verified FROM scores WHERE game = $1 "
                            "ORDER BY score DESC, id ASC LIMIT $2";
    Result result = ask(sql, {game.name(), std::to_string(limit)});
    std::vector<ScoreRow> rows;
    for (int i = 0; i < PQntuples(result.get()); ++i) {
        ScoreRow row;
        row.id = std::atoll(PQgetvalue(result.get(), i, 0));
        row.name.assign(PQgetvalue(result.get(), i, 1), static_cast<size_t>(PQgetlength(result.get(), i, 1)));
        row.score = static_cast<uint32_t>(std::atoll(PQgetvalue(result.get(), i, 2)));
        row.computer.assign(PQgetvalue(result.get(), i, 3),
                            static_cast<size_t>(PQgetlength(result.get(), i, 3)));
        row.arrived = std::atoll(PQgetvalue(result.get(), i, 4));
        row.verified = PQgetvalue(result.get(), i, 5)[0] == 't';
        rows.push_back(std::move(row));
    }
    return rows;
}

int64_t PostgresStore::count(GameId game) {
    Result result = ask("SELECT COUNT(*) FROM scores WHERE game = $1", {game.name()});
    return std::atoll(PQgetvalue(result.get(), 0, 0));
}

} // namespace scored
