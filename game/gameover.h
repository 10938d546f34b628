// The end of a game: the game-over panel, or the name entry for a result that earns a place.
#pragma once

#include "game/sheet_layout.h"

class KGraphicD3D;

// The name being typed, kept for the whole run so the last name is offered again.
extern char buffer[32];
extern long bufferPosition;
extern long blinker;

constexpr long kMaxNameLength = 18;
static_assert(kMaxNameLength == layout::kNameEntryMaxChars, "the entry panel has room for the name");

// The result _realScore earns a place: on the score server (asked once a game), or in the local table.
bool isHighScore();
// The panel's part of a frame, after the step: when the step advanced the game, the panel fades in or
// out, closes at once in relax mode and, at full size, takes the name (a UI layer over the step: the
// keys it reads are not the step's input). A frame that only waits for a release leaves it standing.
void updateGameOver(bool advanced);
// The panel's part of a frame of a game watched again: the game-over panel grows as in a game without a
// place in the tables; no name is asked for and no table or server is asked (relax mode shows none).
void updateWatchedGameOver(bool advanced);
// Draws the panel (and the name being typed) as updateGameOver left it.
void displayGameOver();
// The picture the panel shows now (the game-over or the name-entry panel), or none.
KGraphicD3D *gameOverPanelPicture();
// Forgets the panel of an earlier game: its pictures were freed with that game.
void closeGameOverPanel();
