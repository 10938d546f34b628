#include "game/playscreen.h"

#include <cstdio>

#include "framework/KGraphicD3D.h"
#include "framework/KInput.h"
#include "framework/KMiscTools.h"
#include "framework/KSound.h"
#include "framework/KText.h"
#include "framework/KWindowD3D.h"
#include "frontend/gemsets.h"
#include "game/board.h"
#include "game/bonus.h"
#include "game/drawing.h"
#include "game/engine.h"
#include "game/game_sounds.h"
#include "game/gameover.h"
#include "game/glyph_tables.h"
#include "game/hints.h"
#include "game/moves.h"
#include "game/replay_playback.h"
#include "game/rules.h"
#include "game/sheet_layout.h"
#include "shell/app.h"
#include "shell/cursor.h"
#include "shell/launcher.h"
#include "shell/prefs.h"
#include "shell/replays.h"
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

unsigned int ticksSeed() {
    return static_cast<unsigned int>(KMiscTools::getTheTicks());
}

void keepWindowAnswering() {
    if (fenetre)
        fenetre->processEvents();
}

} // namespace

unsigned int (*gGameSeedSource)() = ticksSeed;
const GameEngine *gGameUnderWay = nullptr;

namespace {

// The game being played, as its replay.
ReplayRecorder recorder;
// The replay being watched instead, and the next of its frames.
const replay::Replay *watched = nullptr;
size_t watchedFrame = 0;
// The judge's answer in the step under way: it goes into the replay with the step's input.
bool judgedWorthAPlace = false;

} // namespace

replay::Replay recordingSoFar() {
    return recorder.finish();
}

bool watchingReplay() {
    return watched != nullptr;
}

bool watchedReplayPlayedOut() {
    return watched && watchedFrame >= watched->frames.size();
}

