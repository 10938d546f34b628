// Drawing what the play screen shows of the game: tokens, score, mode label, clock and banner.
#pragma once

void displayTokens();
void displayScore();
void displayGameMode(long gameMode);
// Counts one frame when decompte is true, runs the clock's rules and draws the clock.
void ShowTimer(long gameMode, bool decompte);
// Advances and draws the zap-attack banner.
void AnimateZapAttack();
