#include "game/playscreen.h"

#include <cstdio>

#include "framework/KGraphicD3D.h"
#include "framework/KInput.h"
#include "framework/KMiscTools.h"
#include "framework/KText.h"
#include "framework/KWindowD3D.h"
#include "frontend/gemsets.h"
#include "game/board.h"
#include "game/board_input.h"
#include "game/bonus.h"
#include "game/drawing.h"
#include "game/gameover.h"
#include "game/glyph_tables.h"
#include "game/hints.h"
#include "game/moves.h"
#include "game/rules.h"
#include "game/sheet_layout.h"
#include "shell/app.h"
#include "shell/cursor.h"
#include "shell/launcher.h"
#include "shell/prefs.h"
#include "shell/sounds.h"

KGraphicD3D *surf_fond = nullptr;
KGraphicD3D *surf_internet = nullptr;
KGraphicD3D *surf_gameover = nullptr;
KGraphicD3D *surf_highscore = nullptr;
KGraphicD3D *surf_select = nullptr;
KGraphicD3D *surf_bomb = nullptr;
KGraphicD3D *surf_horiz = nullptr;
KGraphicD3D *surf_verti = nullptr;
KGraphicD3D *surf_rand = nullptr;
KGraphicD3D *surf_xzap = nullptr;
KText *text_numbers = nullptr;
KText *text_scorenumbers = nullptr;

namespace {
constexpr sHotSpot hotSpotFrom(const layout::HotSpotLayout &button) {
    return {button.area.x1, button.area.y1, button.area.x2,  button.area.y2,
            button.id,      nullptr,        button.second.x, button.second.y};
}
} // namespace

sHotSpot hotspots[3] = {hotSpotFrom(layout::kPlayButtons[0]), hotSpotFrom(layout::kPlayButtons[1]),
                        hotSpotFrom(layout::kPlayButtons[2])};

namespace {

// The left button was down in the last frame, for the three buttons.
bool oldbt = false;

enum eHotSpotAction : long { kActionNewGame = 0, kActionHint = 1, kActionExit = 2 };

bool windowQuitting() {
    return fenetre == nullptr || fenetre->isQuit();
}

// Creates a picture and loads a file of the current skin ("data/skins/N/<stem>N.<ext>").
KGraphicD3D *loadSkinPicture(const char *stem, const char *extension) {
    char name[260];
    std::snprintf(name, sizeof(name), "data/skins/%ld/%s%ld.%s", gSkin, stem, gSkin, extension);
    auto *picture = new KGraphicD3D;
    picture->loadPicture(KMiscTools::makeFilePath(name), true, true);
    return picture;
}

KGraphicD3D *loadDataPicture(const char *name, bool hidef) {
    auto *picture = new KGraphicD3D;
    picture->loadPicture(KMiscTools::makeFilePath(name), hidef, true);
    return picture;
}

template <typename T> void release(T *&object) {
    delete object;
    object = nullptr;
}

void drawBackground() {
    if (fenetre)
        fenetre->setDefaultWorldView();
    if (surf_fond)
        surf_fond->blitRect(0, 0, surf_fond->fimageWidth, surf_fond->fimageHeight, 0, 0, false, false);
}

// The pause: the board is hidden under the pause panel and stands still; the buttons stay live.
void runPause() {
    KInput::waitForKeyRelease(K_VK_P);
    while (!windowQuitting()) {
        drawBackground();
        const layout::Piece &panel = layout::kPausePanel;
        if (surf_fond)
            surf_fond->blitRect(panel.source.x1, panel.source.y1, panel.source.x2, panel.source.y2,
                                static_cast<short>(panel.dest.x), static_cast<short>(panel.dest.y), false,
                                false);
        displayScore();
        handleInterface();
        displayGameMode(_gameMode);
        ShowTimer(_gameMode, false);
        displayMouseCursor();
        fenetre->flipBackBuffer(true, true);
        fenetre->processEvents();
        if (endPlay)
            return;
        if (KInput::isPressed(K_VK_P)) {
            KInput::waitForKeyRelease(K_VK_P);
            return;
        }
    }
}

void loadGamePictures() {
    surf_fond = loadSkinPicture("ingame", "tga");
    surf_internet = loadDataPicture("data/internet.tga", true);
    surf_gameover = loadSkinPicture("gameover", "tga");
    surf_highscore =
        _gameMode == 3 ? loadSkinPicture("enternamer", "bmp") : loadSkinPicture("entername", "tga");
}

void loadBoardPictures() {
    surf_select = loadSkinPicture("select", "tga");
    text_numbers = new KText(KMiscTools::makeFilePath("data/timenmb.tga"), tableNumbers);
    text_scorenumbers = new KText(KMiscTools::makeFilePath("data/numbers.tga"), scoretableNumbers);
    for (sHotSpot &spot : hotspots)
        spot.surface = surf_fond;
    surf_bomb = loadDataPicture("data/bomb.tga", false);
    surf_horiz = loadDataPicture("data/horiz.tga", false);
    surf_verti = loadDataPicture("data/verti.tga", false);
    surf_rand = loadDataPicture("data/question.tga", false);
    surf_xzap = loadDataPicture("data/xzap.tga", false);
}

void freeGamePictures() {
    release(surf_xzap);
    release(surf_bomb);
    release(surf_horiz);
    release(surf_verti);
    release(surf_rand);
    release(surf_gameover);
    release(text_scorenumbers);
    release(surf_internet);
    release(text_numbers);
    release(surf_highscore);
    release(surf_fond);
    release(surf_select);
    for (sHotSpot &spot : hotspots)
        spot.surface = nullptr;
}

} // namespace

