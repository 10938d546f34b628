// The move search: is any move left, and which token can move (the hint).
#pragma once

// Exchanges the colours of two cells of the scratch board.
void swapForHint(long x1, long y1, long x2, long y2);
// The three cells of the scratch board are alive and of one colour.
bool isMatchingForHint(long x1, long y1, long x2, long y2, long x3, long y3);
// Some line of three stands on the scratch board.
bool checkForPossibility();
// Exchanging the cell with one of its neighbours would leave a line somewhere.
bool isHint(long x, long y);
// Some cell passes isHint.
bool isThereAPossibilityLeft();
// Makes one movable token wobble.
void showHint();
// The hint button: charges 50 units (free in relax mode) and shows a hint, or refuses with a sound.
void buyHint();

constexpr float kHintWobbleSpeed = 0.1f;
constexpr long kHintPriceUnits = 50;
