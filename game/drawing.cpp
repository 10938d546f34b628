#include "game/drawing.h"

#include <cmath>
#include <cstdio>

#include "framework/KGraphicD3D.h"
#include "framework/KText.h"
#include "frontend/gemsets.h"
#include "game/board.h"
#include "game/bonus.h"
#include "game/playscreen.h"
#include "game/rules.h"
#include "game/sheet_layout.h"

namespace {

// The whole picture at a position, with plain transparency.
void blitWhole(KGraphicD3D *picture, long x, long y) {
    if (picture)
        picture->blitAlphaRect(0, 0, picture->fimageWidth, picture->fimageHeight, static_cast<short>(x),
                               static_cast<short>(y), false, false);
}

void blitWholeFx(KGraphicD3D *picture, long x, long y, float zoom, float blend) {
    if (picture)
        picture->blitAlphaRectFx(0, 0, picture->fimageWidth, picture->fimageHeight, static_cast<short>(x),
                                 static_cast<short>(y), 0.0f, zoom, blend, false, false);
}

void drawOverlay(const sToken &cell, long x, long y) {
    KGraphicD3D *picture = nullptr;
    layout::Point offset{0, 0};
    switch (cell.bonusType) {
    case kBonusBomb:
        picture = surf_bomb;
        offset = layout::kBombOffset;
        break;
    case kBonusHorizontal:
        picture = surf_horiz;
        offset = layout::kHorizontalOffset;
        break;
    case kBonusVertical:
        picture = surf_verti;
        offset = layout::kVerticalOffset;
        break;
    case kBonusCross:
        picture = surf_xzap;
        offset = layout::kCrossOffset;
        break;
    case kBonusRandom:
        // The question mark keeps its size while its token vanishes.
        blitWholeFx(surf_rand, x + layout::kRandomOffset.x, y + layout::kRandomOffset.y, 1.0f, cell.fade / 2);
        return;
    default:
        return;
    }
    // Half transparent on a resting token; grows to twice its size as its token vanishes.
    blitWholeFx(picture, x + offset.x, y + offset.y, 2.0f - cell.fade, cell.fade / 2);
}

} // namespace

void displayTokens() {
    // One pass per colour, so that the gems of one picture are drawn together.
    for (int16_t color = 0; color < 7; color++) {
        for (long x = 0; x < kBoardColumns; x++) {
            for (long y = 0; y < kBoardRows; y++) {
                const sToken &cell = tokenAt(x, y);
                if (!cell.alive || cell.color != color)
                    continue;
                const long px = kBoardLeft + kCellSize * x;
                const long py = kBoardTop + kCellSize * y;
                if (cell.selected)
                    blitWhole(surf_select, px + layout::kSelectMarkOffset, py + layout::kSelectMarkOffset);

                const long gemX = static_cast<long>(px + cell.dx);
                const long gemY = static_cast<long>(py + cell.fally + cell.dy);
                if (cell.fade == 1.0f && cell.sinus == 0.0f)
                    blitWhole(gems[color], gemX, gemY);
                else
                    blitWholeFx(gems[color], gemX, gemY, std::sin(cell.sinus) / 6 + cell.fade, cell.fade);
                drawOverlay(cell, gemX, gemY);
            }
        }
    }
}

void displayScore() {
    if (!text_scorenumbers)
        return;
    char text[200];
    std::snprintf(text, sizeof(text), "%u", static_cast<unsigned>(score));
    text_scorenumbers->drawStringFromLeft(text, layout::kScorePosition.x, layout::kScorePosition.y, 0);
}

void displayGameMode(long gameMode) {
    if (!surf_fond || gameMode < 0 || gameMode >= layout::kModeCount)
        return;
    const layout::Piece &label = layout::kModeLabels[gameMode];
    surf_fond->blitAlphaRect(label.source.x1, label.source.y1, label.source.x2, label.source.y2,
                             static_cast<short>(label.dest.x), static_cast<short>(label.dest.y), false,
                             false);
}

void ShowTimer(long gameMode, bool decompte) {
    const char *clock = advanceClock(gameMode, decompte);
    if (text_numbers)
        text_numbers->drawStringFromLeft(clock, layout::kClockPosition.x, layout::kClockPosition.y, 0);
}

void AnimateZapAttack() {
    // The step moves the banner on; it shows from its first step until it has faded out.
    if (zapAttack < 0.0f || zapAttack == kZapAttackStart || !surf_fond)
        return;
    const layout::Piece &banner = layout::kZapBanner;
    surf_fond->blitAlphaRectFx(banner.source.x1, banner.source.y1, banner.source.x2, banner.source.y2,
                               static_cast<short>(banner.dest.x), static_cast<short>(banner.dest.y),
                               zapAttack, zoomAttack, blendAttack, false, false);
}
