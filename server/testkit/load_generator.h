// The load generator shared by the load tool and the multi-process tests: concurrent keep-alive
// clients on loopback, half submissions and half ranking questions, and a check of the tables
// against what the clients were told.
#pragma once

#include "server/score_store.h"

#include <functional>
#include <string>
#include <vector>

namespace loadgen {

struct Settings {
    std::vector<int> ports; // client i starts on ports[i % n] and moves on to the next when refused
    int clients = 16;
    int requests = 20000; // requests answered 200, in all
    std::vector<scored::GameId> games = scored::rankedGames();
    uint32_t scoreRange = 400; // scores from 0 to scoreRange - 1: ties and trimming galore
    int timeLimitSeconds = 120;
    unsigned seed = 1;
    // Called once from a thread of its own when half of the requests have been answered.
    std::function<void()> midway;
};

struct Submitted {
    scored::GameId game;
    std::string name; // unique per attempt
    uint32_t score = 0;
    double sentMs = 0;
    double answeredMs = 0; // 0 when no "ok" came back
};

struct Result {
    std::vector<double> latenciesMs; // of every request answered 200, sorted
    std::vector<Submitted> acknowledged;
    std::vector<Submitted> uncertain; // sent without an "ok": stored or not, nobody was promised
    long unavailable = 0;             // answers 503
    long noAnswer = 0;                // connection refused, reset or timed out
    long unexpected = 0;              // any other answer: a fault
    double seconds = 0;
    bool outOfTime = false;

    double percentile(double fraction) const;
    double perSecond() const { return seconds > 0 ? static_cast<double>(latenciesMs.size()) / seconds : 0; }
};

Result run(const Settings &settings);

// Compares the stored tables with the ones the acknowledged submissions (and the uncertain ones that
// were stored) must give: at most the kept rows per game, nothing unknown or twice, every
// acknowledged row that ranks present, the same scores in the same order as a single process would
// keep, and ties in order of arrival. Returns the faults found (empty when the tables are right).
std::vector<std::string> checkTables(scored::ScoreStore &store, const Result &load,
                                     const std::vector<scored::GameId> &games);

} // namespace loadgen
