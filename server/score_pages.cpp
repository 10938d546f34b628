#include "server/score_pages.h"

#include <ctime>

namespace scored {

namespace {

// The names the game's own menu gives the modes and difficulties.
const char *const kModeNames[kRankedModes] = {"60 Seconds", "5 Minutes", "Million"};
const char *const kDifficultyNames[kDifficulties] = {"Easy", "Normal", "Hard", "Expert"};

const char *const kPageStart = R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>)";

const char *const kStyle = R"(</title>
<style>
body { font-family: sans-serif; background: #1d1b2f; color: #f2eee3; margin: 1.5em; }
h1 { color: #ffd166; }
h2 { font-size: 1.05em; margin: 0 0 .4em 0; }
a { color: #8ecae6; }
.games { display: grid; grid-template-columns: repeat(auto-fill, minmax(17em, 1fr)); gap: 1em; }
.game { background: #2b2945; border-radius: 8px; padding: .8em; }
table { border-collapse: collapse; width: 100%; }
th, td { text-align: left; padding: .15em .4em; }
td.value { text-align: right; font-variant-numeric: tabular-nums; }
tr:nth-child(even) td { background: #34315a; }
.empty { color: #a9a4c4; font-style: italic; }
</style>
</head>
<body>
)";

std::string gameTitle(GameId game) {
    return std::string(kModeNames[game.mode]) + ", " + kDifficultyNames[game.difficulty];
}

std::string formatValue(GameId game, uint32_t value) {
    return game.lowerIsBetter() ? formatSeconds(value) : std::to_string(value);
}

std::string formatDate(int64_t arrived) {
    std::time_t time = static_cast<std::time_t>(arrived);
    std::tm utc{};
    if (!gmtime_r(&time, &utc))
        return "";
    char text[32];
    std::strftime(text, sizeof(text), "%Y-%m-%d", &utc);
    return text;
}

void appendTable(std::string &html, GameId game, const std::vector<ScoreRow> &rows, bool withDates) {
    if (rows.empty()) {
        html += "<p class=\"empty\">No scores yet.</p>\n";
        return;
    }
    html += "<table>\n<tr><th>#</th><th>Name</th><th>";
    html += game.lowerIsBetter() ? "Time" : "Score";
    html += "</th>";
    if (withDates)
        html += "<th>Date</th>";
    html += "<th>Verified</th></tr>\n";
    int place = 1;
    for (const ScoreRow &row : rows) {
        html += "<tr><td>" + std::to_string(place++) + "</td><td>" + htmlEscape(row.name) +
                "</td><td class=\"value\">" + formatValue(game, row.score) + "</td>";
        if (withDates)
            html += "<td>" + formatDate(row.arrived) + "</td>";
        // A verified row was replayed by the server to this very result; anyone may watch it again.
        if (row.verified)
            html += "<td class=\"verified\"><a href=\"/replay/" + std::to_string(row.id) +
                    ".qrp\" title=\"replayed by the server; watch it with quorix --replay\">&#10003; "
                    "replay</a></td>";
        else
            html += "<td></td>";
        html += "</tr>\n";
    }
    html += "</table>\n";
}

} // namespace

std::string htmlEscape(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        case '\'':
            escaped += "&#39;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

std::string gamePagePath(GameId game) {
    return "/game/" + game.name();
}

std::string renderIndexPage(ScoreStore &store) {
    std::string html = kPageStart;
    html += "Quorix world tables";
    html += kStyle;
    html += "<h1>Quorix world tables</h1>\n<p>The best ";
    html += std::to_string(kRowsOnIndex);
    html += " of every game. Million-mode results are the time taken (hh:mm:ss): lower is better.</p>\n";
    for (int mode = 0; mode < kRankedModes; ++mode) {
        html += "<h2 style=\"margin-top:1em\">" + std::string(kModeNames[mode]) +
                "</h2>\n<div class=\"games\">\n";
        for (int difficulty = 0; difficulty < kDifficulties; ++difficulty) {
            GameId game{mode, difficulty};
            html += "<section class=\"game\"><h2><a href=\"" + gamePagePath(game) + "\">" + gameTitle(game) +
                    "</a></h2>\n";
            appendTable(html, game, store.top(game, kRowsOnIndex), false);
            html += "</section>\n";
        }
        html += "</div>\n";
    }
    html += "</body>\n</html>\n";
    return html;
}

std::string renderGamePage(ScoreStore &store, GameId game) {
    std::string title = gameTitle(game);
    std::string html = kPageStart;
    html += "Quorix: " + title;
    html += kStyle;
    html += "<p><a href=\"/\">All games</a></p>\n<h1>" + title + "</h1>\n<p>The world table of " +
            game.name() + ": the best " + std::to_string(kTableSize) + ".";
    if (game.lowerIsBetter())
        html += " Results are the time taken (hh:mm:ss): lower is better.";
    html += "</p>\n<section class=\"game\">\n";
    appendTable(html, game, store.top(game, kTableSize), true);
    html += "</section>\n</body>\n</html>\n";
    return html;
}

} // namespace scored
