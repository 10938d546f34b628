// A clean game state for each test, effects that can be told apart, and helpers to lay out boards.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "game/board.h"
#include "game/bonus.h"
#include "game/engine.h"
#include "game/game_sounds.h"
#include "game/hints.h"
#include "game/moves.h"
#include "game/rules.h"

class RulesTest : public ::testing::Test {
public:
    GameEngine engine;

    void SetUp() override {
        gameDifficulty = _unitScore = 1;
        _gameMode = kModeSixtySeconds;
        _realScore = subTimer = score = 0;
        gameTimer = 60;
        gameOver = endPlay = ghighscoreProcessed = _onlineProcessed = false;
        gameOverFade = 0.0f;
        clearZapAttack();
        srand(12345);
        gameSounds.clear();
        setBoard();
    }

    static long timesPlayed(eGameSound sound) {
        return std::count_if(gameSounds.begin(), gameSounds.end(),
                             [sound](const sSoundEvent &event) { return event.sound == sound; });
    }

    static FrameInput pointer(long x, long y, bool button) {
        return FrameInput{static_cast<int16_t>(x), static_cast<int16_t>(y), button};
    }
    void startGame(long mode, unsigned seed) {
        engine.begin({mode, gameDifficulty, unitScoreForMode(mode), seed});
    }
    void stepFrame(long x, long y, bool button) { engine.step(pointer(x, y, button)); }
    void boardInput(long x, long y, bool button) { engine.doInput(pointer(x, y, button)); }

    // Eight rows of twelve characters: '0'..'6' a resting token of that colour, '.' an empty cell, ' ' the
    // quiet background. Without rows, the background alone: colours 0..3 in 2x2 tiles, no line, no move.
    static void setBoard(std::vector<std::string> rows = {}) {
        rows.resize(kBoardRows);
        for (long y = 0; y < kBoardRows; y++)
            for (long x = 0; x < kBoardColumns; x++) {
                const char c = rows[y].size() > size_t(x) ? rows[y][x] : ' ';
                tokenAt(x, y) = sToken{};
                tokenAt(x, y).color = static_cast<int16_t>(c == ' '   ? x % 2 + 2 * (y % 2)
                                                           : c == '.' ? 0
                                                                      : c - '0');
                tokenAt(x, y).alive = c != '.';
                tokenAt(x, y).fade = tokenAt(x, y).alive ? 1.0f : 0.0f;
            }
    }

    // Still and settled: a line found in the last frame is vanishing at fade 1.0, which the board's own
    // queries do not yet count as fading.
    static bool boardIsStill() {
        return std::all_of(std::begin(tokenTable), std::end(tokenTable),
                           [](auto &t) { return !t.fadeSpeed; }) &&
               !isThereAnIncomingToken() && !isThereAMovingToken() && !isThereAFadingToken();
    }

    static bool hasLineOfThree() {
        for (long y = 0; y < kBoardRows; y++)
            for (long x = 0; x < kBoardColumns; x++)
                if ((x < kBoardColumns - 2 && isMatching(x, y, x + 1, y, x + 2, y)) ||
                    (y < kBoardRows - 2 && isMatching(x, y, x, y + 1, x, y + 2)))
                    return true;
        return false;
    }

    // Screen position of the middle of a cell.
    static long cellCentreX(long x) { return kBoardLeft + kCellSize * x + kCellSize / 2; }
    static long cellCentreY(long y) { return kBoardTop + kCellSize * y + kCellSize / 2; }

    // Runs frames without input (at least one) until the board is still; false if it never is.
    bool runUntilStill() {
        long frame = 0;
        do
            stepFrame(0, 0, false);
        while (!boardIsStill() && ++frame < 5000);
        return boardIsStill();
    }

    // Colours of the board as text, for readable failures.
    static std::string boardText() {
        std::string text;
        for (long i = 0; i < kBoardCells; i++)
            text += std::string(1, tokenTable[i].alive ? char('0' + tokenTable[i].color) : '.') +
                    (i % kBoardColumns == kBoardColumns - 1 ? "\n" : "");
        return text;
    }
};
