#include "rules_fixture.h"

using BoardTest = RulesTest;

// Every fresh board of every difficulty: no line, every colour of the difficulty in use, bonuses only at
// the easiest, and one token wobbling silently when a move is left.
TEST_F(BoardTest, FreshBoardsHoldNoLineTheirColoursAndAHint) {
    for (int difficulty = 0; difficulty <= 3; difficulty++) {
        gameDifficulty = difficulty;
        const int colours = difficulty == 0 ? 6 : difficulty + 4;
        bool seen[7] = {};
        long seededBoards = 0;
        for (unsigned seed = 1; seed <= 100; seed++) {
            SCOPED_TRACE("difficulty " + std::to_string(difficulty) + " seed " + std::to_string(seed));
            srand(seed);
            gameSounds.clear();
            resetTokenTable(true);
            ASSERT_FALSE(hasLineOfThree()) << boardText();
            long bonuses = 0, wobbling = 0;
            for (long i = 0; i < kBoardCells; i++) {
                const sToken &cell = tokenTable[i];
                ASSERT_TRUE(cell.alive && cell.fade == 1.0f && cell.color >= 0 && cell.color < colours &&
                            cell.bonusType >= kBonusNone && cell.bonusType <= kBonusCross);
                seen[cell.color] = true;
                bonuses += cell.bonusType != kBonusNone;
                wobbling += cell.sinusSpeed > 0.0f && isHint(i % kBoardColumns, i / kBoardColumns);
            }
            EXPECT_TRUE(wobbling == (isThereAPossibilityLeft() ? 1 : 0) && gameSounds.empty());
            ASSERT_LE(bonuses, difficulty == 0 ? 8 : 0);
            seededBoards += bonuses > 0;
        }
        EXPECT_TRUE(seen[colours - 1] && seededBoards > (difficulty == 0 ? 90 : -1)) << seededBoards;
    }
}

// Only the top row is refilled, once nothing falls; its tokens grow in over ten frames. A token growing
// in hides the other movement: the rest of the top row fills at once.
TEST_F(BoardTest, NewTokensGrowIntoTheEmptyTopRowInTenFramesOnceNothingFalls) {
    setBoard({".....", ".", "............"});
    tokenAt(3, 5).fally = 14.0f;
    appearTokens();
    EXPECT_FALSE(tokenAt(0, 0).alive);
    tokenAt(4, 0).fadeSpeed = kAppearSpeed;
    appearTokens();
    EXPECT_TRUE(tokenAt(0, 0).alive && tokenAt(0, 0).fade == 0.0f && tokenAt(0, 0).color < 5 &&
                !tokenAt(0, 2).alive);
    fallTokens();
    EXPECT_EQ(tokenAt(0, 0).fally, 0.0f) << "a token falls into the empty cell below only once grown";
    long frames = 0;
    for (; isThereAnIncomingToken() && frames < 100; frames++)
        animateField();
    EXPECT_TRUE(frames == 10 && tokenAt(0, 0).fade == 1.0f) << frames;
}

// One new top-row token in 15 draws a bonus kind (one in 5 at the easiest); kinds 0 and 5 do nothing.
TEST_F(BoardTest, NewTopRowTokensCarryABonusOnceInFifteenOrOnceInFiveAtTheEasiest) {
    for (int difficulty : {0, 2}) {
        gameDifficulty = difficulty;
        long tokens = 0, kinds[7] = {};
        srand(99);
        for (int round = 0; round < 20000; round++) {
            setBoard({"............"});
            appearTokens();
            for (long x = 0; x < kBoardColumns; x++, tokens++) {
                ASSERT_TRUE(tokenAt(x, 0).bonusType >= 0 && tokenAt(x, 0).bonusType <= 6);
                kinds[tokenAt(x, 0).bonusType]++;
            }
        }
        const double expected = (difficulty == 0 ? 1.0 / 5 : 1.0 / 15) * 6.0 / 7.0;
        EXPECT_NEAR(double(tokens - kinds[0]) / tokens, expected, expected * 0.03) << difficulty;
        for (long kind = 1; kind <= 6; kind++)
            EXPECT_NEAR(double(kinds[kind]) / (tokens - kinds[0]), 1.0 / 6, 0.03) << kind;
    }
}

TEST_F(BoardTest, ScreenPositionsOfCellsAndTheirEdges) {
    // Pixel -> cell, or none: the board's corners, each cell's last pixel and the first pixel past it.
    const struct {
        long px, py, x, y;
    } cases[] = {{71, 90, 0, 0},    {112, 131, 0, 0},   {113, 132, 1, 1},
                 {574, 425, 11, 7}, {70, 200, -1, -1},  {575, 200, -1, -1},
                 {200, 89, -1, -1}, {200, 426, -1, -1}, {-5000, -5000, -1, -1}};
    for (const auto &c : cases) {
        long x = -1, y = -1;
        EXPECT_EQ(cellAtScreenPosition(c.px, c.py, &x, &y), c.x >= 0) << c.px << "," << c.py;
        EXPECT_TRUE(c.x < 0 || (x == c.x && y == c.y)) << c.px << "," << c.py;
    }
}
