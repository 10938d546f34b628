#include "rules_fixture.h"

using MovesTest = RulesTest;

namespace {
// A background with no line and no move (2x2 tiles of 0..3) into which tests paint colours 4..6.
const char *kNoMoveRows[8] = {"010101010101", "232323232323", "010101010101", "232323232323",
                              "010101010101", "232323232323", "010101010101", "232323232323"};
} // namespace

class ScoringTest : public MovesTest {
protected:
    // Paints cells with colour 5 onto the quiet background and scores one still board.
    unsigned long scoreOf(std::initializer_list<std::pair<long, long>> cells, long unitScore) {
        setBoard({kNoMoveRows[0], kNoMoveRows[1], kNoMoveRows[2], kNoMoveRows[3], kNoMoveRows[4],
                  kNoMoveRows[5], kNoMoveRows[6], kNoMoveRows[7]});
        for (auto [x, y] : cells)
            tokenAt(x, y).color = 5;
        _unitScore = unitScore;
        score = 0;
        checkForMatches();
        return score;
    }
};

TEST_F(ScoringTest, AwardsByTheNumberOfTriples) {
    EXPECT_EQ(scoreOf({}, 1), 0u);
    EXPECT_EQ(scoreOf({{2, 3}, {3, 3}}, 1), 0u);                                    // a pair
    EXPECT_EQ(scoreOf({{2, 3}, {3, 3}, {4, 3}}, 1), 5u);                            // line of 3
    EXPECT_EQ(scoreOf({{2, 3}, {3, 3}, {4, 3}, {5, 3}}, 1), 40u);                   // line of 4
    EXPECT_EQ(scoreOf({{2, 3}, {3, 3}, {4, 3}, {5, 3}, {6, 3}}, 1), 320u);          // line of 5
    EXPECT_EQ(scoreOf({{2, 3}, {3, 3}, {4, 3}, {3, 4}, {3, 5}}, 1), 40u);           // T
    EXPECT_EQ(scoreOf({{2, 3}, {3, 3}, {4, 3}, {2, 4}, {2, 5}}, 1), 40u);           // L
    EXPECT_EQ(scoreOf({{0, 0}, {1, 0}, {2, 0}, {9, 7}, {10, 7}, {11, 7}}, 1), 40u); // two apart
    EXPECT_EQ(scoreOf({{0, 0},
                       {1, 0},
                       {2, 0},
                       {9, 7},
                       {10, 7},
                       {11, 7},
                       {5, 2},
                       {5, 3},
                       {5, 4},
                       {0, 5},
                       {0, 6},
                       {0, 7}},
                      1),
              640u); // four triples
    EXPECT_EQ(scoreOf({{2, 3}, {3, 3}, {4, 3}}, 100), 500u);
    EXPECT_EQ(scoreOf({{2, 3}, {3, 3}, {4, 3}, {5, 3}, {6, 3}}, 100), 32000u);
}

TEST(MatchAward, DoublesFromFiveAndStopsAt640) {
    const long expected[] = {0, 0, 0, 5, 10, 20, 40, 80, 160, 320, 640, 640, 640};
    for (long goingAway = 0; goingAway < 13; goingAway++)
        EXPECT_EQ(matchAward(goingAway), expected[goingAway]) << goingAway;
    EXPECT_EQ(matchAward(300), 640);
}

