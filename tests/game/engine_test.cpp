// The play screen's frame step, run without a window: the pause, Escape, the buttons under the board and
// the game-over panel, frame by frame.
#include "rules_fixture.h"

#include <cmath>
#include <tuple>

class EngineTest : public RulesTest {
protected:
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
        engine.step(FrameInput{.keyP = p});
        EXPECT_TRUE(engine.phase() == phase && !engine.advancedThisFrame() && subTimer == 1 &&
                    (phase != ePlayPhase::paused || engine.showsPause()));
    }
    EXPECT_EQ(std::memcmp(board, tokenTable, sizeof(tokenTable)), 0);
    engine.step({});
    EXPECT_TRUE(engine.phase() == ePlayPhase::playing && engine.advancedThisFrame() && subTimer == 2);
    gameOver = true; // a game that is over cannot be paused
    engine.step(FrameInput{.keyP = true});
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
        const FrameInput down = c.escape ? FrameInput{.keyEscape = true} : onButton(kActionExit, true);
        judged.step(down);
        judged.step(down);
        EXPECT_TRUE(!c.escape || judged.phase() == ePlayPhase::escapeHeld) << "decided once Escape is up";
        judged.step(c.escape ? FrameInput{} : onButton(kActionExit, false));
        EXPECT_EQ(std::tuple(gameOver, endPlay, _realScore),
                  std::tuple(c.gameOverAfter, !c.gameOverAfter, c.mode == kModeRelax ? 1234L : 0L));
        judged.step(c.gameOverAfter && !c.escape ? onButton(kActionExit, true) : FrameInput{});
        EXPECT_EQ(judged.phase() == ePlayPhase::left, !c.gameOverAfter || !c.escape);
    }
}

TEST_F(EngineTest, TheNewGameButtonDealsOnceAndTheFrameEndsOnItsRelease) {
    startGame(kModeSixtySeconds, 9);
    engine.step({});
    score = 50;
    for (long clicks : {1, 0}) { // the new game's clock starts again, and the held button stands it
        engine.step(onButton(kActionNewGame, true));
        EXPECT_TRUE(engine.phase() == ePlayPhase::newGameHeld && !engine.advancedThisFrame());
        EXPECT_TRUE(score == 0u && subTimer == 0 && timesPlayed(eGameSound::click) == clicks);
    }
    engine.step(onButton(kActionNewGame, false));
    EXPECT_TRUE(engine.phase() == ePlayPhase::playing && engine.advancedThisFrame() && subTimer == 1);
}

TEST_F(EngineTest, TheGameOverPanelGrowsInFiftyFramesAndShrinksAwayAfterANewGame) {
    startGame(kModeRelax, 4);
    gameOver = true;
    // F1 deals a new game: the panel shrinks away.
    for (auto [frames, fade] : {std::pair{45, 0.9f}, {10, 1.0f}, {50, 0.0f}}) {
        for (int frame = 0; frame < frames; frame++)
            engine.step(FrameInput{.keyF1 = fade == 0.0f && frame == 0});
        EXPECT_TRUE(std::fabs(gameOverFade - fade) < 0.001f && gameOver == (fade > 0.0f)) << gameOverFade;
    }
}