namespace {

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

void loadGamePictures(long gameMode) {
    surf_fond = loadSkinPicture("ingame", "tga");
    surf_internet = loadDataPicture("data/internet.tga", true);
    surf_gameover = loadSkinPicture("gameover", "tga");
    surf_highscore =
        gameMode == kModeRelax ? loadSkinPicture("enternamer", "bmp") : loadSkinPicture("entername", "tga");
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

KSound *soundOf(eGameSound sound) {
    switch (sound) {
    case eGameSound::click:
        return snd_click;
    case eGameSound::good:
        return snd_good;
    case eGameSound::swap:
        return snd_swap;
    case eGameSound::hint:
        return snd_hint;
    case eGameSound::nohint:
        return snd_nohint;
    case eGameSound::zap:
        return snd_zap;
    case eGameSound::bomb:
        return snd_bomb;
    case eGameSound::zapAttack:
        return snd_zapattack;
    }
    return nullptr;
}

void playGameSounds() {
    for (const sSoundEvent &event : gameSounds) {
        if (event.onlyIfSilent)
            playEffectOnce(soundOf(event.sound));
        else
            playEffect(soundOf(event.sound));
    }
}

// The button under the pointer is lit.
void drawButtonHighlight(const FrameInput &input) {
    for (const sHotSpot &spot : hotspots) {
        if (input.mouseX >= spot.x1 && input.mouseX <= spot.x2 && input.mouseY >= spot.y1 &&
            input.mouseY <= spot.y2) {
            if (spot.surface)
                spot.surface->blitRect(spot.x1, spot.y1 + layout::kLitOffsetY, spot.x2,
                                       spot.y2 + layout::kLitOffsetY, static_cast<short>(spot.x1),
                                       static_cast<short>(spot.y1), false, false);
            return;
        }
    }
}

// The picture of a frame: what the step left, the pointer's button lit.
void drawPlayScreen(const GameEngine &engine, const FrameInput &input) {
    drawBackground();
    if (engine.showsPause()) {
        // The pause panel covers the board; the score, the buttons and the standing clock show.
        const layout::Piece &panel = layout::kPausePanel;
        if (surf_fond)
            surf_fond->blitRect(panel.source.x1, panel.source.y1, panel.source.x2, panel.source.y2,
                                static_cast<short>(panel.dest.x), static_cast<short>(panel.dest.y), false,
                                false);
        displayScore();
        drawButtonHighlight(input);
        displayGameMode(_gameMode);
        ShowTimer(_gameMode, false);
        displayMouseCursor();
        return;
    }
    drawButtonHighlight(input);
    displayTokens();
    displayScore();
    ShowTimer(_gameMode, false);
    displayGameOver();
    displayGameMode(_gameMode);
    AnimateZapAttack();
    displayMouseCursor();
}

// The step stands while the key or button it waits on is held. The play screen waits for the release
// here, handling the window's events without showing a frame, as the game always has; false when the
// step waits for nothing.
bool waitForRelease(ePlayPhase phase) {
    // A replay holds the frames of the wait itself: it is played, not waited for.
    if (watched)
        return watchedFrame < watched->frames.size() &&
               (phase == ePlayPhase::pausing || phase == ePlayPhase::resuming ||
                phase == ePlayPhase::escapeHeld || phase == ePlayPhase::newGameHeld);
    switch (phase) {
    case ePlayPhase::pausing:
    case ePlayPhase::resuming:
        KInput::waitForKeyRelease(K_VK_P);
        return true;
    case ePlayPhase::escapeHeld:
        KInput::waitForKeyRelease(K_VK_ESCAPE);
        return true;
    case ePlayPhase::newGameHeld:
        while (KInput::getLeftButtonState() && fenetre && !fenetre->isQuit())
            fenetre->processEvents();
        return true;
    default:
        return false;
    }
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

FrameInput readFrameInput() {
    FrameInput input;
    input.mouseX = KInput::getMouseX();
    input.mouseY = KInput::getMouseY();
    input.leftButton = KInput::getLeftButtonState();
    input.keyP = KInput::isPressed(K_VK_P);
    input.keyF1 = KInput::isPressed(K_VK_F1);
    input.keyEscape = KInput::isPressed(K_VK_ESCAPE);
    return input;
}

// The input of the next step: the player's, or the watched replay's. Either way the pointer is held to
// the picture, as the replay keeps it, so that the game and its replay see the same input.
FrameInput nextInput() {
    if (!watched)
        return inputOf(recordOf(readFrameInput(), false));
    if (watchedFrame >= watched->frames.size())
        return {};
    return inputOf(watched->frames[watchedFrame++]);
}

void doTheGame(long gameMode, const replay::Replay *replayToWatch) {
    watched = replayToWatch;
    watchedFrame = 0;
    GameSetup setup{gameMode, prefs.difficulty, unitScoreForMode(gameMode), gGameSeedSource()};
    if (watched) {
        const replay::Header &header = watched->header;
        setup = {header.gameMode, header.difficulty, header.unitScore, header.randomSeed};
        gameMode = header.gameMode;
    }
    // In relax mode Escape ends the game with a name entry only for a result worth a place; a replay
    // carries the answer the tables (and the score server) gave when it was played.
    GameEngine engine([] {
        if (watched)
            return watchedFrame > 0 && watched->frames[watchedFrame - 1].worthAPlace;
        return judgedWorthAPlace = isHighScore();
    });

    loadGamePictures(gameMode);
    ScrollTheGame();
    if (!loadBubbleSet(prefs.bubbleset)) {
        prefs.bubbleset = 0;
        loadBubbleSet(0);
    }
    loadBoardPictures();
    gDealingHook = keepWindowAnswering;
    gGameUnderWay = &engine;
    engine.begin(setup);
    // The last game's panel must not stay: its pictures were freed with it.
    closeGameOverPanel();
    if (!watched)
        recorder.begin(setup);
    auto step = [&](const FrameInput &input) {
        judgedWorthAPlace = false;
        engine.step(input);
        if (!watched)
            recorder.add(input, judgedWorthAPlace);
        playGameSounds();
    };

    FrameInput input;
    while (fenetre && !fenetre->isQuit()) {
        // Watching, the player's own Escape leaves; at the replay's end its last frame stays on screen.
        if (watched && KInput::isPressed(K_VK_ESCAPE)) {
            KInput::waitForKeyRelease(K_VK_ESCAPE);
            break;
        }
        const bool stepping = !watched || watchedFrame < watched->frames.size();
        if (stepping) {
            input = nextInput();
            step(input);
            // P and the New-game button stop the frame until they are up; the frame then carries on
            // (and a pause may end in a press of the New-game button, which waits in turn).
            while (engine.phase() != ePlayPhase::escapeHeld && !fenetre->isQuit() &&
                   waitForRelease(engine.phase())) {
                input = nextInput();
                step(input);
            }
            if (engine.phase() == ePlayPhase::left)
                break;
        }
        // The name entry and the score server belong to the game played, not to one watched.
        if (watched)
            updateWatchedGameOver(stepping && engine.advancedThisFrame());
        else
            updateGameOver(stepping && engine.advancedThisFrame());
        drawPlayScreen(engine, input);
        // Escape is decided once it is up, after the frame is drawn and before it is shown.
        if (stepping && engine.phase() == ePlayPhase::escapeHeld && waitForRelease(engine.phase()))
            step(nextInput());
        if (!fenetre->isQuit())
            fenetre->flipBackBuffer(true, true);
        fenetre->processEvents();
    }

    if (!watched)
        saveLastReplay(recorder.finish());
    recorder.stop();
    watched = nullptr;
    gDealingHook = nullptr;
    gGameUnderWay = nullptr;
    freeGamePictures();
}
