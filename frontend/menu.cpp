#include "frontend/menu.h"

#include <cstdio>
#include <string>

#include "framework/KGraphicD3D.h"
#include "framework/KInput.h"
#include "framework/KMiscTools.h"
#include "framework/KText.h"
#include "framework/KWindowD3D.h"
#include "frontend/gemsets.h"
#include "frontend/highscores.h"
#include "frontend/options.h"
#include "game/glyph_tables.h"
#include "game/sheet_layout.h"
#include "shell/app.h"
#include "shell/cursor.h"
#include "shell/launcher.h"
#include "shell/prefs.h"
#include "shell/replays.h"
#include "shell/sounds.h"

namespace {

constexpr sBtn toBtn(const layout::Box &box) {
    return {static_cast<float>(box.x1), static_cast<float>(box.y1), static_cast<float>(box.x2),
            static_cast<float>(box.y2)};
}

// What pressing page button i returns to doMenu.
constexpr long kPageActions[layout::kPageCount] = {kMenuNothing, kMenuPage1, kMenuPage2,
                                                   kMenuPage3,   kMenuPage4, kMenuQuit};

// The transition back from a game: 41 frames, t running from 0 below 1 in steps of 0.025.
constexpr float kScrollStep = 0.025f;
constexpr float kFullTurn = 360.0f;

void blitPiece(KGraphicD3D *sheet, const layout::Piece &piece) {
    if (sheet == nullptr)
        return;
    sheet->blitRect(piece.source.x1, piece.source.y1, piece.source.x2, piece.source.y2,
                    static_cast<short>(piece.dest.x), static_cast<short>(piece.dest.y), false, false);
}

bool insideOpen(const layout::OpenArea &area, long x, long y) {
    return area.x1 < x && x < area.x2 && area.y1 < y && y < area.y2;
}

void openCreditsLink(const char *url) {
    char address[2048];
    std::snprintf(address, sizeof(address), "%s", url);
    KMiscTools::launchURL(address, true);
    if (fenetre)
        fenetre->terminate();
}

void doCreditsLinks(long x, long y) {
    // Every area hit opens its address; the program then ends at the close of this frame.
    if (insideOpen(layout::kCreditsFrameworkLink, x, y)) {
        // The help page is a file of the data folder: its full address is known only at run time.
        const std::string page = KMiscTools::makeFileURL(KMiscTools::makeFilePath(kCreditsFrameworkAddress)) +
                                 kCreditsFrameworkSection;
        openCreditsLink(page.c_str());
    }
    if (insideOpen(layout::kCreditsWebLink, x, y))
        openCreditsLink(kCreditsWebAddress);
    if (insideOpen(layout::kCreditsMailLink, x, y))
        openCreditsLink(kCreditsMailAddress);
}

void drawPageContent(long x, long y, bool bt) {
    switch (gCurrentMenu) {
    case kPageSetUp:
        blitPiece(surf_menu, layout::kSetupPanel);
        DisplayGameModeStuff();
        break;
    case kPageHowToPlay:
        blitPiece(surf_menu, layout::kHowToPlayPanel);
        break;
    case kPageOptions:
        blitPiece(surf_menu, layout::kOptionsPanel);
        detectMusicChange(x, y, bt);
        detectVolumeSlide(x, y, bt);
        detectVolumeMusicSlide(x, y, bt);
        break;
    case kPageHighScores:
        blitPiece(surf_menu, layout::kHighScorePanel);
        DoHighscoreInput(x, y, bt);
        break;
    case kPageCredits:
        if (surf_credits)
            surf_credits->blitRect(layout::kCreditsSourceX, 0, surf_credits->fimageWidth,
                                   surf_credits->fimageHeight, layout::kCreditsDest.x, layout::kCreditsDest.y,
                                   false, false);
        if (bt)
            doCreditsLinks(x, y);
        break;
    default:
        break;
    }
}

KGraphicD3D *loadSkinPicture(const char *format) {
    char name[96];
    std::snprintf(name, sizeof(name), format, gSkin, gSkin);
    auto *picture = new KGraphicD3D;
    picture->loadPicture(KMiscTools::makeFilePath(name), true, true);
    return picture;
}

} // namespace

