// The state of the game under way: mode, score, clock and game over.
#pragma once

#include <cstdint>

// The four modes; _gameMode and prefs.gameMode hold these values.
enum eGameMode : long {
    kModeSixtySeconds = 0,
    kModeFiveMinutes = 1,
    kModeMillion = 2, // the race to a million: the result is the time it took
    kModeRelax = 3,   // no clock: the player ends the game
};

extern long _gameMode;
// The difficulty of the game under way, 0..3: set from the menu's choice when the game begins.
extern long gameDifficulty;
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

// Sets up the state of a new game: its mode, difficulty, name, units and score, and seeds the random
// numbers with srand. The board and the clock are dealt and started by the caller.
void prepareGame(long gameMode, long difficulty, long unitScore, unsigned int randomSeed);
