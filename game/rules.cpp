#include "game/rules.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "game/board.h"
#include "game/bonus.h"

long _gameMode = kModeSixtySeconds;
long gameDifficulty = 1;
uint32_t score = 0;
long _unitScore = 1;
long _realScore = 0;
long gameTimer = 0;
long subTimer = 0;
bool gameOver = false;
bool endPlay = false;
char gameDescription[260] = "";

float gameOverFade = 0.0f;
bool ghighscoreProcessed = false;
bool _onlineProcessed = false;

namespace {

void localTimeOfDay(int *hour, int *minute) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    *hour = local.tm_hour;
    *minute = local.tm_min;
}

// Survives from frame to frame: in relax mode it changes only at a tick.
char clockText[256] = "";
// The count clockText shows in the counting modes; LONG_MIN when it shows something else.
long clockTextTimer = LONG_MIN;

} // namespace

void (*gTimeOfDaySource)(int *hour, int *minute) = localTimeOfDay;

long unitScoreForMode(long gameMode) {
    return gameMode == kModeMillion ? 100 : 1;
}

void resetTimer(long gameMode) {
    subTimer = 0;
    gameOver = false;
    ghighscoreProcessed = false;
    // A new or restarted game has no result yet: the last game's must not be judged or recorded.
    _realScore = 0;
    switch (gameMode) {
    case kModeSixtySeconds:
        gameTimer = 60;
        break;
    case kModeFiveMinutes:
        gameTimer = 300;
        break;
    case kModeMillion:
    case kModeRelax:
        gameTimer = 0;
        break;
    default:
        break;
    }
}

const char *advanceClock(long gameMode, bool decompte) {
    if (decompte)
        subTimer++;
    if (subTimer >= kFramesPerTick) {
        subTimer = 0;
        switch (gameMode) {
        case kModeSixtySeconds:
        case kModeFiveMinutes:
            // Every tick after the end copies the score again, so a cascade still running counts.
            if (gameTimer > 0) {
                gameTimer--;
            } else {
                gameOver = true;
                gameTimer = 0;
                _realScore = static_cast<long>(score);
            }
            break;
        case kModeMillion:
            if (score > kMillionTarget) {
                _realScore = gameTimer;
                gameOver = true;
            } else {
                gameTimer++;
            }
            break;
        case kModeRelax: {
            // The time of day is only shown, so it is only read when the clock text changes.
            int hour = 0;
            int minute = 0;
            gTimeOfDaySource(&hour, &minute);
            _realScore = static_cast<long>(score);
            std::snprintf(clockText, sizeof(clockText), "%d:%02d", hour, minute);
            clockTextTimer = LONG_MIN;
            break;
        }
        default:
            break;
        }
    }
    if (gameMode >= kModeSixtySeconds && gameMode <= kModeMillion && gameTimer != clockTextTimer) {
        // Formatted again only when the count changes: the clock is shown every frame.
        std::snprintf(clockText, sizeof(clockText), "%02ld:%02ld", gameTimer / 60, gameTimer % 60);
        clockTextTimer = gameTimer;
    }
    return clockText;
}

void prepareGame(long gameMode, long difficulty, long unitScore, unsigned int randomSeed) {
    std::snprintf(gameDescription, sizeof(gameDescription), "quorix%lddif%ld", gameMode, difficulty);
    _onlineProcessed = false;
    clearZapAttack();
    _unitScore = unitScore;
    srand(randomSeed);
    _gameMode = gameMode;
    gameDifficulty = difficulty;
    score = 0;
    endPlay = false;
}
