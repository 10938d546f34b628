#include "rules_fixture.h"

using InputTest = RulesTest;

TEST_F(InputTest, OnePressIsOneActionAndOnlyOnAStillBoard) {
    _gameMode = 3;
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
    _gameMode = 3;
    setBoardWithoutMoves();
    // A pair left selected is tried by the next press, wherever it lands.
    tokenAt(4, 4).selected = true;
    tokenAt(5, 4).selected = true;
    boardInput(10, 10, true);
    EXPECT_TRUE(tokenAt(4, 4).beingSwapped);
    EXPECT_EQ(timesPlayed(eGameSound::click), 0);
    EXPECT_EQ(timesPlayed(eGameSound::swap), 1);
}

TEST_F(InputTest, ClicksOnTheBoardEdges) {
    _gameMode = 3;
    setBoardWithoutMoves();
    auto press = [this](long px, long py) {
        boardInput(px, py, true);
        boardInput(0, 0, false);
    };
    press(71, 90);
    EXPECT_TRUE(tokenAt(0, 0).selected);
    press(71 + 41, 90 + 41);
    EXPECT_FALSE(tokenAt(0, 0).selected);
    press(574, 425);
    EXPECT_TRUE(tokenAt(11, 7).selected);
    press(574, 425);
    press(575, 425);
    press(574, 426);
    press(70, 90);
    EXPECT_EQ(timesPlayed(eGameSound::click), 4);
    for (const sToken &cell : tokenTable)
        EXPECT_FALSE(cell.selected);
}
