// Drawing what the play screen shows of the game: tokens, score, mode label, clock and banner.
#pragma once

void displayTokens();
void displayScore();
void displayGameMode(long gameMode);
// Counts one frame when decompte is true, runs the clock's rules and draws the clock. The picture calls
// it with decompte false, after the frame's step has counted the frame.
void ShowTimer(long gameMode, bool decompte);
// Draws the zap-attack banner where the frame's step left it.
void AnimateZapAttack();
