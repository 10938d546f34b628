#include "game/moves.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "game/board.h"
#include "game/bonus.h"
#include "game/game_sounds.h"
#include "game/hints.h"
#include "game/rules.h"

void clickCell(long x, long y) {
    if (isOnBoard(x, y)) {
        sToken &cell = tokenAt(x, y);
        cell.selected = !cell.selected;
        reportSound(eGameSound::click);
    }
    MoveSelection();
}

void MoveSelection() {
    long found = 0;
    long xs[2] = {0, 0};
    long ys[2] = {0, 0};
    for (long x = 0; x < kBoardColumns && found < 2; x++) {
        for (long y = 0; y < kBoardRows && found < 2; y++) {
            if (tokenAt(x, y).selected) {
                xs[found] = x;
                ys[found] = y;
                found++;
            }
        }
    }
    if (found < 2)
        return;
    const long xA = xs[0], yA = ys[0], xB = xs[1], yB = ys[1];

    // In relax mode any neighbouring pair may be swapped, line or not.
    if (_gameMode != kModeRelax && !isAPossibleMatch(xA, yA, xB, yB)) {
        reportSound(eGameSound::nohint);
        return;
    }
    sToken &a = tokenAt(xA, yA);
    sToken &b = tokenAt(xB, yB);
    a.selected = false;
    b.selected = false;

    // Diagonal and distant pairs never swap, silently.
    if (xA != xB && yA != yB)
        return;
    if (std::labs(xA - xB) > 1 || std::labs(yA - yB) > 1)
        return;

    reportSound(eGameSound::swap, true);
    a.speedX = static_cast<int16_t>(kSwapStep * (xB - xA));
    a.speedY = static_cast<int16_t>(kSwapStep * (yB - yA));
    b.speedX = static_cast<int16_t>(kSwapStep * (xA - xB));
    b.speedY = static_cast<int16_t>(kSwapStep * (yA - yB));
    a.beingSwapped = true;
    b.beingSwapped = true;
}

bool isAPossibleMatch(long x1, long y1, long x2, long y2) {
    std::memcpy(calculationTokenTable, tokenTable, sizeof(tokenTable));
    swapForHint(x1, y1, x2, y2);
    if (checkForPossibility())
        return true;
    tokenAt(x1, y1).selected = false;
    tokenAt(x2, y2).selected = false;
    return false;
}

bool doSwapTokens() {
    if (isThereAnIncomingToken() || isThereAFallingToken())
        return false;

    sToken *pair[2] = {nullptr, nullptr};
    int found = 0;
    for (sToken &cell : tokenTable) {
        if (cell.alive && cell.beingSwapped) {
            pair[found++] = &cell;
            if (found == 2)
                break;
        }
    }
    if (found < 2)
        return true;

    sToken &first = *pair[0];
    sToken &second = *pair[1];
    first.dx += first.speedX;
    first.dy += first.speedY;
    second.dx += second.speedX;
    second.dy += second.speedY;

    // The second token decides when the swap has crossed a whole cell.
    if (second.speedY != 0 && std::labs(static_cast<long>(second.dy)) < kCellSize)
        return false;
    if (second.speedX != 0 && std::labs(static_cast<long>(second.dx)) < kCellSize)
        return false;

    // Only colour and bonus change cells; the tokens themselves stay put.
    std::swap(first.color, second.color);
    std::swap(first.bonusType, second.bonusType);
    for (sToken *cell : pair) {
        cell->beingSwapped = false;
        cell->speedX = cell->speedY = 0;
        cell->dx = cell->dy = 0.0f;
    }
    return true;
}

bool isMatching(long x1, long y1, long x2, long y2, long x3, long y3) {
    const sToken &a = tokenAt(x1, y1);
    const sToken &b = tokenAt(x2, y2);
    const sToken &c = tokenAt(x3, y3);
    if (!a.alive || !b.alive || !c.alive)
        return false;
    return a.color == b.color && b.color == c.color;
}

long matchAward(long goingAway) {
    if (goingAway < 3)
        return 0;
    if (goingAway > 9)
        return 640;
    return 5L << (goingAway - 3);
}

