#include "game/hints.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "game/board.h"
#include "game/game_sounds.h"
#include "game/rules.h"

namespace {

inline sToken &scratchAt(long x, long y) {
    return calculationTokenTable[y * kBoardColumns + x];
}

// Tries an exchange of (x, y) with a partner on a fresh copy of the board.
bool trialMakesLine(long x, long y, long px, long py) {
    std::memcpy(calculationTokenTable, tokenTable, sizeof(tokenTable));
    swapForHint(x, y, px, py);
    return checkForPossibility();
}

bool markFirstHint(long fromX, long fromY) {
    for (long x = fromX; x < kBoardColumns; x++) {
        for (long y = fromY; y < kBoardRows; y++) {
            if (isHint(x, y)) {
                tokenAt(x, y).sinusSpeed = kHintWobbleSpeed;
                return true;
            }
        }
    }
    return false;
}

} // namespace

void swapForHint(long x1, long y1, long x2, long y2) {
    std::swap(scratchAt(x1, y1).color, scratchAt(x2, y2).color);
}

bool isMatchingForHint(long x1, long y1, long x2, long y2, long x3, long y3) {
    const sToken &a = scratchAt(x1, y1);
    const sToken &b = scratchAt(x2, y2);
    const sToken &c = scratchAt(x3, y3);
    if (!a.alive || !b.alive || !c.alive)
        return false;
    return a.color == b.color && b.color == c.color;
}

bool checkForPossibility() {
    for (long y = 0; y < kBoardRows; y++)
        for (long x = 0; x < kBoardColumns - 2; x++)
            if (isMatchingForHint(x, y, x + 1, y, x + 2, y))
                return true;
    for (long y = 0; y < kBoardRows - 2; y++)
        for (long x = 0; x < kBoardColumns; x++)
            if (isMatchingForHint(x, y, x, y + 1, x, y + 2))
                return true;
    return false;
}

bool isHint(long x, long y) {
    if (!isOnBoard(x, y))
        return false;
    // At the edge the clamped partner is the cell itself: that trial only finds a line already standing.
    const long left = std::max(x - 1, 0L);
    const long right = std::min(x + 1, kBoardColumns - 1);
    const long up = std::max(y - 1, 0L);
    const long down = std::min(y + 1, kBoardRows - 1);
    return trialMakesLine(x, y, left, y) || trialMakesLine(x, y, right, y) || trialMakesLine(x, y, x, up) ||
           trialMakesLine(x, y, x, down);
}

bool isThereAPossibilityLeft() {
    // Asked on every frame the board stands still; the answer depends only on which colour stands in
    // which cell, so it is kept for the board it was found on.
    static std::array<int32_t, kBoardCells> answeredBoard{};
    static bool answered = false, answer = false;
    std::array<int32_t, kBoardCells> board;
    for (long i = 0; i < kBoardCells; i++)
        board[i] = tokenTable[i].alive ? 0x10000 | static_cast<uint16_t>(tokenTable[i].color) : 0;
    if (answered && board == answeredBoard)
        return answer;
    answer = false;
    for (long x = 0; x < kBoardColumns && !answer; x++)
        for (long y = 0; y < kBoardRows && !answer; y++)
            answer = isHint(x, y);
    answeredBoard = board;
    answered = true;
    return answer;
}

void showHint() {
    if (gameOver)
        return;
    // A random start spreads the hints over the board; the second scan covers what the first skipped.
    const long x0 = rand() % kBoardColumns;
    const long y0 = rand() % kBoardRows;
    if (!markFirstHint(x0, y0))
        markFirstHint(0, 0);
}

void buyHint() {
    if (gameOver)
        return;
    const unsigned long price = static_cast<unsigned long>(kHintPriceUnits * _unitScore);
    if (score >= price || _gameMode == kModeRelax) {
        reportSound(eGameSound::hint);
        showHint();
        if (_gameMode != kModeRelax)
            score -= price;
    } else {
        reportSound(eGameSound::nohint);
    }
}
