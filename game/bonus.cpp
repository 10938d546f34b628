#include "game/bonus.h"

#include "game/board.h"
#include "game/game_sounds.h"
#include "game/moves.h"
#include "game/rules.h"

float zapAttack = -51.0f;
float zoomAttack = 0.0f;
float blendAttack = 0.0f;

namespace {

// The flat part of an effect's score; the per-cell part is in units of _unitScore.
constexpr unsigned long kBonusFlatScore = 100;
constexpr unsigned long kZapAttackGift = 1000;

void addUnits(long units) {
    score += static_cast<unsigned long>(units * _unitScore);
}

} // namespace

void doBonus(long bonusType, long x, long y) {
    switch (bonusType) {
    case kBonusBomb:
        score += kBonusFlatScore;
        for (long dy = -1; dy <= 1; dy++)
            for (long dx = -1; dx <= 1; dx++)
                fadeOut(x + dx, y + dy);
        // The whole block counts, even the part that lies off the board.
        addUnits(9);
        break;
    case kBonusHorizontal:
        score += kBonusFlatScore;
        for (long i = 0; i < kBoardColumns; i++) {
            fadeOut(i, y);
            addUnits(1);
        }
        break;
    case kBonusVertical:
        score += kBonusFlatScore;
        for (long i = 0; i < kBoardRows; i++) {
            fadeOut(x, i);
            addUnits(1);
        }
        break;
    default:
        break;
    }
}

void startZapAttack() {
    zapAttack = kZapAttackStart;
}

void clearZapAttack() {
    zapAttack = -51.0f;
}

bool stepZapAttack() {
    if (zapAttack < 0.0f)
        return false;
    if (zapAttack == kZapAttackStart) {
        zoomAttack = 0.0f;
        blendAttack = 0.0f;
    }
    zapAttack += 1.0f;
    blendAttack += 0.002f;
    zoomAttack += 0.01f;
    if (zapAttack >= kZapAttackFadeFrom) {
        blendAttack -= 0.006f;
        if (blendAttack < 0.0f) {
            blendAttack = 0.0f;
            zapAttack = -1.0f;
        }
    } else if (blendAttack > 1.0f) {
        blendAttack = 1.0f;
    }
    return true;
}

void runZapAttack() {
    reportSound(eGameSound::zapAttack);
    resetTokenTable(false);
    startZapAttack();
    score += kZapAttackGift;
}
