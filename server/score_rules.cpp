#include "server/score_rules.h"

#include <cstdio>

namespace scored {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

const std::string *find(const std::map<std::string, std::string> &query, const char *key) {
    auto it = query.find(key);
    return it == query.end() ? nullptr : &it->second;
}

Refusal readScore(const std::map<std::string, std::string> &query, const char *key, uint32_t &out) {
    const std::string *text = find(query, key);
    if (!text)
        return std::string("missing ") + key;
    if (text->empty())
        return std::string(key) + " is empty";
    // Digits only: no sign, no spaces, no exponent. Leading zeros are harmless.
    uint64_t value = 0;
    for (char c : *text) {
        if (c < '0' || c > '9')
            return std::string(key) + " must be a whole number from 0 to 2147483647";
        value = value * 10 + static_cast<uint64_t>(c - '0');
        if (value > kMaxScore)
            return std::string(key) + " must be a whole number from 0 to 2147483647";
    }
    out = static_cast<uint32_t>(value);
    return {};
}

Refusal readGame(const std::map<std::string, std::string> &query, bool descPage, GameId &out) {
    const std::string *text = find(query, "gamename");
    if (!text)
        return "missing gamename";
    std::optional<GameId> game = parseGameName(*text);
    if (!game)
        return "gamename must be quorix<mode 0-2>dif<difficulty 0-3>";
    if (game->mode >= kRankedModes)
        return "the relax mode (quorix3dif*) has no world table";
    // One order per game, so that every table stays coherent.
    if (game->lowerIsBetter() != descPage)
        return descPage ? "only the million mode (quorix2dif*) is ranked by the desc pages"
                        : "the million mode (quorix2dif*) is ranked by the desc pages";
    out = *game;
    return {};
}

Refusal readText(const std::map<std::string, std::string> &query, const char *key, std::string &out) {
    const std::string *text = find(query, key);
    if (!text)
        return std::string("missing ") + key;
    if (text->empty() || text->size() > kMaxNameLength)
        return std::string(key) + " must be 1 to 31 printable characters";
    for (char c : *text) {
        if (c < 0x20 || c > 0x7E)
            return std::string(key) + " must be 1 to 31 printable characters";
    }
    out = *text;
    return {};
}

} // namespace

std::string GameId::name() const {
    char text[32];
    std::snprintf(text, sizeof(text), "quorix%ddif%d", mode, difficulty);
    return text;
}

std::optional<GameId> parseGameName(std::string_view text) {
    constexpr std::string_view prefix = "quorix";
    constexpr std::string_view middle = "dif";
    if (text.size() != prefix.size() + 1 + middle.size() + 1)
        return std::nullopt;
    if (text.substr(0, prefix.size()) != prefix || text.substr(prefix.size() + 1, middle.size()) != middle)
        return std::nullopt;
    char mode = text[prefix.size()];
    char difficulty = text.back();
    if (mode < '0' || mode >= '0' + kModes || difficulty < '0' || difficulty >= '0' + kDifficulties)
        return std::nullopt;
    return GameId{mode - '0', difficulty - '0'};
}

std::optional<GameId> parseRankedGameName(std::string_view text) {
    std::optional<GameId> game = parseGameName(text);
    if (game && game->mode >= kRankedModes)
        return std::nullopt;
    return game;
}

std::vector<GameId> rankedGames() {
    std::vector<GameId> games;
    for (int mode = 0; mode < kRankedModes; ++mode)
        for (int difficulty = 0; difficulty < kDifficulties; ++difficulty)
            games.push_back(GameId{mode, difficulty});
    return games;
}

std::optional<std::string> percentDecode(std::string_view text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '+') {
            decoded += ' ';
        } else if (c == '%') {
            if (i + 2 >= text.size())
                return std::nullopt;
            int high = hexValue(text[i + 1]);
            int low = hexValue(text[i + 2]);
            if (high < 0 || low < 0)
                return std::nullopt;
            decoded += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            decoded += c;
        }
    }
    return decoded;
}

Refusal parseQuery(std::string_view query, std::map<std::string, std::string> &values) {
    values.clear();
    while (!query.empty()) {
        size_t end = query.find('&');
        std::string_view piece = query.substr(0, end);
        query = end == std::string_view::npos ? std::string_view() : query.substr(end + 1);
        if (piece.empty())
            continue;
        size_t equals = piece.find('=');
        std::optional<std::string> key = percentDecode(piece.substr(0, equals));
        std::optional<std::string> value =
            percentDecode(equals == std::string_view::npos ? std::string_view() : piece.substr(equals + 1));
        if (!key || !value)
            return "malformed percent-encoding in the query";
        if (!values.emplace(std::move(*key), std::move(*value)).second)
            return "a query key is given twice";
    }
    return {};
}

Refusal readRankQuestion(const std::map<std::string, std::string> &query, bool descPage, RankQuestion &out) {
    RankQuestion question;
    if (Refusal refusal = readGame(query, descPage, question.game); !refusal.empty())
        return refusal;
    if (Refusal refusal = readScore(query, "submtdscore", question.score); !refusal.empty())
        return refusal;
    out = question;
    return {};
}

Refusal readSubmission(const std::map<std::string, std::string> &query, bool descPage, Submission &out) {
    Submission submission;
    if (Refusal refusal = readGame(query, descPage, submission.game); !refusal.empty())
        return refusal;
    if (Refusal refusal = readScore(query, "score", submission.score); !refusal.empty())
        return refusal;
    if (Refusal refusal = readText(query, "name", submission.name); !refusal.empty())
        return refusal;
    if (Refusal refusal = readText(query, "computer", submission.computer); !refusal.empty())
        return refusal;
    out = std::move(submission);
    return {};
}

std::string formatSeconds(uint32_t seconds) {
    char text[32];
    std::snprintf(text, sizeof(text), "%02u:%02u:%02u", seconds / 3600, seconds / 60 % 60, seconds % 60);
    return text;
}

} // namespace scored
