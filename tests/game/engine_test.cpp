// The play screen's frame step, run without a window: the pause, Escape, the buttons under the board and
// the game-over panel, frame by frame.
#include "rules_fixture.h"

class EngineTest : public RulesTest {
protected:
    static FrameInput keys(bool p, bool escape, bool f1 = false) {
        FrameInput input;
        input.keyP = p;
        input.keyEscape = escape;
        input.keyF1 = f1;
        return input;
    }
    static FrameInput onButton(long action, bool down) {
        const sHotSpot &button = hotspots[action];
        return pointer((button.x1 + button.x2) / 2, (button.y1 + button.y2) / 2, down);
    }
};

TEST_F(EngineTest, ThePauseStandsTheBoardAndTheClockUntilPIsPressedAgain) {
    startGame(kModeSixtySeconds, 5);
    engine.step({});
    sToken board[kBoardCells]; // the hint wobbles on a board that is not paused
    std::memcpy(board, tokenTable, sizeof(tokenTable));
    // P pauses once it is up again, and resumes the same way; nothing moves while it is down or paused.
    const std::pair<bool, ePlayPhase> frames[] = {{true, ePlayPhase::pausing},  {true, ePlayPhase::pausing},
                                                  {false, ePlayPhase::paused},  {false, ePlayPhase::paused},
                                                  {true, ePlayPhase::resuming}, {true, ePlayPhase::resuming}};
    for (auto [p, phase] : frames) {
        engine.step(keys(p, false));
        EXPECT_TRUE(engine.phase() == phase && !engine.advancedThisFrame() && subTimer == 1);
        EXPECT_TRUE(phase != ePlayPhase::paused || engine.showsPause());
    }
    EXPECT_EQ(std::memcmp(board, tokenTable, sizeof(tokenTable)), 0);
    engine.step({});
    EXPECT_TRUE(engine.phase() == ePlayPhase::playing && engine.advancedThisFrame() && subTimer == 2);
    gameOver = true; // a game that is over cannot be paused
    engine.step(keys(true, false));
    EXPECT_EQ(engine.phase(), ePlayPhase::playing);
}

// Escape and the Exit button leave; in relax mode they end the game with its score first (Escape only
// when the result earns a place), and the Exit button's second press leaves.
TEST_F(EngineTest, EscapeAndExitLeaveButInRelaxModeFirstEndTheGameWithItsScore) {
    const struct {
        long mode;
        bool escape, earnsAPlace, gameOverAfter;
    } cases[] = {{kModeSixtySeconds, true, true, false},
                 {kModeRelax, true, false, false},
                 {kModeRelax, true, true, true},
                 {kModeSixtySeconds, false, false, false},
                 {kModeRelax, false, false, true}};
    for (const auto &c : cases) {
        SetUp();
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << (c.escape ? " Escape" : " Exit"));
        GameEngine judged([&c] { return c.earnsAPlace; });
        judged.begin({c.mode, 1, unitScoreForMode(c.mode), 3});
        judged.step({});
        score = 1234;
        const FrameInput down = c.escape ? keys(false, true) : onButton(kActionExit, true);
        judged.step(down);
        judged.step(down);
        EXPECT_TRUE(!c.escape || judged.phase() == ePlayPhase::escapeHeld) << "decided once Escape is up";
        judged.step(c.escape ? FrameInput{} : onButton(kActionExit, false));
        EXPECT_EQ(gameOver, c.gameOverAfter);
        EXPECT_EQ(endPlay, !c.gameOverAfter);
        EXPECT_EQ(_realScore, c.mode == kModeRelax ? 1234 : 0);
        judged.step(c.gameOverAfter && !c.escape ? onButton(kActionExit, true) : FrameInput{});
        EXPECT_EQ(judged.phase() == ePlayPhase::left, !c.gameOverAfter || !c.escape);
    }
}

TEST_F(EngineTest, TheNewGameButtonDealsOnceAndTheFrameEndsOnItsRelease) {
    startGame(kModeSixtySeconds, 9);
    engine.step({});
    score = 50;
    engine.step(onButton(kActionNewGame, true));
    EXPECT_EQ(engine.phase(), ePlayPhase::newGameHeld);
    EXPECT_TRUE(score == 0u && subTimer == 0) << "the new game's clock starts again";
    EXPECT_EQ(timesPlayed(eGameSound::click), 1);
    EXPECT_FALSE(engine.advancedThisFrame());
    engine.step(onButton(kActionNewGame, true));
    EXPECT_EQ(subTimer, 0) << "the held button stands the game";
    engine.step(onButton(kActionNewGame, false));
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
    engine.step(keys(false, false, true)); // F1 deals a new game: the panel shrinks away
    EXPECT_FALSE(gameOver);
    for (int frame = 0; frame < 50; frame++)
        engine.step({});
    EXPECT_EQ(gameOverFade, 0.0f);
}
