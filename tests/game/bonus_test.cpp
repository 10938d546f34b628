#include "rules_fixture.h"

class BonusTest : public RulesTest {
protected:
    // Every cell a different colour from its neighbours: colours 0..3 in 2x2 tiles.
    void SetUp() override {
        RulesTest::SetUp();
        setBoardWithoutMoves();
    }

    static long vanishingCells() {
        long count = 0;
        for (const sToken &cell : tokenTable)
            count += cell.fadeSpeed < 0.0f;
        return count;
    }
    static bool isVanishing(long x, long y) { return tokenAt(x, y).fadeSpeed < 0.0f; }
};

TEST_F(BonusTest, BombInACornerClearsFourCellsAndCountsNineUnits) {
    for (long unit : {1L, 100L}) {
        setBoardWithoutMoves();
        gameSounds.clear();
        _unitScore = unit;
        score = 0;
        tokenAt(0, 0).bonusType = kBonusBomb;
        fadeOut(0, 0);
        EXPECT_EQ(score, 100u + 9u * unit);
        EXPECT_EQ(vanishingCells(), 4);
        EXPECT_TRUE(isVanishing(1, 1));
        EXPECT_EQ(timesPlayed(eGameSound::bomb), 1);
    }
}

TEST_F(BonusTest, HorizontalBonusInALineClearsItsRow) {
    tokenAt(3, 2).color = tokenAt(4, 2).color = tokenAt(5, 2).color = 5;
    tokenAt(4, 2).bonusType = kBonusHorizontal;
    checkForMatches();
    EXPECT_EQ(score, 5u + 100u + 12u);
    EXPECT_EQ(vanishingCells(), 12);
    for (long x = 0; x < kBoardColumns; x++)
        EXPECT_TRUE(isVanishing(x, 2));
    EXPECT_EQ(timesPlayed(eGameSound::zap), 1);
    EXPECT_EQ(timesPlayed(eGameSound::good), 1);
}

TEST_F(BonusTest, VerticalAndCrossBonuses) {
    tokenAt(6, 3).bonusType = kBonusVertical;
    fadeOut(6, 3);
    EXPECT_EQ(score, 100u + 8u);
    EXPECT_EQ(vanishingCells(), 8);

    setBoardWithoutMoves();
    score = 0;
    gameSounds.clear();
    _unitScore = 100;
    tokenAt(6, 3).bonusType = kBonusCross;
    fadeOut(6, 3);
    EXPECT_EQ(score, 200u + 20u * 100u);
    EXPECT_EQ(vanishingCells(), 12 + 8 - 1); // the crossing cell once
    EXPECT_EQ(timesPlayed(eGameSound::zap), 1);
}

TEST_F(BonusTest, ChainsFireEveryBonusExactlyOnceDepthFirst) {
    // A row bonus whose row holds a bomb, which holds a column bonus, which holds another bomb.
    tokenAt(2, 4).bonusType = kBonusHorizontal;
    tokenAt(7, 4).bonusType = kBonusBomb;
    tokenAt(8, 5).bonusType = kBonusVertical;
    tokenAt(8, 0).bonusType = kBonusBomb;
    tokenAt(9, 0).bonusType = kBonusBomb; // side by side with the other bomb
    tokenAt(2, 7).bonusType = kBonusInert;
    fadeOut(2, 4);
    EXPECT_EQ(timesPlayed(eGameSound::zap), 2);
    EXPECT_EQ(timesPlayed(eGameSound::bomb), 3);
    EXPECT_EQ(score, (100u + 12u) + 3u * (100u + 9u) + (100u + 8u));
    // Firing again changes nothing: every cell hit is already vanishing.
    const uint32_t before = score;
    fadeOut(2, 4);
    fadeOut(7, 4);
    fadeOut(8, 0);
    EXPECT_EQ(score, before);
    EXPECT_EQ(timesPlayed(eGameSound::bomb), 3);
}

TEST_F(BonusTest, RandomBonusBecomesAKindWhenItFires) {
    long kinds[5] = {};
    for (unsigned seed = 1; seed <= 300; seed++) {
        setBoardWithoutMoves();
        srand(seed);
        score = 0;
        tokenAt(5, 4).bonusType = kBonusRandom;
        fadeOut(5, 4);
        const long kind = tokenAt(5, 4).bonusType;
        ASSERT_GE(kind, 0);
        ASSERT_LE(kind, 4);
        kinds[kind]++;
        EXPECT_TRUE(isVanishing(5, 4));
        const uint32_t expected[5] = {0, 109, 112, 108, 220};
        EXPECT_EQ(score, expected[kind]) << "kind " << kind;
        if (kind == 0) {
            EXPECT_EQ(vanishingCells(), 1);
        }
    }
    for (long count : kinds)
        EXPECT_GT(count, 20);
}

TEST_F(BonusTest, BonusTravelsWithItsTokenThroughAFall) {
    tokenAt(3, 7).alive = false;
    tokenAt(3, 7).fade = 0.0f;
    tokenAt(3, 6).bonusType = kBonusBomb;
    for (int frame = 0; frame < 6; frame++)
        fallTokens();
    EXPECT_EQ(tokenAt(3, 7).bonusType, kBonusBomb);
    EXPECT_TRUE(tokenAt(3, 7).alive);
}

TEST_F(BonusTest, ExhaustedBoardIsReplacedWithAGiftOutsideRelaxMode) {
    gameDifficulty = 1;
    gameTimer = 42;
    subTimer = 10;
    score = 7;
    boardInput(cellCentreX(3), cellCentreY(3), true);
    EXPECT_EQ(timesPlayed(eGameSound::zapAttack), 1);
    EXPECT_EQ(score, 1007u);
    EXPECT_EQ(gameTimer, 42);
    EXPECT_EQ(subTimer, 10);
    EXPECT_EQ(zapAttack, kZapAttackStart);
    EXPECT_FALSE(hasLineOfThree());
    EXPECT_EQ(timesPlayed(eGameSound::click), 0) << "input is skipped in that frame";

    _gameMode = kModeRelax;
    setBoardWithoutMoves();
    gameSounds.clear();
    boardInput(cellCentreX(3), cellCentreY(3), true);
    EXPECT_EQ(timesPlayed(eGameSound::zapAttack), 0);
    EXPECT_EQ(timesPlayed(eGameSound::click), 1);
    EXPECT_EQ(score, 1007u);
}

TEST_F(BonusTest, ZapAttackBannerRunsAndHidesItself) {
    EXPECT_FALSE(stepZapAttack());
    startZapAttack();
    zoomAttack = 5.0f; // left over from an earlier attack
    long frames = 0;
    float brightest = 0.0f;
    while (stepZapAttack()) {
        frames++;
        brightest = std::max(brightest, blendAttack);
        if (frames == 1) {
            EXPECT_EQ(zapAttack, 276.0f);
            EXPECT_FLOAT_EQ(zoomAttack, 0.01f);
        }
        ASSERT_LT(frames, 1000);
    }
    EXPECT_GE(frames, 190);
    EXPECT_LE(frames, 200);
    EXPECT_NEAR(brightest, 0.26f, 0.01f);
    EXPECT_LT(zapAttack, 0.0f);

    // A restart during an attack begins again from nothing.
    startZapAttack();
    for (int i = 0; i < 50; i++)
        stepZapAttack();
    startZapAttack();
    stepZapAttack();
    EXPECT_FLOAT_EQ(zoomAttack, 0.01f);
    EXPECT_FLOAT_EQ(blendAttack, 0.002f);
    clearZapAttack();
    EXPECT_EQ(zapAttack, -51.0f);
}
