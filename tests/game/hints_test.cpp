// The move search, the hint it shows, and the price of a hint.
#include "rules_fixture.h"

#include <tuple>

using HintsTest = RulesTest;

// Exactly one move, at the right edge: exchanging (10,3) and (11,3) lines up three 4s.
const std::vector<std::string> kOneMove = {"", "", "", "        4454"};

TEST_F(HintsTest, TheOnlyMoveIsAlwaysTheOneHintedFromEitherCell) {
    EXPECT_FALSE(isThereAPossibilityLeft()) << "the quiet board has none";
    setBoard(kOneMove);
    ASSERT_TRUE(!hasLineOfThree() && isThereAPossibilityLeft()) << boardText();
    EXPECT_TRUE(isAPossibleMatch(10, 3, 11, 3) && tokenAt(10, 3).color == 5)
        << "the trial leaves the board as it was";
    long hinted[3] = {}; // (10,3), (11,3), elsewhere
    for (unsigned seed = 1; seed <= 400; seed++) {
        for (sToken &cell : tokenTable)
            cell.sinusSpeed = 0.0f;
        srand(seed);
        showHint();
        for (long i = 0; i < kBoardCells; i++)
            hinted[i == 3 * kBoardColumns + 11   ? 1
                   : i == 3 * kBoardColumns + 10 ? 0
                                                 : 2] += tokenTable[i].sinusSpeed != 0.0f;
        ASSERT_TRUE(hinted[0] + hinted[1] == long(seed) && hinted[2] == 0) << "seed " << seed;
    }
    EXPECT_TRUE(hinted[0] > 0 && hinted[1] > 0) << "the random start lets either cell be found first";
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
            setBoard(kOneMove);
        _gameMode = c.mode;
        _unitScore = c.unit;
        gameOver = c.over;
        score = c.before;
        buyHint();
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " score " << c.before);
        EXPECT_EQ(std::tuple(score, timesPlayed(eGameSound::hint), timesPlayed(eGameSound::nohint)),
                  std::tuple(c.after, c.hints, c.refusals));
        // Only the move's cells wobble, and only when a hint was bought.
        long wobbling = 0;
        for (const sToken &cell : tokenTable)
            wobbling += cell.sinusSpeed > 0.0f;
        EXPECT_EQ(wobbling, c.move && c.hints ? 1 : 0);
    }
}
