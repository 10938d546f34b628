// The player's clicks on the board, and one frame of the board's rules in the play loop's order.
#pragma once

// A click on a cell: toggles its selection with a click sound and tries the pair.
void clickCell(long x, long y);

// The input step, given the pointer in screen pixels and the left button. Acts only on a still board
// of a game that is not over; replaces an exhausted board (outside relax mode) before reading input.
// One action per press: the button must be released before the next one.
void handleBoardInput(long mouseX, long mouseY, bool leftButton);

// Forgets a press still held, as when a game starts.
void resetBoardInput();

// One frame of the board in the play loop's order: fades, falls, refill, swap, input, matching, clock.
// Returns the clock text of the frame.
const char *runBoardFrame(long mouseX, long mouseY, bool leftButton);