TEST_F(ScoringTest, MatchingWaitsForAStillBoardAndStartsTheLinesVanishing) {
    setBoard({kNoMoveRows[0], kNoMoveRows[1], kNoMoveRows[2], kNoMoveRows[3], kNoMoveRows[4], kNoMoveRows[5],
              kNoMoveRows[6], kNoMoveRows[7]});
    tokenAt(2, 3).color = tokenAt(3, 3).color = tokenAt(4, 3).color = 5;
    tokenAt(11, 7).fally = 7.0f; // something still falls
    checkForMatches();
    EXPECT_EQ(score, 0u);
    EXPECT_EQ(tokenAt(3, 3).fadeSpeed, 0.0f);

    tokenAt(11, 7).fally = 0.0f;
    checkForMatches();
    EXPECT_EQ(score, 5u);
    for (long x = 2; x <= 4; x++) {
        EXPECT_EQ(tokenAt(x, 3).fadeSpeed, kVanishSpeed);
        EXPECT_EQ(tokenAt(x, 3).fade, 1.0f);
    }
    EXPECT_EQ(timesPlayed(eGameSound::good), 1);

    // While the line vanishes nothing is matched again.
    animateField();
    checkForMatches();
    EXPECT_EQ(score, 5u);
}

TEST_F(MovesTest, RefusedSwapIsDeselectedWithASoundAndAcceptedInRelaxMode) {
    setBoardWithoutMoves();
    clickCell(3, 3);
    clickCell(4, 3);
    EXPECT_EQ(timesPlayed(eGameSound::click), 2);
    EXPECT_EQ(timesPlayed(eGameSound::nohint), 1);
    EXPECT_FALSE(tokenAt(3, 3).selected);
    EXPECT_FALSE(tokenAt(4, 3).selected);
    EXPECT_FALSE(tokenAt(3, 3).beingSwapped);

    _gameMode = kModeRelax;
    clickCell(3, 3);
    clickCell(4, 3);
    EXPECT_EQ(timesPlayed(eGameSound::nohint), 1);
    EXPECT_EQ(timesPlayed(eGameSound::swap), 1);
    EXPECT_TRUE(tokenAt(3, 3).beingSwapped);
    EXPECT_EQ(tokenAt(3, 3).speedX, 7);
    EXPECT_EQ(tokenAt(4, 3).speedX, -7);
    EXPECT_EQ(tokenAt(3, 3).speedY, 0);
}

TEST_F(MovesTest, DiagonalAndDistantPairsNeverSwap) {
    _gameMode = kModeRelax; // no line test, so only the geometry decides
    setBoardWithoutMoves();
    clickCell(3, 3);
    clickCell(4, 4);
    clickCell(0, 0);
    clickCell(2, 0);
    for (const sToken &cell : tokenTable) {
        EXPECT_FALSE(cell.selected);
        EXPECT_FALSE(cell.beingSwapped);
    }
    EXPECT_EQ(timesPlayed(eGameSound::swap), 0);
    EXPECT_EQ(timesPlayed(eGameSound::nohint), 0);

    // Outside relax mode a distant pair whose exchange makes a line somewhere is dropped silently.
    _gameMode = kModeSixtySeconds;
    setBoard({"010010101010", "232323232323", "010101010101", "232323232323", "010101010101", "232323232323",
              "010101010101", "232323232323"});
    clickCell(1, 0);
    clickCell(3, 0);
    EXPECT_FALSE(tokenAt(1, 0).selected);
    EXPECT_FALSE(tokenAt(3, 0).selected);
    EXPECT_FALSE(tokenAt(1, 0).beingSwapped);
    EXPECT_EQ(timesPlayed(eGameSound::nohint), 0);
}

TEST_F(MovesTest, SecondClickOnATokenDeselectsIt) {
    setBoardWithoutMoves();
    clickCell(5, 5);
    EXPECT_TRUE(tokenAt(5, 5).selected);
    clickCell(5, 5);
    EXPECT_FALSE(tokenAt(5, 5).selected);
    EXPECT_EQ(timesPlayed(eGameSound::click), 2);
    clickCell(-1, -1); // off the board: no sound, no change
    EXPECT_EQ(timesPlayed(eGameSound::click), 2);
}

TEST_F(MovesTest, ASwapIsAcceptedWhenAnyLineStandsElsewhere) {
    setBoard({"555101010101", "232323232323", "010101010101", "232323232323", "010101010101", "232323232323",
              "010101010101", "232323232323"});
    tokenAt(6, 6).selected = tokenAt(7, 6).selected = true;
    EXPECT_TRUE(isAPossibleMatch(6, 6, 7, 6));
    EXPECT_TRUE(tokenAt(6, 6).selected) << "an accepted pair keeps its flags for MoveSelection";
}

