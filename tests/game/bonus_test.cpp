// Bonuses fired by vanishing tokens, their chains, and the zap attack that replaces an exhausted board.
#include "rules_fixture.h"

class BonusTest : public RulesTest {
protected:
    static long vanishingCells() {
        return std::count_if(std::begin(tokenTable), std::end(tokenTable),
                             [](const sToken &cell) { return cell.fadeSpeed < 0.0f; });
    }
};

TEST_F(BonusTest, EachBonusClearsItsCellsAndScoresThem) {
    const struct {
        eBonusType kind;
        long x, y, unit;
        uint32_t score;
        long cleared;
        size_t sounds;
        eGameSound sound;
    } cases[] = {
        {kBonusBomb, 0, 0, 1, 100 + 9, 4, 1, eGameSound::bomb}, // in a corner: what of its block is there
        {kBonusBomb, 5, 4, 100, 100 + 900, 9, 1, eGameSound::bomb},
        {kBonusHorizontal, 4, 2, 1, 100 + 12, 12, 1, eGameSound::zap},
        {kBonusVertical, 6, 3, 1, 100 + 8, 8, 1, eGameSound::zap},
        {kBonusCross, 6, 3, 100, 200 + 2000, 12 + 8 - 1, 1, eGameSound::zap}, // the crossing cell once
        {kBonusInert, 6, 3, 1, 0, 1, 0, eGameSound::zap},
    };
    for (const auto &c : cases) {
        SetUp();
        _unitScore = c.unit;
        tokenAt(c.x, c.y).bonusType = c.kind;
        fadeOut(c.x, c.y);
        EXPECT_EQ(score, c.score) << "kind " << c.kind;
        EXPECT_EQ(vanishingCells(), c.cleared) << "kind " << c.kind;
        ASSERT_EQ(gameSounds.size(), c.sounds) << "kind " << c.kind;
        EXPECT_TRUE(c.sounds == 0 || gameSounds[0].sound == c.sound) << "kind " << c.kind;
    }
}

TEST_F(BonusTest, ARandomBonusBecomesOneOfTheFiveKindsWhenItFires) {
    long kinds[5] = {};
    for (unsigned seed = 1; seed <= 300; seed++) {
        SetUp();
        srand(seed);
        tokenAt(5, 4).bonusType = kBonusRandom;
        fadeOut(5, 4);
        const long kind = tokenAt(5, 4).bonusType;
        ASSERT_TRUE(kind >= 0 && kind <= 4);
        kinds[kind]++;
        const uint32_t expected[5] = {0, 109, 112, 108, 220};
        EXPECT_EQ(score, expected[kind]) << "kind " << kind;
        EXPECT_EQ(vanishingCells() == 1, kind == 0);
    }
    for (long count : kinds)
        EXPECT_GT(count, 20);
}

TEST_F(BonusTest, ABonusTravelsWithItsTokenThroughAFall) {
    tokenAt(3, 7).alive = false;
    tokenAt(3, 7).fade = 0.0f;
    tokenAt(3, 6).bonusType = kBonusBomb;
    for (int frame = 0; frame < 6; frame++)
        fallTokens();
    EXPECT_TRUE(tokenAt(3, 7).alive && tokenAt(3, 7).bonusType == kBonusBomb);
}

TEST_F(BonusTest, AnExhaustedBoardIsReplacedWithAGiftOutsideRelaxMode) {
    gameTimer = 42;
    subTimer = 10;
    score = 7;
    boardInput(cellCentreX(3), cellCentreY(3), true);
    EXPECT_EQ(timesPlayed(eGameSound::zapAttack), 1);
    EXPECT_EQ(timesPlayed(eGameSound::click), 0) << "input is skipped in that frame";
    EXPECT_EQ(score, 1007u);
    EXPECT_TRUE(gameTimer == 42 && subTimer == 10);
    EXPECT_EQ(zapAttack, kZapAttackStart);
    EXPECT_FALSE(hasLineOfThree());

    _gameMode = kModeRelax;
    setBoard();
    gameSounds.clear();
    boardInput(cellCentreX(3), cellCentreY(3), true);
    EXPECT_EQ(timesPlayed(eGameSound::zapAttack), 0);
    EXPECT_EQ(timesPlayed(eGameSound::click), 1);
    EXPECT_EQ(score, 1007u);
}

// The banner turns, grows and fades in for 130 frames, then fades out; a restart begins from nothing.
TEST_F(BonusTest, TheZapAttackBannerRunsAboutThreeSecondsAndHidesItself) {
    EXPECT_FALSE(stepZapAttack());
    for (int restart : {0, 1}) {
        startZapAttack();
        zoomAttack = 5.0f; // left over from an earlier attack
        long frames = 0;
        float brightest = 0.0f;
        for (; stepZapAttack() && frames < 1000; frames++) {
            brightest = std::max(brightest, blendAttack);
            if (frames == 50 && restart)
                startZapAttack();
        }
        EXPECT_TRUE(frames >= 190 + 51 * restart && frames <= 200 + 51 * restart) << frames;
        EXPECT_NEAR(brightest, 0.26f, 0.01f);
        EXPECT_LT(zapAttack, 0.0f);
    }
}
