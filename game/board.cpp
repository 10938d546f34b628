#include "game/board.h"

#include <cstdlib>
#include <cstring>

#include "game/hints.h"
#include "game/moves.h"
#include "game/rules.h"

sToken tokenTable[kBoardCells];
sToken calculationTokenTable[kBoardCells];
void (*gDealingHook)() = nullptr;

int16_t randomTokenColor() {
    if (gameDifficulty == 0)
        return static_cast<int16_t>(rand() % 6);
    return static_cast<int16_t>(rand() % (gameDifficulty + 4));
}

void resetTokenTable(bool resetScore) {
    if (resetScore) {
        score = 0;
        resetTimer(_gameMode);
        _onlineProcessed = false;
    }
    endPlay = false;
    ghighscoreProcessed = false;
    gameOverFade = 0.0f;

    std::memset(tokenTable, 0, sizeof(tokenTable));
    for (long x = 0; x < kBoardColumns; x++) {
        for (long y = 0; y < kBoardRows; y++) {
            sToken &cell = tokenAt(x, y);
            cell.color = randomTokenColor();
            cell.fade = 1.0f;
            cell.alive = true;
        }
    }

    // Each pass mends one line; the hook keeps the window answering while the board is cleaned up.
    do {
        if (gDealingHook)
            gDealingHook();
    } while (removeMatches());

    if (gameDifficulty == 0)
        generateRandomBonuses();
    showHint();
}

bool removeMatches() {
    for (long y = 0; y < kBoardRows; y++) {
        for (long x = 0; x < kBoardColumns - 2; x++) {
            if (isMatching(x, y, x + 1, y, x + 2, y)) {
                // Replacements come from the five colours every difficulty has.
                tokenAt(x + 1, y).color = static_cast<int16_t>(rand() % 5);
                return true;
            }
        }
    }
    for (long y = 0; y < kBoardRows - 2; y++) {
        for (long x = 0; x < kBoardColumns; x++) {
            if (isMatching(x, y, x, y + 1, x, y + 2)) {
                tokenAt(x, y + 1).color = static_cast<int16_t>(rand() % 5);
                return true;
            }
        }
    }
    return false;
}

void generateRandomBonuses() {
    for (int i = 0; i < 8; i++) {
        const int cell = rand() % kBoardCells;
        tokenTable[cell].bonusType = rand() % 5;
    }
}

void appearTokens() {
    if (isThereAMovingToken())
        return;
    for (long x = 0; x < kBoardColumns; x++) {
        sToken &cell = tokenAt(x, 0);
        if (cell.alive)
            continue;
        cell.dx = cell.dy = cell.fally = 0.0f;
        cell.speedX = cell.speedY = 0;
        cell.bonus = 0;
        cell.sinus = cell.sinusSpeed = 0.0f;
        cell.selected = false;
        cell.color = randomTokenColor();
        cell.alive = true;
        cell.fade = 0.0f;
        cell.fadeSpeed = 0.1f;
        // One new token in 15 carries a bonus (one in 5 at difficulty 0); kinds 0 and 5 carry none.
        const int draw = gameDifficulty == 0 ? rand() % 5 : rand() % 15;
        cell.bonusType = draw == 3 ? rand() % 7 : kBonusNone;
    }
}

bool isThereAnIncomingToken() {
    for (long x = 0; x < kBoardColumns; x++) {
        if (tokenAt(x, 0).fadeSpeed > 0.0f)
            return true;
    }
    return false;
}

bool isThereAFadingToken() {
    for (const sToken &cell : tokenTable) {
        if (cell.alive && cell.fade > 0.0f && cell.fade < 1.0f)
            return true;
    }
    return false;
}

bool isThereAMovingToken() {
    // A token growing in at the top lets the others go on falling and the row go on refilling.
    if (isThereAnIncomingToken())
        return false;
    for (const sToken &cell : tokenTable) {
        if (cell.alive && (cell.speedX != 0 || cell.speedY != 0 || cell.fally != 0.0f || cell.dy != 0.0f))
            return true;
    }
    return false;
}

bool isThereAFallingToken() {
    for (const sToken &cell : tokenTable) {
        if (cell.alive && cell.fally != 0.0f)
            return true;
    }
    return false;
}

bool cellAtScreenPosition(long px, long py, long *x, long *y) {
    if (px < kBoardLeft || py < kBoardTop)
        return false;
    const long cx = (px - kBoardLeft) / kCellSize;
    const long cy = (py - kBoardTop) / kCellSize;
    if (!isOnBoard(cx, cy))
        return false;
    *x = cx;
    *y = cy;
    return true;
}
