#include "rules_fixture.h"

using InputTest = RulesTest;

TEST_F(InputTest, OnePressIsOneActionAndOnlyOnAStillBoard) {
    _gameMode = 3;
    setBoardWithoutMoves();
    for (int frame = 0; frame < 10; frame++)
        handleBoardInput(cellCentreX(2), cellCentreY(2), true);
    EXPECT_TRUE(tokenAt(2, 2).selected);
    EXPECT_EQ(timesPlayed(snd_click), 1);

    handleBoardInput(cellCentreX(2), cellCentreY(2), false);
    handleBoardInput(cellCentreX(2), cellCentreY(2), true);
    EXPECT_FALSE(tokenAt(2, 2).selected);
    handleBoardInput(0, 0, false);

    // Nothing is taken while a token moves or fades, or after game over.
    tokenAt(9, 7).fade = 0.5f;
    handleBoardInput(cellCentreX(2), cellCentreY(2), true);
    EXPECT_FALSE(tokenAt(2, 2).selected);
    handleBoardInput(0, 0, false);
    tokenAt(9, 7).fade = 1.0f;
    gameOver = true;
    handleBoardInput(cellCentreX(2), cellCentreY(2), true);
    EXPECT_FALSE(tokenAt(2, 2).selected);
    EXPECT_EQ(timesPlayed(snd_click), 2);
}

TEST_F(InputTest, APressOffTheBoardStillTriesTheSelectedPair) {
    _gameMode = 3;
    setBoardWithoutMoves();
    // A pair left selected is tried by the next press, wherever it lands.
    tokenAt(4, 4).selected = true;
    tokenAt(5, 4).selected = true;
    handleBoardInput(10, 10, true);
    EXPECT_TRUE(tokenAt(4, 4).beingSwapped);
    EXPECT_EQ(timesPlayed(snd_click), 0);
    EXPECT_EQ(timesPlayed(snd_swap), 1);
}

TEST_F(InputTest, ClicksOnTheBoardEdges) {
    _gameMode = 3;
    setBoardWithoutMoves();
    auto press = [](long px, long py) {
        handleBoardInput(px, py, true);
        handleBoardInput(0, 0, false);
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
    EXPECT_EQ(timesPlayed(snd_click), 4);
    for (const sToken &cell : tokenTable)
        EXPECT_FALSE(cell.selected);
}