TEST_F(MovesTest, SwapTakesSixFramesAndExchangesColourAndBonus) {
    // Moving the 5 at (3,4) up to (3,3) completes 5 5 _ -> a line of three in row 3.
    setBoard({"010101010101", "232323232323", "010101010101", "552323232323", "014101010101", "232323232323",
              "010101010101", "232323232323"});
    tokenAt(2, 4).color = 5;
    tokenAt(2, 4).bonusType = kBonusInert;
    tokenAt(2, 3).bonusType = kBonusNone;
    // Cells (2,3) and (2,4): swapping brings 5 into (2,3), making 5 5 5 in row 3.
    tokenAt(2, 3).color = 4;
    clickCell(2, 3);
    clickCell(2, 4);
    ASSERT_TRUE(tokenAt(2, 3).beingSwapped) << boardText();
    EXPECT_EQ(tokenAt(2, 3).speedY, 7);
    EXPECT_EQ(tokenAt(2, 4).speedY, -7);

    for (int frame = 1; frame <= 5; frame++) {
        stepFrame(0, 0, false);
        EXPECT_EQ(tokenAt(2, 3).dy, 7.0f * frame);
        EXPECT_EQ(tokenAt(2, 4).dy, -7.0f * frame);
        EXPECT_EQ(tokenAt(2, 3).color, 4);
        EXPECT_EQ(score, 0u);
    }
    stepFrame(0, 0, false);
    EXPECT_EQ(tokenAt(2, 3).color, 5);
    EXPECT_EQ(tokenAt(2, 4).color, 4);
    EXPECT_EQ(tokenAt(2, 3).bonusType, kBonusInert);
    EXPECT_EQ(tokenAt(2, 4).bonusType, kBonusNone);
    EXPECT_FALSE(tokenAt(2, 3).beingSwapped);
    EXPECT_EQ(tokenAt(2, 3).dy, 0.0f);
    EXPECT_EQ(tokenAt(2, 3).speedY, 0);
    // The same frame's match search sees the new colours.
    EXPECT_EQ(score, 5u);
    EXPECT_EQ(tokenAt(0, 3).fadeSpeed, kVanishSpeed);
}

TEST_F(MovesTest, SwapWaitsWhileTokensFallOrAppear) {
    _gameMode = kModeRelax;
    setBoardWithoutMoves();
    clickCell(3, 3);
    clickCell(4, 3);
    tokenAt(9, 5).fally = 7.0f;
    EXPECT_FALSE(doSwapTokens());
    EXPECT_EQ(tokenAt(3, 3).dx, 0.0f);
    tokenAt(9, 5).fally = 0.0f;
    tokenAt(9, 0).fadeSpeed = kAppearSpeed;
    EXPECT_FALSE(doSwapTokens());
    EXPECT_EQ(tokenAt(3, 3).dx, 0.0f);
}

