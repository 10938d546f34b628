// The world tables behind one interface, with two implementations: an SQLite file (the default, for a
// server on one machine) and PostgreSQL (for several server processes sharing one database).
//
// Every table keeps only what the pages show: the kTableSize best rows of each game, ties in order of
// arrival. add() stores a row and trims its game in the same transaction and returns only once that
// transaction is committed, so an answer of "ok" is a promise.
#pragma once

#include "server/score_rules.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace scored {

// The store failed; the request gets status 500.
struct StoreError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The database cannot be reached or is too busy to answer in time; the request gets status 503.
struct StoreUnavailable : StoreError {
    using StoreError::StoreError;
};

struct ScoreRow {
    int64_t id = 0; // increases with arrival within a game
    std::string name;
    uint32_t score = 0;
    std::string computer;
    int64_t arrived = 0;   // seconds since 1970, UTC
    bool verified = false; // the server replayed the game and reached this score; its replay is kept
};

// The replay of a game that the server played back to the claimed result. Its seed names the game: one
// game is ranked once, however often it is sent.
struct ProvenReplay {
    uint32_t seed = 0;
    std::string bytes;
};

enum class AddOutcome {
    stored,
    alreadyStored, // a verified row of the same game (same seed) is there already: nothing was stored
};

struct StoreSettings {
    // How long an SQLite statement waits for another program that holds the database.
    int busyTimeoutMs = 5000;
    // PostgreSQL: connections kept per process, and the longest a request waits for one of them or
    // for the database's answer before it is refused with 503.
    int connections = 8;
    int waitMs = 3000;
};

class ScoreStore {
public:
    virtual ~ScoreStore() = default;

    // Stores a submission and keeps its game's best kTableSize rows; throws StoreError (or
    // StoreUnavailable) when nothing was committed. With a replay the row is stored as verified and the
    // replay beside it, in the same transaction; a replay's row that falls out of its table takes the
    // replay with it.
    virtual AddOutcome add(const Submission &submission, int64_t arrived, const ProvenReplay *replay) = 0;
    void add(const Submission &submission, int64_t arrived) { add(submission, arrived, nullptr); }
    // The replay kept with a verified row; nullopt when the row is gone or was not verified.
    virtual std::optional<std::string> replay(int64_t id) = 0;
    // Whether the score would take one of the kTableSize places; a tie never displaces a stored row.
    virtual bool wouldRank(GameId game, uint32_t score) = 0;
    // The best rows, best first; among equal scores the earlier arrival first.
    virtual std::vector<ScoreRow> top(GameId game, int limit) = 0;
    // The rows stored for the game (never more than kTableSize).
    virtual int64_t count(GameId game) = 0;
};

// Whether the --db value names a PostgreSQL database ("postgresql://…", "postgres://…" or a
// "key=value …" connection string) rather than an SQLite file.
bool isPostgresLocation(const std::string &location);

// Opens (creating or upgrading its schema) the store at the location; throws StoreError with a
// one-line reason when it cannot be used.
std::unique_ptr<ScoreStore> openScoreStore(const std::string &location, const StoreSettings &settings = {});

} // namespace scored
