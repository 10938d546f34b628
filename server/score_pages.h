// The world tables as web pages: "/" shows the best rows of all twelve ranked games (the relax mode has
// no world table), one page per game shows its whole table. Plain HTML with inline style, no outside
// resources.
#pragma once

#include "server/score_rules.h"
#include "server/score_store.h"

#include <string>
#include <string_view>

namespace scored {

constexpr int kRowsOnIndex = 10;

std::string htmlEscape(std::string_view text);
// "/game/quorix2dif1": the page of one game.
std::string gamePagePath(GameId game);
std::string renderIndexPage(ScoreStore &store);
std::string renderGamePage(ScoreStore &store, GameId game);

} // namespace scored
