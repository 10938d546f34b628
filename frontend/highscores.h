// The local high-score tables: per game mode, the three best results of each difficulty.
#pragma once

#include <cstdint>
#include <string>

#include "game/sheet_layout.h"

// One row: a name ended by a 0 byte, and the result (points, or seconds in the million mode).
struct sHighEntry {
    char name[32];
    uint32_t score;
};

// Row = difficulty * 3 + rank; row 12 is a spare kept with the table but never shown or played for.
struct sHighScores {
    sHighEntry players[13];
};
static_assert(sizeof(sHighScores) == 468, "a table file is 468 bytes");

extern sHighScores score60sec;
extern sHighScores score5Min;
extern sHighScores scoreMillion;
extern sHighScores scoreRelax;

extern const sHighScores bscore60sec;
extern const sHighScores bscore5Min;
extern const sHighScores bscoreMillion;
extern const sHighScores bscoreRelax;

constexpr int kHighScoreRowsShown = 12;
static_assert(kHighScoreRowsShown == layout::kHighScoreRowCount, "the page has a line for every row shown");

// The table of a game mode (or high-score tab); any other number gives the relax table.
sHighScores *highScoreTable(long mode);
// In the million mode the result is a time: lower is better.
inline bool lowerIsBetter(long mode) {
    return mode == 2;
}

// The result earns a place: strictly better than the third best of its difficulty. Ties earn none.
bool qualifiesForHighScore(long mode, long difficulty, uint32_t value);
// Enters a result below every equal row of its difficulty, moving the rows under it down by one.
void insertHighScore(long mode, long difficulty, uint32_t value, const char *name);

void loadHigh(sHighScores *table, const char *filename);
void saveHigh(sHighScores *table, const char *filename);
// All four tables, in the order 60 seconds, 5 minutes, relax, million.
void loadHighScores();
void saveHighScores();
// Puts the reset tables in place of the live ones (saved at the next save).
void resetScores();

long getHours(long seconds);
long getMinutes(long seconds);
long getSeconds(long seconds);

// The high-score page: draws the rows of one table with the high-score font.
void displayHighscores(long highscoreTabnb);
// Tab selection, the lit tab and the table, every frame while the page is shown. A press on a row whose
// game was recorded asks to watch it.
void DoHighscoreInput(long mx, long my, bool bt);
// The replay file a row's press asked to watch since the last call ("" for none).
std::string takeRowReplayToWatch();
