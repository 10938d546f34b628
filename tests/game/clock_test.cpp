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
            ASSERT_EQ(shown(mode), mode == kModeSixtySeconds ? "00:59" : "04:59");
        EXPECT_EQ(subTimer, 1);
        EXPECT_EQ(ticks(mode, (seconds - 1) * kFramesPerTick - 1, 1), "00:00");
        ticks(mode, kFramesPerTick - 1, 1);
        EXPECT_FALSE(gameOver);
        advanceClock(mode, true);
        EXPECT_TRUE(gameOver && _realScore == 250 && gameTimer == 0);
        // A cascade still running after the end counts until the next tick records it again.
        score = 300;
        EXPECT_EQ(ticks(mode, 1), "00:00");
        EXPECT_EQ(_realScore, 300);
    }
}

TEST_F(ClockTest, TheMillionEndsOnlyAboveAMillionAndRecordsTheSeconds) {
    resetTimer(kModeMillion);
    score = 1000000;
    EXPECT_EQ(ticks(kModeMillion, 3), "00:03");
    EXPECT_FALSE(gameOver);
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
    // Until the first tick the text of the last formatted frame stands.
    EXPECT_EQ(std::string(advanceClock(kModeRelax, true)), before);
    EXPECT_EQ(ticks(kModeRelax, 1), "9:05");
    EXPECT_EQ(_realScore, 77);
    hourOfDay = 23, minuteOfDay = 59;
    EXPECT_EQ(std::string(advanceClock(kModeRelax, true)), "9:05") << "changes only at a tick";
    EXPECT_EQ(ticks(kModeRelax, 1), "23:59");
    hourOfDay = 0, minuteOfDay = 0;
    EXPECT_EQ(ticks(kModeRelax, 1000), "0:00");
    EXPECT_TRUE(gameTimer == 0 && !gameOver);
}

TEST_F(ClockTest, AGameStartsWithItsModesUnitsNameAndNoResult) {
    startGame(kModeMillion, 7);
    EXPECT_STREQ(gameDescription, "quorix2dif1");
    EXPECT_TRUE(_unitScore == 100 && _gameMode == kModeMillion && score == 0u && gameTimer == 0);
    EXPECT_FALSE(hasLineOfThree());
    gameDifficulty = 3;
    startZapAttack();
    _onlineProcessed = true;
    _realScore = 700; // the last game's result must not be judged again
    startGame(kModeSixtySeconds, 7);
    EXPECT_STREQ(gameDescription, "quorix0dif3");
    EXPECT_TRUE(_realScore == 0 && _unitScore == 1 && gameTimer == 60);
    EXPECT_TRUE(zapAttack < 0.0f && !_onlineProcessed);
    // A new game from the button or F1 starts without a result too, in every mode; a replaced board
    // keeps the score and the clock.
    for (long mode = 0; mode < 4; mode++) {
        _gameMode = mode;
        score = 777;
        gameTimer = 12;
        _realScore = 100000;
        _onlineProcessed = endPlay = ghighscoreProcessed = true;
        gameOverFade = 0.5f;
        resetTokenTable(false);
        EXPECT_TRUE(score == 777 && gameTimer == 12 && _onlineProcessed && !endPlay && !ghighscoreProcessed);
        EXPECT_EQ(gameOverFade, 0.0f);
        gameOver = true;
        resetTokenTable(true);
        EXPECT_TRUE(score == 0 && _realScore == 0 && !gameOver && !_onlineProcessed) << "mode " << mode;
        EXPECT_EQ(gameTimer, mode == kModeSixtySeconds ? 60 : mode == kModeFiveMinutes ? 300 : 0);
    }
}
