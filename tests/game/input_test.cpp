#include "rules_fixture.h"

using InputTest = RulesTest;

TEST_F(InputTest, OnePressIsOneActionAndOnlyOnAStillBoard) {
    _gameMode = kModeRelax;
    setBoardWithoutMoves();
    for (int frame = 0; frame < 10; frame++)
        boardInput(cellCentreX(2), cellCentreY(2), true);
    EXPECT_TRUE(tokenAt(2, 2).selected);
    EXPECT_EQ(timesPlayed(eGameSound::click), 1);

    boardInput(cellCentreX(2), cellCentreY(2), false);
    boardInput(cellCentreX(2), cellCentreY(2), true);
    EXPECT_FALSE(tokenAt(2, 2).selected);
    boardInput(0, 0, false);

    // Nothing is taken while a token moves or fades, or after game over.
    tokenAt(9, 7).fade = 0.5f;
    boardInput(cellCentreX(2), cellCentreY(2), true);
    EXPECT_FALSE(tokenAt(2, 2).selected);
    boardInput(0, 0, false);
    tokenAt(9, 7).fade = 1.0f;
    gameOver = true;
    boardInput(cellCentreX(2), cellCentreY(2), true);
    EXPECT_FALSE(tokenAt(2, 2).selected);
    EXPECT_EQ(timesPlayed(eGameSound::click), 2);
}

TEST_F(InputTest, APressOffTheBoardStillTriesTheSelectedPair) {
    _gameMode = kModeRelax;
    setBoardWithoutMoves();
    // A pair left selected is tried by the next press, wherever it lands.
    tokenAt(4, 4).selected = true;
    tokenAt(5, 4).selected = true;
    boardInput(10, 10, true);
    EXPECT_TRUE(tokenAt(4, 4).beingSwapped);
    EXPECT_EQ(timesPlayed(eGameSound::click), 0);
    EXPECT_EQ(timesPlayed(eGameSound::swap), 1);
}

TEST_F(InputTest, APressSelectsTheCellUnderThePointerThroughTheFrameStep) {
    _gameMode = kModeRelax;
    setBoardWithoutMoves();
    for (auto [x, y] : {std::pair{0L, 0L}, {11L, 7L}}) {
        stepFrame(cellCentreX(x), cellCentreY(y), true);
        stepFrame(0, 0, false);
        EXPECT_TRUE(tokenAt(x, y).selected) << x << "," << y;
        boardInput(cellCentreX(x), cellCentreY(y), true);
        boardInput(0, 0, false);
    }
}
