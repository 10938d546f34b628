// Moves and what follows them: selection, swaps, lines and their awards, vanishing, falling and refilling.
#include "rules_fixture.h"

#include <tuple>

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
    for (float fally : {7.0f, 0.0f, 0.0f}) { // something still falls; then the line vanishes, matched once
        tokenAt(11, 7).fally = fally;
        checkForMatches();
        EXPECT_EQ(score, fally ? 0u : 5u);
        animateField();
    }
    EXPECT_TRUE(score == 5u && timesPlayed(eGameSound::good) == 1 && tokenAt(2, 3).fadeSpeed == kVanishSpeed);
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
        EXPECT_EQ(std::tuple(timesPlayed(eGameSound::click), timesPlayed(eGameSound::nohint), selected,
                             timesPlayed(eGameSound::swap), tokenAt(c.x1, c.y1).beingSwapped),
                  std::tuple(c.clicks, c.refusals, c.stillSelected, c.swaps ? 1L : 0L, c.swaps));
        if (c.swaps) { // each token heads for the other's cell
            const sToken &a = tokenAt(c.x1, c.y1), &b = tokenAt(c.x2, c.y2);
            EXPECT_TRUE(a.speedX == 7 * (c.x2 - c.x1) && a.speedY == 7 * (c.y2 - c.y1) && b.beingSwapped &&
                        b.speedX == -a.speedX && b.speedY == -a.speedY);
        }
    }
}

// The board takes a press only when nothing moves, one action per press, and never after game over; a
// pair left selected is tried by the next press, wherever it lands.
TEST_F(MovesTest, OnePressIsOneActionAndOnlyOnAStillBoard) {
    _gameMode = kModeRelax;
    long clicks = 0;
    for (bool button : {true, true, false}) { // held for two frames of the whole frame step
        stepFrame(cellCentreX(11), cellCentreY(7), button);
        clicks += timesPlayed(eGameSound::click);
    }
    EXPECT_TRUE(tokenAt(11, 7).selected && clicks == 1);
    tokenAt(11, 7).selected = false;
    gameSounds.clear();
    for (bool over : {false, true}) {
        tokenAt(9, 7).fade = over ? 1.0f : 0.5f; // a token fades, or the game is over
        gameOver = over;
        boardInput(cellCentreX(2), cellCentreY(2), true);
        boardInput(0, 0, false);
    }
    EXPECT_TRUE(!tokenAt(2, 2).selected && gameSounds.empty());
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
    for (float *waits : {&tokenAt(9, 5).fally, &tokenAt(9, 0).fadeSpeed}) { // a token falls or appears
        *waits = 7.0f;
        EXPECT_FALSE(doSwapTokens());
        *waits = 0.0f;
    }
    for (int frame = 1; frame <= 5; frame++) {
        stepFrame(0, 0, false);
        EXPECT_TRUE(tokenAt(2, 3).dy == 7.0f * frame && tokenAt(2, 4).dy == -7.0f * frame &&
                    tokenAt(2, 3).color == 4)
            << frame;
    }
    stepFrame(0, 0, false); // the same frame's match search sees the new colours
    const sToken &upper = tokenAt(2, 3), &lower = tokenAt(2, 4);
    EXPECT_TRUE(upper.color == 5 && lower.color == 4 && upper.bonusType == kBonusInert && !lower.bonusType &&
                !upper.beingSwapped && upper.dy == 0.0f && upper.speedY == 0 && score == 5u);
}

TEST_F(MovesTest, ALineVanishesInFortyOneFramesAndWhatIsAboveFallsARowInSix) {
    // A column of three 5s in column 4, rows 5..7, under a 6 with a bonus that travels with it and a
    // wobbling token that lands unwobbled.
    setBoard({"", "", "", "", "    6", "    5", "    5", "    5"});
    tokenAt(4, 3).sinusSpeed = kHintWobbleSpeed;
    tokenAt(4, 4).bonusType = kBonusInert;
    checkForMatches();
    ASSERT_EQ(score, 5u) << boardText();
    long frames = 0;
    for (; tokenAt(4, 5).alive && frames < 100; frames++) {
        fallTokens();
        animateField();
        ASSERT_EQ(tokenAt(4, 4).fally, 0.0f) << "nothing falls into a vanishing cell";
    }
    EXPECT_TRUE(frames == 41 && !tokenAt(4, 6).alive && !tokenAt(4, 7).alive) << frames;
    for (frames = 0; !tokenAt(4, 5).alive && frames < 100; frames++)
        fallTokens();
    EXPECT_TRUE(frames == 6 && tokenAt(4, 5).color == 6 && !tokenAt(4, 4).alive) << frames;
    EXPECT_EQ(tokenAt(4, 3).fally, 7.0f) << "bottom up: the token above starts in the same pass";
    for (frames = 0; frames < 100; frames++)
        fallTokens();
    const int16_t column[8] = {-1, -1, -1, 0, 2, 0, 2, 6};
    for (long y = 0; y < kBoardRows; y++)
        EXPECT_EQ(tokenAt(4, y).alive ? tokenAt(4, y).color : -1, column[y]) << y;
    EXPECT_TRUE(tokenAt(4, 6).sinusSpeed == 0.0f && tokenAt(4, 7).bonusType == kBonusInert);
    // The refill falls on until the board is full and still, without a line.
    EXPECT_TRUE(runUntilStill());
    EXPECT_TRUE(std::all_of(std::begin(tokenTable), std::end(tokenTable), [](auto &t) { return t.alive; }));
    EXPECT_FALSE(hasLineOfThree()) << boardText();
}
