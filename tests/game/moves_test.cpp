// Moves and what follows them: selection, swaps, lines and their awards, vanishing, falling and refilling.
#include "rules_fixture.h"

#include <tuple>
#include <utility>
#include <vector>

using MovesTest = RulesTest;

// Rows over the quiet background (' '); the 5s found in one still board score by the number of triples.
TEST_F(MovesTest, LinesScoreByTheNumberOfTriplesInTheGamesUnits) {
    const struct {
        std::vector<std::string> rows;
        long unit;
        uint32_t award;
    } cases[] = {
        {{}, 1, 0},
        {{"", "", "", "  55"}, 1, 0},
        {{"", "", "", "  555"}, 1, 5},
        {{"", "", "  5", "  5", "  5"}, 1, 5},
        {{"", "", "", "  5555"}, 1, 40},
        {{"", "", "", "  55555"}, 1, 320},
        {{"", "", "", "  555", "   5", "   5"}, 1, 40},                                // T
        {{"", "", "", "  555", "  5", "  5"}, 1, 40},                                  // L
        {{"555", "", "", "", "", "", "", "         555"}, 1, 40},                      // two apart
        {{"555", "", "     5", "     5", "     5", "5", "5", "5"}, 1, 320},            // three triples
        {{"555", "", "     5", "     5", "     5", "5", "5", "5        555"}, 1, 640}, // four
        {{"", "", "", "  555"}, 100, 500},
        {{"", "", "", "  55555"}, 100, 32000},
    };
    for (const auto &c : cases) {
        setBoard(c.rows);
        _unitScore = c.unit;
        score = 0;
        checkForMatches();
        EXPECT_EQ(score, c.award) << boardText();
    }
}

TEST_F(MovesTest, MatchingWaitsForAStillBoardAndStartsTheLinesVanishingOnce) {
    setBoard({"", "", "", "  555"});
    tokenAt(11, 7).fally = 7.0f; // something still falls
    checkForMatches();
    tokenAt(11, 7).fally = 0.0f;
    EXPECT_EQ(tokenAt(3, 3).fadeSpeed, 0.0f);
    checkForMatches();
    EXPECT_TRUE(score == 5u && timesPlayed(eGameSound::good) == 1);
    EXPECT_TRUE(tokenAt(2, 3).fadeSpeed == kVanishSpeed && tokenAt(4, 3).fade == 1.0f);
    animateField(); // while the line vanishes nothing is matched again
    checkForMatches();
    EXPECT_EQ(score, 5u);
}

// Two clicks in a row: only neighbours swap, outside relax mode only to make a line; the rest is dropped.
TEST_F(MovesTest, ClickedPairsSwapOnlyAsNeighboursAndOutsideRelaxOnlyForALine) {
    const struct {
        long mode;
        std::string row0;
        long x1, y1, x2, y2;
        bool swaps;
        long clicks, refusals, stillSelected;
    } cases[] = {
        {kModeSixtySeconds, "", 3, 3, 4, 3, false, 2, 1, 0},             // no line: refused
        {kModeRelax, "", 3, 3, 4, 3, true, 2, 0, 0},                     // relax: any neighbours
        {kModeRelax, "", 3, 3, 3, 4, true, 2, 0, 0},                     // and up or down
        {kModeRelax, "", 3, 3, 4, 4, false, 2, 0, 0},                    // diagonal
        {kModeRelax, "", 0, 0, 2, 0, false, 2, 0, 0},                    // distant
        {kModeSixtySeconds, "010010101010", 1, 0, 3, 0, false, 2, 0, 0}, // distant, line or not
        {kModeSixtySeconds, "555", 6, 6, 7, 6, true, 2, 0, 0},           // any line on the board will do
        {kModeSixtySeconds, "", 5, 5, 5, 5, false, 2, 0, 0},             // a second click deselects
        {kModeSixtySeconds, "", 5, 5, -1, -1, false, 1, 0, 1},           // off the board: no sound
    };
    for (const auto &c : cases) {
        SetUp();
        _gameMode = c.mode;
        setBoard({c.row0});
        clickCell(c.x1, c.y1);
        clickCell(c.x2, c.y2);
        SCOPED_TRACE(testing::Message()
                     << c.x1 << "," << c.y1 << " and " << c.x2 << "," << c.y2 << " mode " << c.mode);
        const long selected =
            std::count_if(std::begin(tokenTable), std::end(tokenTable), [](auto &t) { return t.selected; });
        EXPECT_EQ(std::tuple(timesPlayed(eGameSound::click), timesPlayed(eGameSound::nohint), selected),
                  std::tuple(c.clicks, c.refusals, c.stillSelected));
        EXPECT_EQ(tokenAt(c.x1, c.y1).beingSwapped, c.swaps);
        EXPECT_EQ(timesPlayed(eGameSound::swap), c.swaps ? 1 : 0);
        if (c.swaps) { // each token heads for the other's cell
            const sToken &a = tokenAt(c.x1, c.y1), &b = tokenAt(c.x2, c.y2);
            EXPECT_TRUE(a.speedX == 7 * (c.x2 - c.x1) && a.speedY == 7 * (c.y2 - c.y1) && b.beingSwapped &&
                        b.speedX == -a.speedX && b.speedY == -a.speedY);
        }
    }
}

