// The move search, the hint it shows, and the price of a hint.
#include "rules_fixture.h"

using HintsTest = RulesTest;

namespace {
// Exactly one move, at the right edge: exchanging (10,3) and (11,3) lines up three 4s.
void setBoardWithOneMove() {
    RulesTest::setBoard({"", "", "", "        4454"});
}
} // namespace

TEST_F(HintsTest, TheOnlyMoveIsAlwaysTheOneHintedFromEitherCell) {
    EXPECT_FALSE(isThereAPossibilityLeft()) << "the quiet board has none";
    showHint();
    for (const sToken &cell : tokenTable)
        ASSERT_EQ(cell.sinusSpeed, 0.0f);
    setBoardWithOneMove();
    ASSERT_FALSE(hasLineOfThree()) << boardText();
    EXPECT_TRUE(isThereAPossibilityLeft());
    long hinted[2] = {0, 0};
    for (unsigned seed = 1; seed <= 400; seed++) {
        for (sToken &cell : tokenTable)
            cell.sinusSpeed = 0.0f;
        srand(seed);
        showHint();
        for (long i = 0; i < kBoardCells; i++) {
            if (tokenTable[i].sinusSpeed == 0.0f)
                continue;
            ASSERT_TRUE(i == 3 * kBoardColumns + 10 || i == 3 * kBoardColumns + 11) << "hinted " << i;
            hinted[i % kBoardColumns - 10]++;
        }
        ASSERT_EQ(hinted[0] + hinted[1], long(seed));
    }
    // The random start lets either cell of the move be found first.
    EXPECT_GT(hinted[0], 0);
    EXPECT_GT(hinted[1], 0);
}

TEST_F(HintsTest, EdgeTrialsDeadCellsAndCellsOffTheBoard) {
    // A line already standing makes every cell a hint, the edge's self-swap included.
    tokenAt(0, 0).color = tokenAt(1, 0).color = tokenAt(2, 0).color = 6;
    EXPECT_TRUE(isHint(11, 7) && isHint(0, 0));
    // The trial leaves the board as it was.
    setBoardWithOneMove();
    EXPECT_TRUE(isAPossibleMatch(10, 3, 11, 3) && tokenAt(10, 3).color == 5);
    tokenAt(8, 3).alive = false; // dead cells never form a line on the scratch board
    EXPECT_FALSE(isThereAPossibilityLeft());
    for (auto [x, y] : {std::pair{-1L, 0L}, {12L, 0L}, {0L, 8L}, {1L << 40, -(1L << 40)}})
        EXPECT_FALSE(isHint(x, y)) << x << "," << y;
}

// Fifty units buy a hint (free in relax mode); without the points, or after game over, nothing is shown.
TEST_F(HintsTest, AHintCostsFiftyUnitsEvenWithoutAMove) {
    const struct {
        long mode, unit;
        bool move, over;
        uint32_t before, after;
        long hints, refusals;
    } cases[] = {
        {kModeSixtySeconds, 1, true, false, 49, 49, 0, 1},
        {kModeSixtySeconds, 1, true, false, 50, 0, 1, 0},
        {kModeMillion, 100, true, false, 4999, 4999, 0, 1},
        {kModeMillion, 100, true, false, 5000, 0, 1, 0},
        {kModeSixtySeconds, 1, false, false, 80, 30, 1, 0},
        {kModeRelax, 1, true, false, 0, 0, 1, 0},
        {kModeSixtySeconds, 1, true, true, 1000, 1000, 0, 0},
    };
    for (const auto &c : cases) {
        SetUp();
        if (c.move)
            setBoardWithOneMove();
        _gameMode = c.mode;
        _unitScore = c.unit;
        gameOver = c.over;
        score = c.before;
        buyHint();
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " score " << c.before);
        EXPECT_EQ(score, c.after);
        EXPECT_EQ(timesPlayed(eGameSound::hint), c.hints);
        EXPECT_EQ(timesPlayed(eGameSound::nohint), c.refusals);
        EXPECT_EQ(tokenAt(10, 3).sinusSpeed + tokenAt(11, 3).sinusSpeed > 0.0f, c.move && c.hints);
    }
}
