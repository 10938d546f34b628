#include "rules_fixture.h"

#include <string>

class ClockTest : public RulesTest {
protected:
    static inline int hourOfDay = 9;
    static inline int minuteOfDay = 5;

    void SetUp() override {
        RulesTest::SetUp();
        gTimeOfDaySource = [](int *hour, int *minute) {
            *hour = hourOfDay;
            *minute = minuteOfDay;
        };
    }

    // Runs whole ticks of the clock; returns the text of the last frame.
    static std::string ticks(long mode, long count) {
        std::string text;
        for (long frame = 0; frame < count * kFramesPerTick; frame++)
            text = advanceClock(mode, true);
        return text;
    }
};

TEST_F(ClockTest, SixtySecondsEndAtTheSixtyFirstTick) {
    resetTimer(0);
    EXPECT_EQ(std::string(advanceClock(0, false)), "01:00");
    score = 250;
    EXPECT_EQ(ticks(0, 1), "00:59");
    EXPECT_EQ(ticks(0, 59), "00:00");
    EXPECT_FALSE(gameOver);
    for (int frame = 0; frame < 74; frame++)
        advanceClock(0, true);
    EXPECT_FALSE(gameOver);
    advanceClock(0, true);
    EXPECT_TRUE(gameOver);
    EXPECT_EQ(_realScore, 250);
    EXPECT_EQ(gameTimer, 0);

    // A cascade still running after the end counts until the next tick records it again.
    score = 300;
    ticks(0, 1);
    EXPECT_EQ(_realScore, 300);
    EXPECT_EQ(std::string(advanceClock(0, false)), "00:00");
}

TEST_F(ClockTest, FiveMinutesStartAtFiveAndPauseStandsStill) {
    resetTimer(1);
    EXPECT_EQ(std::string(advanceClock(1, false)), "05:00");
    ticks(1, 1);
    EXPECT_EQ(gameTimer, 299);
    advanceClock(1, true);
    for (int frame = 0; frame < 500; frame++)
        EXPECT_EQ(std::string(advanceClock(1, false)), "04:59");
    EXPECT_EQ(subTimer, 1);
    EXPECT_EQ(gameTimer, 299);
}

TEST_F(ClockTest, MillionEndsOnlyAboveTheMillion) {
    resetTimer(2);
    score = 1000000;
    EXPECT_EQ(ticks(2, 3), "00:03");
    EXPECT_FALSE(gameOver);
    score = 1000001;
    ticks(2, 1);
    EXPECT_TRUE(gameOver);
    EXPECT_EQ(_realScore, 3);
    EXPECT_EQ(gameTimer, 3);
    ticks(2, 5);
    EXPECT_EQ(_realScore, 3) << "the result keeps the time of the tick that ended the game";

    resetTimer(2);
    score = 0;
    EXPECT_EQ(ticks(2, 3725), "62:05");
}

TEST_F(ClockTest, RelaxModeShowsTheTimeOfDayAtEachTick) {
    resetTimer(0);
    const std::string before = advanceClock(0, false);
    resetTimer(3);
    score = 77;
    // Until the first tick the text of the last formatted frame stands.
    EXPECT_EQ(std::string(advanceClock(3, true)), before);
    EXPECT_EQ(ticks(3, 1), "9:05");
    EXPECT_EQ(_realScore, 77);
    EXPECT_FALSE(gameOver);
    hourOfDay = 23;
    minuteOfDay = 59;
    EXPECT_EQ(std::string(advanceClock(3, true)), "9:05") << "changes only at a tick";
    EXPECT_EQ(ticks(3, 1), "23:59");
    hourOfDay = 0;
    minuteOfDay = 0;
    EXPECT_EQ(ticks(3, 1), "0:00");
    EXPECT_EQ(gameTimer, 0);
    EXPECT_FALSE(gameOver);
}

TEST_F(ClockTest, GameStartSetsModeUnitsAndDescription) {
    gameDifficulty = 1;
    startGame(kModeMillion, 7);
    EXPECT_STREQ(gameDescription, "quorix2dif1");
    EXPECT_EQ(_unitScore, 100);
    EXPECT_EQ(_gameMode, kModeMillion);
    EXPECT_EQ(score, 0u);
    EXPECT_EQ(gameTimer, 0);
    EXPECT_FALSE(hasLineOfThree());

    gameDifficulty = 3;
    startZapAttack();
    _onlineProcessed = true;
    _realScore = 700; // the last game's result must not be judged again
    startGame(kModeSixtySeconds, 7);
    EXPECT_EQ(_realScore, 0);
    EXPECT_STREQ(gameDescription, "quorix0dif3");
    EXPECT_EQ(_unitScore, 1);
    EXPECT_EQ(gameTimer, 60);
    EXPECT_LT(zapAttack, 0.0f);
    EXPECT_FALSE(_onlineProcessed);

    // A new game from the button or F1 starts without a result too, in every mode.
    for (long mode = 0; mode < 4; mode++) {
        _gameMode = mode;
        _realScore = 100000;
        resetTokenTable(true);
        EXPECT_EQ(_realScore, 0) << "mode " << mode;
    }
}
