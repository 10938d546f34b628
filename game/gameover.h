// The end of a game: the game-over panel, or the name entry for a result that earns a place.
#pragma once

// The name being typed, kept for the whole run so the last name is offered again.
extern char buffer[32];
extern long bufferPosition;
extern long blinker;

constexpr long kMaxNameLength = 18;

bool isHighScore();
void displayGameOver();
