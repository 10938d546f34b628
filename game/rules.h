// The state of the game under way: mode, score, clock and game over.
#pragma once

#include <cstdint>

// 0 60 seconds, 1 5 minutes, 2 race to a million, 3 relax.
extern long _gameMode;
// Points of the game under way.
extern uint32_t score;
// Points per unit: 100 in the million mode, 1 elsewhere.
extern long _unitScore;
// The recorded result: points, or in the million mode the seconds it took.
extern long _realScore;
// Seconds left (modes 0 and 1), seconds spent (mode 2), 0 in relax mode.
extern long gameTimer;
// Frames counted towards the next tick, 0..74.
extern long subTimer;
extern bool gameOver;
// The play loop must return to the menu.
extern bool endPlay;
// The game's name for the score server, "quorix<mode>dif<difficulty>".
extern char gameDescription[260];

// Shared with the game-over panel and the online scores: a new board clears them.
extern float gameOverFade;
extern bool ghighscoreProcessed;
extern bool _onlineProcessed;

constexpr long kFramesPerTick = 75;
constexpr uint32_t kMillionTarget = 1000000;

// The points that buy a mode's units and the clock at the start of each mode.
long unitScoreForMode(long gameMode);

// Starts the clock for a mode and clears the game-over state and the result.
void resetTimer(long gameMode);
// Counts one frame when decompte is true, runs the tick rules and returns the clock text to draw
// ("mm:ss", or the time of day "h:mm" in relax mode, which changes only at a tick).
const char *advanceClock(long gameMode, bool decompte);

// Where the relax mode's clock reads the time of day; tests replace it.
extern void (*gTimeOfDaySource)(int *hour, int *minute);

// Sets up the state of a new game in a mode at prefs.difficulty: its name, units, score, random seed.
void prepareGame(long gameMode, unsigned int randomSeed);
// prepareGame, then a fresh board and the clock.
void beginGame(long gameMode, unsigned int randomSeed);
