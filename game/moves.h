// One move and everything that follows it: swap, matching, vanishing and falling. Each step is called
// once per frame by the play loop and does nothing while the board is not in the state it needs.
#pragma once

// Per-frame motion of the board.
constexpr float kSwapStep = 7.0f;       // pixels per frame, 6 frames to cross a cell
constexpr float kFallStep = 7.0f;       // pixels per frame, 6 frames per row
constexpr float kVanishSpeed = -0.025f; // 40 frames from full to gone
constexpr float kAppearSpeed = 0.1f;    // 10 frames to grow in
constexpr float kWobbleEnd = 25.12f;    // a hint wobbles until its phase passes this

// A click on a cell: toggles its selection with a click sound, then tries the pair (a click off the
// board only tries the pair).
void clickCell(long x, long y);
// Turns the two selected tokens into a swap, or refuses them.
void MoveSelection();
// Would exchanging the two cells leave a line anywhere on the board? Clears both selections if not.
bool isAPossibleMatch(long x1, long y1, long x2, long y2);
// Advances the swap under way by one frame and completes it.
bool doSwapTokens();
// The three cells are alive and of one colour.
bool isMatching(long x1, long y1, long x2, long y2, long x3, long y3);
// On a still board, starts every line of three vanishing and scores them.
void checkForMatches();
// Starts one token vanishing and fires its bonus; cells off the board or already fading are ignored.
void fadeOut(long x, long y);
// Advances every fade and wobble by one frame; true if something faded.
bool animateField();
// Advances every fall by one frame.
bool fallTokens();

// The award, in units, for goingAway tokens (three per triple) found on one still board.
long matchAward(long goingAway);
