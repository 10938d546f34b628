// The play screen: one game from its entry transition to the return to the menu.
#pragma once

#include "game/engine.h"
#include "game/replay_file.h"

class KGraphicD3D;
class KText;

extern KGraphicD3D *surf_fond; // the play sheet of the current skin
extern KGraphicD3D *surf_internet;
extern KGraphicD3D *surf_gameover;
extern KGraphicD3D *surf_highscore;
extern KGraphicD3D *surf_select;
extern KGraphicD3D *surf_bomb;
extern KGraphicD3D *surf_horiz;
extern KGraphicD3D *surf_verti;
extern KGraphicD3D *surf_rand;
extern KGraphicD3D *surf_xzap;
extern KText *text_numbers;      // the clock digits
extern KText *text_scorenumbers; // the score digits

// Runs a game in the given mode until the player leaves or the window closes: each frame reads the
// input, runs the game's step (game/engine.h), plays its sounds, draws and presents.
// With a replay, the recorded game is shown instead: its input drives the step, the player's Escape
// leaves, and nothing is recorded, entered or sent.
void doTheGame(long gameMode, const replay::Replay *replayToWatch = nullptr);
void ScrollTheGame();
// What the play screen reads in this frame.
FrameInput readFrameInput();

// Where each game's random seed comes from: the millisecond clock; tests choose their own.
extern unsigned int (*gGameSeedSource)();
// The step of the game under way, for those who watch it (nullptr outside the play screen).
extern const GameEngine *gGameUnderWay;

// The game under way as its replay, up to the last step; and whether a replay is being watched.
replay::Replay recordingSoFar();
bool watchingReplay();
// A replay is being watched and all its frames have been played: its last frame stays on screen.
bool watchedReplayPlayedOut();
