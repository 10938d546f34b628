// Bonus effects and the zap attack, the gift of a new board when no move is left.
#pragma once

// Below 0: no banner. Otherwise the banner's angle in degrees: 275 at the start, +1 per frame.
extern float zapAttack;
// The banner's scale and opacity, advanced with zapAttack.
extern float zoomAttack;
extern float blendAttack;

constexpr float kZapAttackStart = 275.0f;
constexpr float kZapAttackFadeFrom = 405.0f; // from this angle on the banner fades out

// Clears the cells of a bomb (1), a row (2) or a column (3) around (x, y) and scores them.
void doBonus(long bonusType, long x, long y);

void startZapAttack();
void clearZapAttack();
// Advances the banner by one frame; false when there is nothing to draw.
bool stepZapAttack();
// The whole exchange of an exhausted board: sound, new board keeping score and clock, 1000 points.
void runZapAttack();
