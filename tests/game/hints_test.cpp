#include "rules_fixture.h"

using HintsTest = RulesTest;

namespace {
// Exactly one move: swapping (4,3) and (5,3) brings the 4 beside the pair of 4s in row 3.
void setBoardWithOneMove() {
    RulesTest::setBoard({"010101010101", "232323232323", "010101010101", "234454232323", "010101010101",
                         "232323232323", "010101010101", "232323232323"});
}
} // namespace

TEST_F(HintsTest, BoardWithoutMovesHasNoHint) {
    setBoardWithoutMoves();
    EXPECT_FALSE(isThereAPossibilityLeft());
    for (long x = 0; x < kBoardColumns; x++)
        for (long y = 0; y < kBoardRows; y++)
            EXPECT_FALSE(isHint(x, y));
    showHint();
    for (const sToken &cell : tokenTable)
        EXPECT_EQ(cell.sinusSpeed, 0.0f);
}

TEST_F(HintsTest, SingleMoveIsAlwaysTheOneHinted) {
    setBoardWithOneMove();
    ASSERT_FALSE(hasLineOfThree()) << boardText();
    EXPECT_TRUE(isThereAPossibilityLeft());
    long hinted[2] = {0, 0};
    for (unsigned seed = 1; seed <= 400; seed++) {
        for (sToken &cell : tokenTable)
            cell.sinusSpeed = 0.0f;
        srand(seed);
        showHint();
        long wobbling = 0;
        for (long x = 0; x < kBoardColumns; x++) {
            for (long y = 0; y < kBoardRows; y++) {
                if (tokenAt(x, y).sinusSpeed == 0.0f)
                    continue;
                wobbling++;
                ASSERT_EQ(y, 3);
                ASSERT_TRUE(x == 4 || x == 5) << "hinted " << x;
                hinted[x - 4]++;
            }
        }
        ASSERT_EQ(wobbling, 1);
    }
    // The random start lets either cell of the move be found first.
    EXPECT_GT(hinted[0], 0);
    EXPECT_GT(hinted[1], 0);
}

TEST_F(HintsTest, EdgeTrialsAndTheScratchBoard) {
    // A line already standing makes every cell a hint, the edge's self-swap included.
    setBoardWithoutMoves();
    tokenAt(0, 0).color = tokenAt(1, 0).color = tokenAt(2, 0).color = 6;
    EXPECT_TRUE(isHint(11, 7));
    EXPECT_TRUE(isHint(0, 0));

    // The scratch board is the board with two colours exchanged, nothing else.
    setBoardWithOneMove();
    EXPECT_TRUE(isAPossibleMatch(4, 3, 5, 3));
    EXPECT_EQ(calculationTokenTable[3 * 12 + 4].color, 4);
    EXPECT_EQ(calculationTokenTable[3 * 12 + 5].color, 5);
    EXPECT_EQ(tokenAt(4, 3).color, 5);

    // Dead cells never form a line on the scratch board.
    tokenAt(3, 3).alive = false;
    EXPECT_FALSE(isThereAPossibilityLeft());

    // Cells off the board are never hints and are never touched.
    EXPECT_FALSE(isHint(-1, 0));
    EXPECT_FALSE(isHint(12, 0));
    EXPECT_FALSE(isHint(0, 8));
    EXPECT_FALSE(isHint(1L << 40, -(1L << 40)));
}

TEST_F(HintsTest, HintPurchase) {
    setBoardWithOneMove();
    score = 49;
    buyHint();
    EXPECT_EQ(score, 49u);
    EXPECT_EQ(timesPlayed(eGameSound::nohint), 1);
    EXPECT_EQ(timesPlayed(eGameSound::hint), 0);
    EXPECT_EQ(tokenAt(4, 3).sinusSpeed + tokenAt(5, 3).sinusSpeed, 0.0f);

    score = 50;
    buyHint();
    EXPECT_EQ(score, 0u);
    EXPECT_EQ(timesPlayed(eGameSound::hint), 1);
    EXPECT_GT(tokenAt(4, 3).sinusSpeed + tokenAt(5, 3).sinusSpeed, 0.0f);

    // The million mode prices in its units.
    _unitScore = 100;
    score = 4999;
    buyHint();
    EXPECT_EQ(score, 4999u);
    score = 5000;
    buyHint();
    EXPECT_EQ(score, 0u);

    // Charged even when no token can move.
    setBoardWithoutMoves();
    _unitScore = 1;
    score = 80;
    buyHint();
    EXPECT_EQ(score, 30u);
    EXPECT_EQ(timesPlayed(eGameSound::hint), 3);

    // Free in relax mode, at any score.
    _gameMode = kModeRelax;
    score = 0;
    buyHint();
    EXPECT_EQ(score, 0u);
    EXPECT_EQ(timesPlayed(eGameSound::hint), 4);

    // Nothing at all after game over.
    gameOver = true;
    _gameMode = kModeSixtySeconds;
    score = 1000;
    gameSounds.clear();
    buyHint();
    EXPECT_EQ(score, 1000u);
    EXPECT_TRUE(gameSounds.empty());
}
