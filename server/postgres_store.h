// The world tables in PostgreSQL, shared by any number of quorix-scored processes.
//
// Each process keeps a small pool of connections. A request waits a bounded time for a connection
// and for the database's answer; past that, or when the database cannot be reached, it fails with
// StoreUnavailable (status 503) and never hangs. Broken connections are dropped and opened anew on
// a later request, so the server carries on by itself once the database is back.
//
// A submission is one call of the function quorix_add_score, committed on its own: it takes the
// game's advisory lock, inserts and trims. Writers of one game therefore take turns, each sees every
// row committed before it, and row ids follow the order of arrival within a game.
#pragma once

#include "server/score_store.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct pg_conn;
struct pg_result;

namespace scored {

class PostgresStore : public ScoreStore {
public:
    // Connects and brings the schema up to date (safe when several processes start at once);
    // throws StoreError with the reason when the database cannot be used.
    PostgresStore(const std::string &location, const StoreSettings &settings);
    ~PostgresStore() override;
    PostgresStore(const PostgresStore &) = delete;
    PostgresStore &operator=(const PostgresStore &) = delete;

    using ScoreStore::add;
    AddOutcome add(const Submission &submission, int64_t arrived, const ProvenReplay *replay) override;
    std::optional<std::string> replay(int64_t id) override;
    bool wouldRank(GameId game, uint32_t score) override;
    std::vector<ScoreRow> top(GameId game, int limit) override;
    int64_t count(GameId game) override;

private:
    using Clock = std::chrono::steady_clock;
    using Result = std::unique_ptr<pg_result, void (*)(pg_result *)>;
    class Lease;

    pg_conn *connect();
    void migrate();
    // Runs one statement with text parameters; throws StoreUnavailable or StoreError.
    Result run(Lease &lease, const char *sql, const std::vector<std::string> &params);
    // Runs a question, once more on a fresh connection when the first one turns out to be broken.
    Result ask(const char *sql, const std::vector<std::string> &params);

    std::string _location;
    int _maxConnections;
    std::chrono::milliseconds _wait;

    std::mutex _poolLock;
    std::condition_variable _poolChanged;
    std::vector<pg_conn *> _idle;
    int _open = 0;
    bool _serving = false; // set up: failures are now reported on stderr
    std::string _lastFailure;
    Clock::time_point _lastReport;
};

} // namespace scored
