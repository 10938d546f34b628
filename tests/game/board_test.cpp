#include "rules_fixture.h"

using BoardTest = RulesTest;

TEST_F(BoardTest, FreshBoardsHoldNoLineAndEveryColourOfTheDifficulty) {
    for (int difficulty = 0; difficulty <= 3; difficulty++) {
        gameDifficulty = difficulty;
        const int colours = difficulty == 0 ? 6 : difficulty + 4;
        bool seen[7] = {};
        for (unsigned seed = 1; seed <= 200; seed++) {
            srand(seed);
            resetTokenTable(true);
            ASSERT_FALSE(hasLineOfThree()) << "difficulty " << difficulty << " seed " << seed << "\n"
                                           << boardText();
            for (const sToken &cell : tokenTable) {
                ASSERT_TRUE(cell.alive);
                ASSERT_EQ(cell.fade, 1.0f);
                ASSERT_GE(cell.color, 0);
                ASSERT_LT(cell.color, colours);
                seen[cell.color] = true;
            }
        }
        EXPECT_TRUE(seen[colours - 1]) << "difficulty " << difficulty;
    }
}

TEST_F(BoardTest, BonusSeedingOnlyAtDifficultyZero) {
    for (int difficulty = 0; difficulty <= 3; difficulty++) {
        gameDifficulty = difficulty;
        long seededBoards = 0;
        for (unsigned seed = 1; seed <= 100; seed++) {
            srand(seed);
            resetTokenTable(true);
            long bonuses = 0;
            for (const sToken &cell : tokenTable) {
                ASSERT_GE(cell.bonusType, 0);
                ASSERT_LE(cell.bonusType, 4);
                bonuses += cell.bonusType != kBonusNone;
            }
            if (difficulty != 0) {
                ASSERT_EQ(bonuses, 0);
            }
            ASSERT_LE(bonuses, 8);
            seededBoards += bonuses > 0;
        }
        if (difficulty == 0) {
            EXPECT_GT(seededBoards, 90);
        }
    }
}

TEST_F(BoardTest, ResetKeepsOrClearsTheGameState) {
    _gameMode = kModeFiveMinutes;
    score = 777;
    gameTimer = 12;
    _onlineProcessed = true;
    endPlay = true;
    ghighscoreProcessed = true;
    gameOverFade = 0.5f;
    resetTokenTable(false);
    EXPECT_EQ(score, 777u);
    EXPECT_EQ(gameTimer, 12);
    EXPECT_TRUE(_onlineProcessed);
    EXPECT_FALSE(endPlay);
    EXPECT_FALSE(ghighscoreProcessed);
    EXPECT_EQ(gameOverFade, 0.0f);

    gameOver = true;
    resetTokenTable(true);
    EXPECT_EQ(score, 0u);
    EXPECT_EQ(gameTimer, 300);
    EXPECT_FALSE(gameOver);
    EXPECT_FALSE(_onlineProcessed);
}

TEST_F(BoardTest, FreshBoardShowsAHintSilently) {
    for (unsigned seed = 1; seed <= 50; seed++) {
        srand(seed);
        gameSounds.clear();
        resetTokenTable(true);
        long wobbling = 0;
        for (long x = 0; x < kBoardColumns; x++)
            for (long y = 0; y < kBoardRows; y++)
                if (tokenAt(x, y).sinusSpeed > 0.0f) {
                    wobbling++;
                    EXPECT_TRUE(isHint(x, y));
                }
        EXPECT_EQ(wobbling, isThereAPossibilityLeft() ? 1 : 0);
        EXPECT_TRUE(gameSounds.empty());
    }
}

TEST_F(BoardTest, AppearTokensFillsOnlyTheTopRow) {
    setBoard({"............", "............", "012345012345", "............", "............", "............",
              "............", "............"});
    appearTokens();
    for (long x = 0; x < kBoardColumns; x++) {
        const sToken &top = tokenAt(x, 0);
        EXPECT_TRUE(top.alive);
        EXPECT_EQ(top.fade, 0.0f);
        EXPECT_EQ(top.fadeSpeed, kAppearSpeed);
        EXPECT_LT(top.color, 5); // difficulty 1: five colours
        EXPECT_FALSE(tokenAt(x, 1).alive);
        EXPECT_FALSE(tokenAt(x, 3).alive);
    }
}

