// The clock of each mode: a tick every 75 frames, the end of the game and the result it records.
#include "rules_fixture.h"

#include <string>

class ClockTest : public RulesTest {
protected:
    static inline int hourOfDay = 9, minuteOfDay = 5;

    void SetUp() override {
        RulesTest::SetUp();
        gTimeOfDaySource = [](int *hour, int *minute) {
            *hour = hourOfDay;
            *minute = minuteOfDay;
        };
    }
    // Runs whole ticks of the clock (or frames); returns the text of the last frame.
    static std::string ticks(long mode, long count, long frames = kFramesPerTick) {
        std::string text;
        for (long frame = 0; frame < count * frames; frame++)
            text = advanceClock(mode, true);
        return text;
    }
    static std::string shown(long mode) { return advanceClock(mode, false); }
};

TEST_F(ClockTest, TheTimedModesEndAtTheTickAfterZeroAndAPauseStandsStill) {
    for (long mode : {kModeSixtySeconds, kModeFiveMinutes}) {
        SetUp();
        const long seconds = mode == kModeSixtySeconds ? 60 : 300;
        resetTimer(mode);
        EXPECT_EQ(shown(mode), mode == kModeSixtySeconds ? "01:00" : "05:00");
        score = 250;
        EXPECT_EQ(ticks(mode, 1), mode == kModeSixtySeconds ? "00:59" : "04:59");
        advanceClock(mode, true);
        for (int frame = 0; frame < 500; frame++) // paused: no frame counts
            ASSERT_TRUE(shown(mode) == (mode == kModeSixtySeconds ? "00:59" : "04:59") && subTimer == 1);
        EXPECT_EQ(ticks(mode, (seconds - 1) * kFramesPerTick - 1, 1), "00:00");
        EXPECT_TRUE(ticks(mode, kFramesPerTick - 1, 1) == "00:00" && !gameOver);
        advanceClock(mode, true);
        EXPECT_TRUE(gameOver && _realScore == 250 && gameTimer == 0);
        // A cascade still running after the end counts until the next tick records it again.
        score = 300;
        EXPECT_TRUE(ticks(mode, 1) == "00:00" && _realScore == 300);
    }
}

TEST_F(ClockTest, TheMillionEndsOnlyAboveAMillionAndRecordsTheSeconds) {
    resetTimer(kModeMillion);
    score = 1000000;
    EXPECT_TRUE(ticks(kModeMillion, 3) == "00:03" && !gameOver);
    score = 1000001;
    ticks(kModeMillion, 1);
    EXPECT_TRUE(gameOver && _realScore == 3 && gameTimer == 3);
    ticks(kModeMillion, 5);
    EXPECT_EQ(_realScore, 3) << "the result keeps the time of the tick that ended the game";
    resetTimer(kModeMillion);
    score = 0;
    EXPECT_EQ(ticks(kModeMillion, 3725), "62:05");
}

TEST_F(ClockTest, RelaxModeShowsTheTimeOfDayAtEachTickAndNeverEnds) {
    resetTimer(kModeSixtySeconds);
    const std::string before = shown(kModeSixtySeconds);
    resetTimer(kModeRelax);
    score = 77;
    EXPECT_EQ(ticks(kModeRelax, 1, 1), before) << "until the first tick the last text stands";
    EXPECT_TRUE(ticks(kModeRelax, 1) == "9:05" && _realScore == 77);
    hourOfDay = 23, minuteOfDay = 59;
    EXPECT_EQ(ticks(kModeRelax, 1, 1), "9:05") << "changes only at a tick";
    EXPECT_EQ(ticks(kModeRelax, 1), "23:59");
    hourOfDay = 0, minuteOfDay = 0;
    EXPECT_EQ(ticks(kModeRelax, 1000), "0:00");
    EXPECT_TRUE(gameTimer == 0 && !gameOver);
}

// A replaced board keeps the score and the clock; a new game (begun, or dealt by the button or F1)
// starts without a result in its mode's units and name.
TEST_F(ClockTest, AGameStartsWithItsModesUnitsNameAndNoResult) {
    startGame(kModeMillion, 7);
    EXPECT_TRUE(std::string(gameDescription) == "quorix2dif1" && _unitScore == 100 &&
                _gameMode == kModeMillion && score == 0u && gameTimer == 0 && !hasLineOfThree());
    gameDifficulty = 3;
    startZapAttack();
    _onlineProcessed = endPlay = ghighscoreProcessed = true;
    _realScore = 700; // the last game's result must not be judged again
    score = 777;
    gameOverFade = 0.5f;
    resetTokenTable(false);
    EXPECT_TRUE(score == 777 && gameTimer == 0 && _onlineProcessed && !endPlay && !ghighscoreProcessed &&
                gameOverFade == 0.0f);
    startGame(kModeSixtySeconds, 7);
    EXPECT_TRUE(std::string(gameDescription) == "quorix0dif3" && _realScore == 0 && _unitScore == 1 &&
                gameTimer == 60 && zapAttack < 0.0f && !_onlineProcessed);
    _realScore = 100000;
    score = 777;
    _onlineProcessed = gameOver = true;
    resetTokenTable(true);
    EXPECT_TRUE(score == 0 && _realScore == 0 && gameTimer == 60 && !gameOver && !_onlineProcessed);
}