long gCurrentMenu = 0;
void (*playAGame)(long gameMode, const replay::Replay *replayToWatch) = nullptr;
sBtn sBoutons[6] = {
    toBtn(layout::kPageButtons[0]), toBtn(layout::kPageButtons[1]), toBtn(layout::kPageButtons[2]),
    toBtn(layout::kPageButtons[3]), toBtn(layout::kPageButtons[4]), toBtn(layout::kPageButtons[5]),
};
sBtn sGameSelect[6] = {
    toBtn(layout::kModeRows[0]), toBtn(layout::kModeRows[1]),        toBtn(layout::kModeRows[2]),
    toBtn(layout::kModeRows[3]), toBtn(layout::kPlayButtonAreas[0]), toBtn(layout::kPlayButtonAreas[1]),
};
sBtn sGameDifficult[4] = {
    toBtn(layout::kDifficultyButtons[0]),
    toBtn(layout::kDifficultyButtons[1]),
    toBtn(layout::kDifficultyButtons[2]),
    toBtn(layout::kDifficultyButtons[3]),
};
sBtn sHighTabs[4] = {
    toBtn(layout::kHighScoreTabs[0]),
    toBtn(layout::kHighScoreTabs[1]),
    toBtn(layout::kHighScoreTabs[2]),
    toBtn(layout::kHighScoreTabs[3]),
};

KGraphicD3D *surf_menu = nullptr;
KGraphicD3D *surf_credits = nullptr;
KText *highscoreText = nullptr;
bool oldBt = false;

// The help page is a data file; the link turns it into a file:// address when it is clicked, and
// opens it at the section about how the game is built.
const char *const kCreditsFrameworkAddress = "data/help/index.html";
const char *const kCreditsFrameworkSection = "#framework";
const char *const kCreditsWebAddress = "https://quorix.example.org/";
const char *const kCreditsMailAddress = "mailto:team@quorix.example.org";

bool isInside(const sBtn &button, long x, long y) {
    const float fx = static_cast<float>(x);
    const float fy = static_cast<float>(y);
    return button.x1 <= fx && fx <= button.x2 && button.y1 <= fy && fy <= button.y2;
}

void loadMenuGraphics() {
    freeMenuGraphics();
    surf_menu = loadSkinPicture("data/skins/%ld/menu%ld.tga");
    surf_credits = loadSkinPicture("data/skins/%ld/credits%ld.tga");
    if (highscoreText == nullptr)
        highscoreText = new KText(KMiscTools::makeFilePath("data/highscalp.tga"), theFont);
}

void freeMenuGraphics() {
    delete surf_menu;
    surf_menu = nullptr;
    delete surf_credits;
    surf_credits = nullptr;
}

void DisplayGameModeStuff() {
    if (prefs.gameMode >= 0 && prefs.gameMode < layout::kModeCount)
        blitPiece(surf_menu, layout::kModeMarkers[prefs.gameMode]);
    if (prefs.difficulty >= 0 && prefs.difficulty < layout::kDifficultyCount)
        blitPiece(surf_menu, layout::kDifficultyMarkers[prefs.difficulty]);
}