void ScrollTheGame() {
    if (!fenetre)
        return;
    auto *grabbed = new KGraphicD3D;
    grabbed->grabBackBuffer();
    playEffect(snd_swap);
    // The menu spins away while the play screen spins in, in 40 frames: counted, because adding up
    // 0.025 in single precision would stop just below 1 and draw a 41st.
    constexpr int kEntryFrames = 40;
    for (int frame = 0; frame < kEntryFrames; frame++) {
        const float fade = static_cast<float>(frame) / kEntryFrames;
        fenetre->setWorldView(0, 0, 0, 1.0f, true);
        grabbed->blitAlphaRectFx(0, 0, layout::kScreenWidth, layout::kScreenHeight, 0, 0, (1 - fade) * 360,
                                 1 - fade, 1 - fade, false, false);
        if (surf_fond)
            surf_fond->blitAlphaRectFx(0, 0, layout::kScreenWidth, layout::kScreenHeight, 0, 0, fade * 360,
                                       fade, fade, false, false);
        fenetre->flipBackBuffer(true, true);
    }
    delete grabbed;
}

bool doInput() {
    handleBoardInput(KInput::getMouseX(), KInput::getMouseY(), KInput::getLeftButtonState());
    return false;
}

void handleInterface() {
    const long x = KInput::getMouseX();
    const long y = KInput::getMouseY();
    const bool button = KInput::getLeftButtonState();

    sHotSpot *hit = nullptr;
    for (sHotSpot &spot : hotspots) {
        if (x >= spot.x1 && x <= spot.x2 && y >= spot.y1 && y <= spot.y2) {
            hit = &spot;
            break;
        }
    }
    if (!hit)
        return;
    if (hit->surface)
        hit->surface->blitRect(hit->x1, hit->y1 + layout::kLitOffsetY, hit->x2, hit->y2 + layout::kLitOffsetY,
                               static_cast<short>(hit->x1), static_cast<short>(hit->y1), false, false);
    if (!button || oldbt) {
        oldbt = button;
        return;
    }
    oldbt = true;
    switch (hit->id) {
    case kActionNewGame:
        playEffect(snd_click);
        resetTokenTable(true);
        // One new game per press: wait here for the release.
        while (KInput::getLeftButtonState() && !windowQuitting())
            fenetre->processEvents();
        break;
    case kActionHint:
        buyHint();
        break;
    case kActionExit:
        // In relax mode the first press ends the game with the score it has now (the clock copies it
        // only once a second) and records it; the second press leaves.
        if (_gameMode == 3 && !gameOver) {
            _realScore = static_cast<long>(score);
            gameOver = true;
        } else {
            endPlay = true;
        }
        break;
    default:
        break;
    }
}

void doTheGame(long gameMode) {
    prepareGame(gameMode, static_cast<unsigned>(KMiscTools::getTheTicks()));
    oldbt = false;
    resetBoardInput();

    loadGamePictures();
    ScrollTheGame();
    if (!loadBubbleSet(prefs.bubbleset)) {
        prefs.bubbleset = 0;
        loadBubbleSet(0);
    }
    loadBoardPictures();
    resetTokenTable(true);
    resetTimer(_gameMode);

    while (fenetre && !fenetre->isQuit()) {
        drawBackground();
        // F1 deals a new game in every frame it is held.
        if (KInput::isPressed(K_VK_F1))
            resetTokenTable(true);
        if (KInput::isPressed(K_VK_P) && !gameOver)
            runPause();

        animateField();
        fallTokens();
        appearTokens();
        doSwapTokens();
        doInput();
        checkForMatches();
        handleInterface();
        if (endPlay)
            break;

        displayTokens();
        displayScore();
        ShowTimer(gameMode, true);

        if (gameOver) {
            gameOverFade += 0.02f;
            if (gameOverFade > 1.0f)
                gameOverFade = 1.0f;
            displayGameOver();
        } else {
            gameOverFade -= 0.02f;
            if (gameOverFade > 0.0f)
                displayGameOver();
            else
                gameOverFade = 0.0f;
        }

        displayGameMode(gameMode);
        AnimateZapAttack();
        displayMouseCursor();

        if (KInput::isPressed(K_VK_ESCAPE)) {
            KInput::waitForKeyRelease(K_VK_ESCAPE);
            // In relax mode the result is the score of this moment, and one worth a place opens the
            // name entry first.
            if (gameMode == 3 && !gameOver)
                _realScore = static_cast<long>(score);
            if (gameMode == 3 && !gameOver && isHighScore())
                gameOver = true;
            else
                endPlay = true;
        }
        if (!fenetre->isQuit())
            fenetre->flipBackBuffer(true, true);
        fenetre->processEvents();
    }

    freeGamePictures();
}