TEST_F(MovesTest, VanishFallAndRefillFrameByFrame) {
    // A vertical line of three 5s in column 4, rows 5..7, under a 6 and the quiet background.
    setBoard({"010101010101", "232323232323", "010101010101", "232323232323", "010161010101", "232353232323",
              "010151010101", "232353232323"});
    tokenAt(4, 3).sinusSpeed = kHintWobbleSpeed; // a wobbling token lands without its wobble
    tokenAt(4, 3).sinus = 3.0f;
    checkForMatches();
    ASSERT_EQ(score, 5u) << boardText();

    // Float steps of -0.025 leave a trace of the token after 40 frames; it is gone on the 41st.
    for (int frame = 1; frame <= 40; frame++) {
        animateField();
        fallTokens();
        ASSERT_TRUE(tokenAt(4, 5).alive) << frame;
        EXPECT_EQ(tokenAt(4, 4).fally, 0.0f);
    }
    EXPECT_LT(tokenAt(4, 5).fade, 0.001f);
    animateField();
    EXPECT_FALSE(tokenAt(4, 5).alive);
    EXPECT_FALSE(tokenAt(4, 7).alive);
    EXPECT_EQ(tokenAt(4, 7).color, 5); // an empty cell keeps its colour

    // Falls: 7 pixels a frame, one row in 6 frames; a token waits while the cell under it is full.
    for (int frame = 1; frame <= 5; frame++) {
        fallTokens();
        EXPECT_EQ(tokenAt(4, 4).fally, 7.0f * frame);
        EXPECT_EQ(tokenAt(4, 3).fally, 0.0f);
    }
    fallTokens();
    EXPECT_TRUE(tokenAt(4, 5).alive);
    EXPECT_EQ(tokenAt(4, 5).color, 6);
    EXPECT_EQ(tokenAt(4, 5).fally, 0.0f);
    EXPECT_FALSE(tokenAt(4, 4).alive);
    EXPECT_EQ(tokenAt(4, 4).fade, 1.0f); // the cell just left keeps fade 1 and moves down empty
    // The scan runs bottom-up, so the token above the emptied cell starts in the same pass.
    EXPECT_EQ(tokenAt(4, 3).fally, 7.0f);

    for (int frame = 0; frame < 100; frame++) {
        animateField();
        fallTokens();
    }
    EXPECT_FALSE(isThereAFallingToken());
    const int16_t column[8] = {-1, -1, -1, 0, 2, 0, 2, 6};
    for (long y = 3; y < kBoardRows; y++) {
        EXPECT_TRUE(tokenAt(4, y).alive) << y;
        EXPECT_EQ(tokenAt(4, y).color, column[y]) << y;
    }
    EXPECT_EQ(tokenAt(4, 6).sinusSpeed, 0.0f);
    EXPECT_EQ(tokenAt(4, 6).sinus, 0.0f);
    for (long y = 0; y < 3; y++)
        EXPECT_FALSE(tokenAt(4, y).alive);

    // The refill grows in over 10 frames and then falls on.
    appearTokens();
    EXPECT_TRUE(isThereAnIncomingToken());
    EXPECT_FALSE(tokenAt(4, 1).alive);
    for (int frame = 1; frame <= 9; frame++) {
        animateField();
        EXPECT_TRUE(isThereAnIncomingToken()) << frame;
    }
    animateField();
    EXPECT_FALSE(isThereAnIncomingToken());
    EXPECT_EQ(tokenAt(4, 0).fade, 1.0f);
    EXPECT_GT(runUntilStill(), 0);
    for (const sToken &cell : tokenTable)
        EXPECT_TRUE(cell.alive);
    EXPECT_FALSE(hasLineOfThree()) << boardText();
}

TEST_F(MovesTest, WobbleRunsForAboutTwoHundredFiftyFrames) {
    setBoardWithoutMoves();
    tokenAt(0, 0).sinusSpeed = kHintWobbleSpeed;
    long frames = 0;
    while (tokenAt(0, 0).sinusSpeed > 0.0f && frames < 1000) {
        animateField();
        frames++;
    }
    EXPECT_EQ(frames, 252);
    EXPECT_EQ(tokenAt(0, 0).sinus, 0.0f);
}

TEST_F(MovesTest, OutOfBoardFadeOutIsIgnored) {
    setBoardWithoutMoves();
    for (long x : {-100000L, -1L, 12L, 13L, 1L << 40})
        for (long y : {-100000L, -1L, 0L, 8L, 1L << 40})
            fadeOut(x, y);
    fadeOut(0, -1);
    fadeOut(-1, 0);
    for (const sToken &cell : tokenTable)
        EXPECT_EQ(cell.fadeSpeed, 0.0f);
}
