// Proving a result: the posted replay is played back by quorix-verify, a program of its own that links
// the game's rules and nothing else. A program rather than a call, because the rules keep one game's
// state for the whole process, and because a replay is input from anyone: whatever it does to the
// verifier, the server only ever sees an answer, a refusal or a time-out.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

namespace scored {

// What the verifier made of a replay.
struct ReplayVerdict {
    bool replayed = false; // false: the replay was refused or the verifier failed; see reason
    std::string reason;
    int mode = -1;
    int difficulty = -1;
    uint32_t seed = 0;
    uint32_t frames = 0;
    uint32_t score = 0;
    int64_t result = 0;    // what the game records: the score, or the time in the race to a million
    bool gameOver = false; // the replay ends in the frame the game is over
};

struct ReplayCheckSettings {
    std::string program;                   // the verifier; empty: quorix-verify beside this program
    std::chrono::milliseconds bound{2000}; // a replay still running then is killed and refused
    unsigned concurrent = 2;               // replays checked at once; more are refused at once
};

class ReplayChecker {
public:
    explicit ReplayChecker(ReplayCheckSettings settings);

    // Plays the replay back. Returns at the latest after the bound. busy is set (and nothing run)
    // when as many replays as allowed are being checked already.
    ReplayVerdict check(const std::string &replay, bool &busy);

    const std::string &program() const { return _settings.program; }

private:
    ReplayVerdict run(const std::string &replay) const;

    ReplayCheckSettings _settings;
    std::mutex _lock;
    unsigned _running = 0;
};

// Reads the verifier's answer line, "mode=0 difficulty=1 seed=… frames=… score=… result=… over=yes".
bool parseVerdictLine(const std::string &line, ReplayVerdict &verdict);

} // namespace scored
