// Bonuses fired by vanishing tokens, their chains, and the zap attack that replaces an exhausted board.
#include "rules_fixture.h"

#include <array>

using BonusTest = RulesTest;

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
        const long cleared = std::count_if(std::begin(tokenTable), std::end(tokenTable),
                                           [](const sToken &cell) { return cell.fadeSpeed < 0.0f; });
        EXPECT_TRUE(score == c.score && cleared == c.cleared && gameSounds.size() == c.sounds &&
                    (c.sounds == 0 || gameSounds[0].sound == c.sound))
            << "kind " << c.kind << ": " << score << " points, " << cleared << " cells";
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
        EXPECT_EQ(score, (std::array<uint32_t, 5>{0, 109, 112, 108, 220}[kind])) << "kind " << kind;
    }
    for (long count : kinds)
        EXPECT_GT(count, 20);
}

TEST_F(BonusTest, AnExhaustedBoardIsReplacedWithAGiftOutsideRelaxMode) {
    gameTimer = 42;
    subTimer = 10;
    score = 7;
    boardInput(cellCentreX(3), cellCentreY(3), true);
    // Input is skipped in that frame; the clock is left alone.
    EXPECT_TRUE(timesPlayed(eGameSound::zapAttack) == 1 && timesPlayed(eGameSound::click) == 0);
    EXPECT_TRUE(score == 1007u && gameTimer == 42 && subTimer == 10 && zapAttack == kZapAttackStart);
    EXPECT_FALSE(hasLineOfThree()) << boardText();
    _gameMode = kModeRelax;
    setBoard();
    gameSounds.clear();
    boardInput(cellCentreX(3), cellCentreY(3), true);
    EXPECT_TRUE(timesPlayed(eGameSound::zapAttack) == 0 && timesPlayed(eGameSound::click) == 1 &&
                score == 1007u);
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
        EXPECT_TRUE(frames >= 190 + 51 * restart && frames <= 200 + 51 * restart && zapAttack < 0.0f)
            << frames;
        EXPECT_NEAR(brightest, 0.26f, 0.01f);
    }
}