// The board takes a press only when nothing moves, one action per press, and never after game over.
TEST_F(MovesTest, OnePressIsOneActionAndOnlyOnAStillBoard) {
    _gameMode = kModeRelax;
    for (auto [x, y] : {std::pair{0L, 0L}, {11L, 7L}}) { // through the whole frame step
        stepFrame(cellCentreX(x), cellCentreY(y), true);
        EXPECT_EQ(timesPlayed(eGameSound::click), 1);
        stepFrame(cellCentreX(x), cellCentreY(y), true);
        stepFrame(0, 0, false);
        EXPECT_TRUE(tokenAt(x, y).selected && gameSounds.empty()) << x << "," << y;
        boardInput(cellCentreX(x), cellCentreY(y), true);
        boardInput(0, 0, false);
    }
    gameSounds.clear();
    tokenAt(9, 7).fade = 0.5f; // nothing is taken while a token fades...
    boardInput(cellCentreX(2), cellCentreY(2), true);
    boardInput(0, 0, false);
    tokenAt(9, 7).fade = 1.0f;
    gameOver = true; // ...or after game over
    boardInput(cellCentreX(2), cellCentreY(2), true);
    boardInput(0, 0, false);
    EXPECT_TRUE(!tokenAt(2, 2).selected && gameSounds.empty());
    // A pair left selected is tried by the next press, wherever it lands.
    gameOver = false;
    tokenAt(4, 4).selected = tokenAt(5, 4).selected = true;
    boardInput(10, 10, true);
    EXPECT_TRUE(tokenAt(4, 4).beingSwapped && timesPlayed(eGameSound::click) == 0);
}

TEST_F(MovesTest, ASwapTakesSixFramesAndExchangesColourAndBonus) {
    // Bringing the 5 at (2,4) up to (2,3) completes the line 5 5 5 in row 3.
    setBoard({"", "", "", "554", "  5"});
    tokenAt(2, 4).bonusType = kBonusInert;
    clickCell(2, 3);
    clickCell(2, 4);
    ASSERT_TRUE(tokenAt(2, 3).beingSwapped) << boardText();
    tokenAt(9, 5).fally = 7.0f; // the swap waits while a token falls or appears
    EXPECT_FALSE(doSwapTokens());
    tokenAt(9, 5).fally = 0.0f;
    tokenAt(9, 0).fadeSpeed = kAppearSpeed;
    EXPECT_FALSE(doSwapTokens());
    tokenAt(9, 0).fadeSpeed = 0.0f;
    for (int frame = 1; frame <= 5; frame++) {
        stepFrame(0, 0, false);
        EXPECT_TRUE(tokenAt(2, 3).dy == 7.0f * frame && tokenAt(2, 4).dy == -7.0f * frame &&
                    tokenAt(2, 3).color == 4)
            << frame;
    }
    stepFrame(0, 0, false);
    const sToken &upper = tokenAt(2, 3), &lower = tokenAt(2, 4);
    EXPECT_TRUE(upper.color == 5 && lower.color == 4 && upper.bonusType == kBonusInert && !lower.bonusType);
    EXPECT_TRUE(!upper.beingSwapped && upper.dy == 0.0f && upper.speedY == 0);
    EXPECT_EQ(score, 5u) << "the same frame's match search sees the new colours";
}

TEST_F(MovesTest, ALineVanishesInFortyOneFramesAndWhatIsAboveFallsARowInSix) {
    // A column of three 5s in column 4, rows 5..7, under a 6 and a wobbling token that lands unwobbled.
    setBoard({"", "", "", "", "    6", "    5", "    5", "    5"});
    tokenAt(4, 3).sinusSpeed = kHintWobbleSpeed;
    checkForMatches();
    ASSERT_EQ(score, 5u) << boardText();
    long frames = 0;
    for (; tokenAt(4, 5).alive && frames < 100; frames++) {
        fallTokens();
        animateField();
        ASSERT_EQ(tokenAt(4, 4).fally, 0.0f) << "nothing falls into a vanishing cell";
    }
    EXPECT_EQ(frames, 41);
    EXPECT_FALSE(tokenAt(4, 6).alive || tokenAt(4, 7).alive);
    for (frames = 0; !tokenAt(4, 5).alive && frames < 100; frames++)
        fallTokens();
    EXPECT_EQ(frames, 6);
    EXPECT_TRUE(tokenAt(4, 5).color == 6 && !tokenAt(4, 4).alive);
    EXPECT_EQ(tokenAt(4, 3).fally, 7.0f) << "bottom up: the token above starts in the same pass";
    for (frames = 0; frames < 100; frames++)
        fallTokens();
    const int16_t column[8] = {-1, -1, -1, 0, 2, 0, 2, 6};
    for (long y = 0; y < kBoardRows; y++)
        EXPECT_EQ(tokenAt(4, y).alive ? tokenAt(4, y).color : -1, column[y]) << y;
    EXPECT_EQ(tokenAt(4, 6).sinusSpeed, 0.0f);
    // The refill falls on until the board is full and still, without a line.
    EXPECT_GT(runUntilStill(), 0);
    EXPECT_TRUE(std::all_of(std::begin(tokenTable), std::end(tokenTable), [](auto &t) { return t.alive; }));
    EXPECT_FALSE(hasLineOfThree()) << boardText();
}

TEST_F(MovesTest, CellsOffTheBoardNeverVanish) {
    for (long x : {-100000L, -1L, 0L, 12L, 13L, 1L << 40})
        for (long y : {-100000L, -1L, 0L, 8L, 1L << 40})
            if (x != 0 || y != 0)
                fadeOut(x, y);
    for (const sToken &cell : tokenTable)
        EXPECT_EQ(cell.fadeSpeed, 0.0f);
}
