// The play screen's frame step, run without a window: the pause, Escape, the New-game button and the
// game-over panel, frame by frame.
#include "rules_fixture.h"

using EngineTest = RulesTest;

namespace {
FrameInput keys(bool p, bool escape) {
    FrameInput input;
    input.keyP = p;
    input.keyEscape = escape;
    return input;
}
} // namespace

TEST_F(EngineTest, ThePauseStandsTheBoardAndTheClockUntilPIsPressedAgain) {
    startGame(kModeSixtySeconds, 5);
    for (int frame = 0; frame < 10; frame++)
        engine.step({});
    const long ticks = subTimer;
    engine.step(keys(true, false));
    EXPECT_EQ(engine.phase(), ePlayPhase::pausing);
    engine.step(keys(true, false)); // held: nothing moves
    engine.step({});
    EXPECT_EQ(engine.phase(), ePlayPhase::paused);
    sToken board[kBoardCells];
    std::memcpy(board, tokenTable, sizeof(tokenTable));
    for (int frame = 0; frame < 200; frame++) {
        engine.step({});
        ASSERT_TRUE(engine.showsPause());
        ASSERT_FALSE(engine.advancedThisFrame());
    }
    EXPECT_EQ(subTimer, ticks);
    EXPECT_EQ(gameTimer, 60);
    EXPECT_EQ(std::memcmp(board, tokenTable, sizeof(tokenTable)), 0);
    engine.step(keys(true, false));
    EXPECT_EQ(engine.phase(), ePlayPhase::resuming);
    engine.step({});
    EXPECT_EQ(engine.phase(), ePlayPhase::playing);
    EXPECT_TRUE(engine.advancedThisFrame());
    EXPECT_EQ(subTimer, ticks + 1);

    // A game that is over cannot be paused.
    gameOver = true;
    engine.step(keys(true, false));
    EXPECT_EQ(engine.phase(), ePlayPhase::playing);
}

TEST_F(EngineTest, EscapeLeavesOrInRelaxModeAsksWhetherTheResultEarnsAPlace) {
    const struct {
        long mode;
        bool earnsAPlace, gameOverAfter, leaves;
    } cases[] = {{kModeSixtySeconds, true, false, true},
                 {kModeRelax, false, false, true},
                 {kModeRelax, true, true, false}};
    for (const auto &c : cases) {
        SetUp();
        GameEngine judged([&c] { return c.earnsAPlace; });
        judged.begin({c.mode, 1, unitScoreForMode(c.mode), 3});
        judged.step({});
        score = 1234;
        judged.step(keys(false, true));
        EXPECT_EQ(judged.phase(), ePlayPhase::escapeHeld);
        judged.step(keys(false, true));
        EXPECT_EQ(judged.phase(), ePlayPhase::escapeHeld) << "decided only once Escape is up";
        judged.step({});
        EXPECT_EQ(gameOver, c.gameOverAfter) << "mode " << c.mode;
        EXPECT_EQ(endPlay, c.leaves) << "mode " << c.mode;
        if (c.mode == kModeRelax) {
            EXPECT_EQ(_realScore, 1234);
        }
        judged.step({});
        EXPECT_EQ(judged.phase() == ePlayPhase::left, c.leaves);
    }
}

TEST_F(EngineTest, TheNewGameButtonDealsOnceAndTheFrameEndsOnItsRelease) {
    startGame(kModeSixtySeconds, 9);
    engine.step({});
    score = 50;
    const sHotSpot &button = hotspots[kActionNewGame];
    const long x = (button.x1 + button.x2) / 2, y = (button.y1 + button.y2) / 2;
    engine.step(pointer(x, y, true));
    EXPECT_EQ(engine.phase(), ePlayPhase::newGameHeld);
    EXPECT_EQ(score, 0u);
    EXPECT_EQ(subTimer, 0) << "the new game's clock starts again";
    EXPECT_EQ(timesPlayed(eGameSound::click), 1);
    EXPECT_FALSE(engine.advancedThisFrame());
    engine.step(pointer(x, y, true));
    EXPECT_EQ(subTimer, 0) << "the held button stands the game";
    engine.step(pointer(x, y, false));
    EXPECT_EQ(engine.phase(), ePlayPhase::playing);
    EXPECT_TRUE(engine.advancedThisFrame());
    EXPECT_EQ(subTimer, 1);
}

TEST_F(EngineTest, TheGameOverPanelGrowsInFiftyFramesAndShrinksAwayAfterANewGame) {
    startGame(kModeRelax, 4);
    gameOver = true;
    for (int frame = 0; frame < 45; frame++)
        engine.step({});
    EXPECT_LT(gameOverFade, 1.0f);
    for (int frame = 0; frame < 10; frame++)
        engine.step({});
    EXPECT_EQ(gameOverFade, 1.0f);
    FrameInput f1;
    f1.keyF1 = true;
    engine.step(f1); // F1 deals a new game: the panel shrinks away
    EXPECT_FALSE(gameOver);
    for (int frame = 0; frame < 50; frame++)
        engine.step({});
    EXPECT_EQ(gameOverFade, 0.0f);
}

TEST_F(EngineTest, TheExitButtonLeavesButInRelaxModeFirstEndsTheGameWithItsScore) {
    const sHotSpot &button = hotspots[kActionExit];
    const long x = (button.x1 + button.x2) / 2, y = (button.y1 + button.y2) / 2;
    for (long mode : {kModeSixtySeconds, kModeRelax}) {
        SetUp();
        startGame(mode, 2);
        engine.step({});
        score = 777;
        engine.step(pointer(x, y, true));
        engine.step(pointer(x, y, false));
        EXPECT_EQ(gameOver, mode == kModeRelax) << "mode " << mode;
        EXPECT_EQ(endPlay, mode != kModeRelax) << "mode " << mode;
        if (mode == kModeRelax) {
            EXPECT_EQ(_realScore, 777);
            engine.step(pointer(x, y, true));
            EXPECT_TRUE(endPlay) << "the second press leaves";
        }
    }
}
