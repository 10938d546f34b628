#include "game/board_input.h"

#include "game/board.h"
#include "game/bonus.h"
#include "game/hints.h"
#include "game/moves.h"
#include "game/rules.h"
#include "shell/sounds.h"

namespace {
// The left button was down in the last frame.
bool oldButton = false;
} // namespace

void clickCell(long x, long y) {
    if (isOnBoard(x, y)) {
        sToken &cell = tokenAt(x, y);
        cell.selected = !cell.selected;
        playEffect(snd_click);
    }
    MoveSelection();
}

void handleBoardInput(long mouseX, long mouseY, bool leftButton) {
    if (gameOver || isThereAnIncomingToken() || isThereAMovingToken() || isThereAFadingToken())
        return;
    if (_gameMode != 3 && !isThereAPossibilityLeft()) {
        runZapAttack();
        return;
    }
    if (!leftButton) {
        oldButton = false;
        return;
    }
    if (oldButton)
        return;
    oldButton = true;

    long x = -1;
    long y = -1;
    // A press off the board still tries the pair (there is none to try unless two are selected).
    cellAtScreenPosition(mouseX, mouseY, &x, &y);
    clickCell(x, y);
}

void resetBoardInput() {
    oldButton = false;
}

const char *runBoardFrame(long mouseX, long mouseY, bool leftButton) {
    animateField();
    fallTokens();
    appearTokens();
    doSwapTokens();
    handleBoardInput(mouseX, mouseY, leftButton);
    checkForMatches();
    return advanceClock(_gameMode, true);
}
