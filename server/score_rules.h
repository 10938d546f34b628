// The score server's rules: which games exist, how their results are ordered, and what a request
// must hold. Everything here is pure and checks its input strictly; a refusal carries a one-line
// reason that the server sends back with status 400.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace scored {

constexpr int kModes = 4;
constexpr int kRankedModes = 3; // the relax mode (3) has no world table: the game never sends it
constexpr int kDifficulties = 4;
constexpr int kMillionMode = 2; // ranked by time in seconds: lower is better
constexpr int kTableSize = 100; // places in each world table
constexpr size_t kMaxNameLength = 31;
constexpr uint32_t kMaxScore = 2147483647u;

struct GameId {
    int mode = 0;
    int difficulty = 0;

    bool lowerIsBetter() const { return mode == kMillionMode; }
    // "quorix<mode>dif<difficulty>", the name the game sends.
    std::string name() const;
    bool operator==(const GameId &) const = default;
};

// Parses exactly "quorix[0-3]dif[0-3]".
std::optional<GameId> parseGameName(std::string_view text);
// Parses the name of a game that has a world table: "quorix[0-2]dif[0-3]".
std::optional<GameId> parseRankedGameName(std::string_view text);
// The twelve games with a world table, in the order the pages list them.
std::vector<GameId> rankedGames();

// A reason for refusing a request; empty when the request is sound.
using Refusal = std::string;

// Splits a raw query string ("a=1&b=x%20y") into decoded keys and values. '+' stands for a space and
// '%' must be followed by two hex digits. A key given twice is refused.
Refusal parseQuery(std::string_view query, std::map<std::string, std::string> &values);

// Decodes percent-escapes strictly; nullopt on a malformed escape.
std::optional<std::string> percentDecode(std::string_view text);

struct RankQuestion {
    GameId game;
    uint32_t score = 0;
};

struct Submission {
    GameId game;
    uint32_t score = 0;
    std::string name;
    std::string computer;
};

// The two kinds of request, read from a decoded query. descPage tells which family of pages was
// asked: the "desc" pages serve the million mode, the others every other mode.
Refusal readRankQuestion(const std::map<std::string, std::string> &query, bool descPage, RankQuestion &out);
Refusal readSubmission(const std::map<std::string, std::string> &query, bool descPage, Submission &out);

// A million-mode result as hh:mm:ss.
std::string formatSeconds(uint32_t seconds);

} // namespace scored