TEST_F(BoardTest, AppearTokensWaitsForMovingTokensUnlessOneIsAppearing) {
    setBoard({".00000000000", "111111111111", "222222222222", "333333333333", "444444444444", "010101010101",
              "101010101010", "2.2222222222"});
    tokenAt(3, 4).fally = 14.0f; // a token falls somewhere
    appearTokens();
    EXPECT_FALSE(tokenAt(0, 0).alive);

    tokenAt(5, 0).fadeSpeed = kAppearSpeed; // something appears: the moving test gives way
    tokenAt(5, 0).fade = 0.3f;
    EXPECT_FALSE(isThereAMovingToken());
    appearTokens();
    EXPECT_TRUE(tokenAt(0, 0).alive);
}

TEST_F(BoardTest, NewTopRowTokensCarryABonusOnceInFifteenOrOnceInFiveAtTheEasiest) {
    for (int difficulty : {0, 2}) {
        gameDifficulty = difficulty;
        long tokens = 0;
        long withBonus = 0;
        long kinds[7] = {};
        srand(99);
        for (int round = 0; round < 4000; round++) {
            for (long x = 0; x < kBoardColumns; x++)
                tokenAt(x, 0) = sToken{};
            appearTokens();
            for (long x = 0; x < kBoardColumns; x++) {
                tokens++;
                const long kind = tokenAt(x, 0).bonusType;
                ASSERT_GE(kind, 0);
                ASSERT_LE(kind, 6);
                kinds[kind]++;
                withBonus += kind != 0 && kind != 5;
            }
        }
        // A bonus draw hits one time in 15 (5 at difficulty 0), and five of its seven kinds do something.
        const double expected = (difficulty == 0 ? 1.0 / 5 : 1.0 / 15) * 5.0 / 7.0;
        EXPECT_NEAR(double(withBonus) / tokens, expected, expected * 0.1) << "difficulty " << difficulty;
        EXPECT_GT(kinds[6], 0);
        EXPECT_GT(kinds[5], 0);
    }
}

TEST_F(BoardTest, QueriesSeeOnlyLiveTokensAndTheirMotion) {
    setBoard({"010101010101", "101010101010", "010101010101", "101010101010", "010101010101", "101010101010",
              "010101010101", "101010101010"});
    EXPECT_TRUE(boardIsStill());
    EXPECT_FALSE(isThereAFallingToken());

    // A dead cell counts for nothing, whatever its fields say.
    sToken &dead = tokenAt(4, 4);
    dead.alive = false;
    dead.fade = 0.5f;
    dead.fally = 21.0f;
    dead.speedX = 7;
    EXPECT_TRUE(boardIsStill());
    EXPECT_FALSE(isThereAFallingToken());

    // A fully faded token is empty.
    dead = sToken{};
    EXPECT_FALSE(isThereAFadingToken());

    // Horizontal swap offset alone is not movement; a vertical offset is.
    tokenAt(2, 2).dx = 14.0f;
    EXPECT_FALSE(isThereAMovingToken());
    tokenAt(2, 2).dx = 0.0f;
    tokenAt(2, 2).dy = 14.0f;
    EXPECT_TRUE(isThereAMovingToken());
    tokenAt(2, 2).dy = 0.0f;

    tokenAt(6, 6).fally = 7.0f;
    EXPECT_TRUE(isThereAMovingToken());
    EXPECT_TRUE(isThereAFallingToken());
    // An appearing token in the top row hides every other movement, even from a dead cell.
    tokenAt(1, 0).alive = false;
    tokenAt(1, 0).fadeSpeed = kAppearSpeed;
    EXPECT_TRUE(isThereAnIncomingToken());
    EXPECT_FALSE(isThereAMovingToken());
    EXPECT_TRUE(isThereAFallingToken());

    // Fading is strictly between 0 and 1.
    tokenAt(1, 0) = tokenAt(0, 0);
    tokenAt(8, 7).fade = 0.999f;
    EXPECT_TRUE(isThereAFadingToken());
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
        if (c.x >= 0) {
            EXPECT_EQ(x, c.x);
            EXPECT_EQ(y, c.y);
        }
    }
}