void checkForMatches() {
    if (isThereAnIncomingToken() || isThereAMovingToken() || isThereAFadingToken())
        return;

    long goingAway = 0;
    // Vanishing tokens stay alive with their colour, so every overlapping triple is found in one pass.
    auto matchTriple = [&](long x1, long y1, long x2, long y2, long x3, long y3) {
        if (!isMatching(x1, y1, x2, y2, x3, y3))
            return;
        reportSound(eGameSound::good, true);
        fadeOut(x1, y1);
        fadeOut(x2, y2);
        fadeOut(x3, y3);
        goingAway += 3;
    };
    for (long y = 0; y < kBoardRows; y++)
        for (long x = 0; x < kBoardColumns - 2; x++)
            matchTriple(x, y, x + 1, y, x + 2, y);
    for (long y = 0; y < kBoardRows - 2; y++)
        for (long x = 0; x < kBoardColumns; x++)
            matchTriple(x, y, x, y + 1, x, y + 2);

    score += static_cast<unsigned long>(matchAward(goingAway) * _unitScore);
}

void fadeOut(long x, long y) {
    if (!isOnBoard(x, y))
        return;
    sToken &cell = tokenAt(x, y);
    // A token already appearing or vanishing fires nothing: every bonus fires once and chains end.
    if (cell.fadeSpeed != 0.0f)
        return;
    cell.fade = 1.0f;
    cell.fadeSpeed = kVanishSpeed;

    switch (cell.bonusType) {
    case kBonusBomb:
        reportSound(eGameSound::bomb);
        doBonus(kBonusBomb, x, y);
        break;
    case kBonusHorizontal:
        reportSound(eGameSound::zap);
        doBonus(kBonusHorizontal, x, y);
        break;
    case kBonusVertical:
        reportSound(eGameSound::zap);
        doBonus(kBonusVertical, x, y);
        break;
    case kBonusCross:
        reportSound(eGameSound::zap);
        doBonus(kBonusVertical, x, y);
        doBonus(kBonusHorizontal, x, y);
        break;
    case kBonusRandom:
        // The random bonus decides what it is at the moment it fires, then fires as that kind.
        cell.bonusType = rand() % 5;
        cell.fadeSpeed = 0.0f;
        fadeOut(x, y);
        break;
    default:
        break;
    }
}

bool animateField() {
    bool faded = false;
    for (sToken &cell : tokenTable) {
        if (cell.sinusSpeed > 0.0f) {
            cell.sinus += cell.sinusSpeed;
            if (cell.sinus > kWobbleEnd) {
                cell.sinus = 0.0f;
                cell.sinusSpeed = 0.0f;
            }
        }
        if (cell.fadeSpeed != 0.0f) {
            cell.fade += cell.fadeSpeed;
            faded = true;
            if (cell.fade <= 0.0f) {
                // Gone: the cell keeps its colour and bonus but is empty.
                cell.fade = 0.0f;
                cell.alive = false;
                cell.fadeSpeed = 0.0f;
            }
            if (cell.fade >= 1.0f) {
                cell.fade = 1.0f;
                cell.alive = true;
                cell.fadeSpeed = 0.0f;
            }
        }
    }
    return faded;
}

bool fallTokens() {
    // Bottom up, so that a cell emptied in this pass lets the token above it start at once.
    for (long r = kBoardRows - 1; r >= 1; r--) {
        for (long x = 0; x < kBoardColumns; x++) {
            sToken &lower = tokenAt(x, r);
            sToken &upper = tokenAt(x, r - 1);
            if (lower.alive)
                continue;
            if (upper.fade != 1.0f)
                continue;
            upper.fally += kFallStep;
            if (upper.fally >= kCellSize) {
                lower.color = upper.color;
                lower.alive = upper.alive;
                lower.bonusType = upper.bonusType;
                lower.fade = 1.0f;
                lower.fally = 0.0f;
                lower.sinus = 0.0f;
                lower.sinusSpeed = 0.0f;
                upper.alive = false;
                upper.fally = 0.0f;
            }
        }
    }
    return true;
}