long doUserInput() {
    const long x = KInput::getMouseX();
    const long y = KInput::getMouseY();
    const bool bt = KInput::getLeftButtonState();
    // Selections act on every frame the button is held; only the click sound marks the press itself.
    if (bt && !oldBt)
        playEffect(snd_click);
    oldBt = bt;

    long action = kMenuNothing;
    for (int page = 0; page < layout::kPageCount; page++) {
        if (!isInside(sBoutons[page], x, y))
            continue;
        blitPiece(surf_menu, layout::litPageButton(page));
        if (bt) {
            gCurrentMenu = page;
            action = kPageActions[page];
            break;
        }
    }

    // The Play button is two rectangles; a point in both still plays once.
    for (int part = 4; part <= 5; part++) {
        if (!isInside(sGameSelect[part], x, y))
            continue;
        blitPiece(surf_menu, layout::kLitPlayButton);
        if (bt)
            action = kMenuPlay;
    }

    if (bt && gCurrentMenu == kPageSetUp) {
        for (int mode = 0; mode < layout::kModeCount; mode++) {
            if (isInside(sGameSelect[mode], x, y)) {
                prefs.gameMode = mode;
                break;
            }
        }
        for (int level = 0; level < layout::kDifficultyCount; level++) {
            if (isInside(sGameDifficult[level], x, y)) {
                prefs.difficulty = level;
                break;
            }
        }
    }

    drawPageContent(x, y, bt);

    // The current page's button stays lit wherever the mouse is.
    if (gCurrentMenu >= 0 && gCurrentMenu < kPageQuit)
        blitPiece(surf_menu, layout::litPageButton(static_cast<int>(gCurrentMenu)));
    return action;
}

bool gMenuSpinningIn = false;

void ScrollTheMenu() {
    if (fenetre == nullptr)
        return;
    gMenuSpinningIn = true;
    auto *lastGameFrame = new KGraphicD3D;
    lastGameFrame->grabBackBuffer();
    playEffect(snd_swap);

    // The old frame spins away, shrinking and fading, while the menu spins in.
    for (float t = 0; t < 1; t += kScrollStep) {
        fenetre->setWorldView(0, 0, 0, 1, true);
        lastGameFrame->blitAlphaRectFx(0, 0, layout::kScreenWidth, layout::kScreenHeight, 0, 0,
                                       (1 - t) * kFullTurn, 1 - t, 1 - t, false, false);
        if (surf_menu)
            surf_menu->blitAlphaRectFx(0, 0, layout::kScreenWidth, layout::kScreenHeight, 0, 0, t * kFullTurn,
                                       t, t, false, false);
        fenetre->flipBackBuffer(true, true);
        if (fenetre->isQuit())
            break;
    }
    delete lastGameFrame;
    gMenuSpinningIn = false;
}

void doMenu() {
    initMusic();
    loadMenuGraphics();
    loadBubbleSet(prefs.bubbleset);
    playCurrentTune();
    if (fenetre == nullptr) {
        freeMenuGraphics();
        return;
    }

    bool leave = false;
    for (;;) {
        fenetre->setDefaultWorldView();
        if (surf_menu)
            surf_menu->blitRect(0, 0, layout::kScreenWidth, layout::kScreenHeight, 0, 0, false, false);
        // Escape leaves at once: this frame is never presented.
        if (KInput::isPressed(K_VK_ESCAPE))
            break;

        const long action = doUserInput();
        const std::string rowReplay = takeRowReplayToWatch();
        replay::Replay watched;
        std::string why;
        if (!rowReplay.empty() && playAGame && loadReplayFile(rowReplay, watched, why)) {
            freeMenuGraphics();
            playAGame(watched.header.gameMode, &watched);
            if (!fenetre->isQuit()) {
                loadMenuGraphics();
                ScrollTheMenu();
            }
        } else if (action == kMenuPlay && playAGame) {
            freeMenuGraphics();
            playAGame(prefs.gameMode, nullptr);
            if (!fenetre->isQuit()) {
                loadMenuGraphics();
                ScrollTheMenu();
            }
        } else if (action == kMenuQuit) {
            leave = true;
        }

        displayMouseCursor();
        if (!fenetre->isQuit())
            fenetre->flipBackBuffer(true, true);
        if (fenetre->isQuit() || leave)
            break;
    }
    freeMenuGraphics();
}
