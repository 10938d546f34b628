#include "game/engine.h"

#include "game/board.h"
#include "game/bonus.h"
#include "game/game_sounds.h"
#include "game/hints.h"
#include "game/moves.h"
#include "game/rules.h"
#include "game/sheet_layout.h"

namespace {
constexpr sHotSpot hotSpotFrom(const layout::HotSpotLayout &button) {
    return {button.area.x1, button.area.y1, button.area.x2,  button.area.y2,
            button.id,      nullptr,        button.second.x, button.second.y};
}
} // namespace

sHotSpot hotspots[3] = {hotSpotFrom(layout::kPlayButtons[0]), hotSpotFrom(layout::kPlayButtons[1]),
                        hotSpotFrom(layout::kPlayButtons[2])};

void GameEngine::begin(const GameSetup &setup) {
    prepareGame(setup.gameMode, setup.difficulty, setup.unitScore, setup.randomSeed);
    phase_ = ePlayPhase::playing;
    afterNewGame_ = ePlayPhase::playing;
    advanced_ = false;
    oldButton = false;
    oldbt = false;
    gameSounds.clear();
    resetTokenTable(true);
    resetTimer(_gameMode);
}

bool GameEngine::showsPause() const {
    return phase_ == ePlayPhase::pausing || phase_ == ePlayPhase::paused ||
           (phase_ == ePlayPhase::newGameHeld && afterNewGame_ == ePlayPhase::paused);
}

void GameEngine::step(const FrameInput &input) {
    gameSounds.clear();
    advanced_ = false;
    switch (phase_) {
    case ePlayPhase::playing:
        playFrame(input);
        break;
    case ePlayPhase::pausing:
        if (input.keyP)
            break;
        phase_ = ePlayPhase::paused;
        pauseFrame(input);
        break;
    case ePlayPhase::paused:
        // The pause ends when a button left the game in the last frame, or when P goes down.
        if (endPlay) {
            phase_ = ePlayPhase::playing;
            playFrameFromRules(input);
        } else if (input.keyP) {
            phase_ = ePlayPhase::resuming;
        } else {
            pauseFrame(input);
        }
        break;
    case ePlayPhase::resuming:
        if (input.keyP)
            break;
        phase_ = ePlayPhase::playing;
        playFrameFromRules(input);
        break;
    case ePlayPhase::newGameHeld:
        if (input.leftButton)
            break;
        phase_ = afterNewGame_;
        if (phase_ == ePlayPhase::playing)
            finishPlayFrame(input);
        break;
    case ePlayPhase::escapeHeld:
        if (input.keyEscape)
            break;
        phase_ = ePlayPhase::playing;
        decideEscape();
        break;
    case ePlayPhase::left:
        break;
    }
}

void GameEngine::playFrame(const FrameInput &input) {
    // F1 deals a new game in every frame it is held.
    if (input.keyF1)
        resetTokenTable(true);
    if (input.keyP && !gameOver) {
        phase_ = ePlayPhase::pausing;
        return;
    }
    playFrameFromRules(input);
}

void GameEngine::playFrameFromRules(const FrameInput &input) {
    animateField();
    fallTokens();
    appearTokens();
    doSwapTokens();
    doInput(input);
    checkForMatches();
    handleInterface(input);
    if (phase_ != ePlayPhase::newGameHeld)
        finishPlayFrame(input);
}

void GameEngine::finishPlayFrame(const FrameInput &input) {
    if (endPlay) {
        phase_ = ePlayPhase::left;
        return;
    }
    advanceClock(_gameMode, true);
    // The game-over panel grows in while the game is over and shrinks away otherwise.
    if (gameOver) {
        gameOverFade += 0.02f;
        if (gameOverFade > 1.0f)
            gameOverFade = 1.0f;
    } else {
        gameOverFade -= 0.02f;
        if (gameOverFade <= 0.0f)
            gameOverFade = 0.0f;
    }
    advanced_ = true;
    stepZapAttack();
    if (input.keyEscape)
        phase_ = ePlayPhase::escapeHeld;
}

void GameEngine::pauseFrame(const FrameInput &input) {
    handleInterface(input);
}

void GameEngine::decideEscape() {
    // In relax mode the result is the score of this moment, and one worth a place opens the name entry
    // first; everywhere else Escape leaves.
    if (_gameMode == kModeRelax && !gameOver)
        _realScore = static_cast<long>(score);
    if (_gameMode == kModeRelax && !gameOver && judge_ && judge_())
        gameOver = true;
    else
        endPlay = true;
}

bool GameEngine::doInput(const FrameInput &input) {
    if (gameOver || isThereAnIncomingToken() || isThereAMovingToken() || isThereAFadingToken())
        return false;
    if (_gameMode != kModeRelax && !isThereAPossibilityLeft()) {
        runZapAttack();
        return false;
    }
    if (!input.leftButton) {
        oldButton = false;
        return false;
    }
    if (oldButton)
        return false;
    oldButton = true;

    long x = -1;
    long y = -1;
    // A press off the board still tries the pair (there is none to try unless two are selected).
    cellAtScreenPosition(input.mouseX, input.mouseY, &x, &y);
    clickCell(x, y);
    return false;
}

void GameEngine::handleInterface(const FrameInput &input) {
    const long x = input.mouseX;
    const long y = input.mouseY;
    const sHotSpot *hit = nullptr;
    for (const sHotSpot &spot : hotspots) {
        if (x >= spot.x1 && x <= spot.x2 && y >= spot.y1 && y <= spot.y2) {
            hit = &spot;
            break;
        }
    }
    // Off the buttons the press flag is left as it was.
    if (!hit)
        return;
    if (!input.leftButton || oldbt) {
        oldbt = input.leftButton;
        return;
    }
    oldbt = true;
    switch (hit->id) {
    case kActionNewGame:
        reportSound(eGameSound::click);
        resetTokenTable(true);
        // One new game per press: the rest waits for the release.
        afterNewGame_ = phase_;
        phase_ = ePlayPhase::newGameHeld;
        break;
    case kActionHint:
        buyHint();
        break;
    case kActionExit:
        // In relax mode the first press ends the game with the score it has now (the clock copies it
        // only once a second) and records it; the second press leaves.
        if (_gameMode == kModeRelax && !gameOver) {
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
