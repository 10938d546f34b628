// A bot plays thousands of legal moves in every mode and difficulty while every frame is checked.
#include "legal_moves.h"
#include "rules_fixture.h"

namespace {

class SoakTest : public RulesTest {
protected:
    long movesPlayed = 0;
    long bonusesFired = 0;

    // One frame of the play loop with the per-frame checks.
    void frame(long mouseX, long mouseY, bool button) {
        sToken before[kBoardCells];
        std::memcpy(before, tokenTable, sizeof(tokenTable));
        const uint32_t scoreBefore = score;
        stepFrame(mouseX, mouseY, button);
        const bool zapped = timesPlayed(eGameSound::zapAttack) != 0;
        // The points of a bomb, a row, a column and a cross: a fixed part and units per cell cleared.
        const long bonusPoints[5][2] = {{0, 0}, {100, 9}, {100, 12}, {100, 8}, {200, 20}};
        long bonusScore = 0;
        for (long i = 0; i < kBoardCells; i++) {
            const sToken &cell = tokenTable[i];
            ASSERT_TRUE(cell.fade >= 0.0f && cell.fade <= 1.0f && cell.color >= 0 && cell.color < 7) << i;
            // A token only ever falls into an empty cell.
            if (cell.alive && cell.fally != 0.0f && i + kBoardColumns < kBoardCells) {
                ASSERT_FALSE(tokenTable[i + kBoardColumns].alive) << "cell " << i << "\n" << boardText();
            }
            // A bonus fires as its token starts to vanish.
            if (!zapped && before[i].fadeSpeed >= 0.0f && cell.fadeSpeed < 0.0f &&
                cell.bonusType >= kBonusBomb && cell.bonusType <= kBonusCross) {
                bonusScore += bonusPoints[cell.bonusType][0] + bonusPoints[cell.bonusType][1] * _unitScore;
                bonusesFired++;
            }
        }
        // What is left after bonuses and the gift must be one of the line awards.
        const long lineScore = long(score) - long(scoreBefore) - bonusScore - (zapped ? 1000 : 0);
        const long awards[] = {0, 5, 40, 320, 640};
        ASSERT_TRUE(std::any_of(std::begin(awards), std::end(awards),
                                [&](long award) { return lineScore == award * _unitScore; }))
            << "score went from " << scoreBefore << " to " << score << " with bonuses " << bonusScore;
    }

    void settle() {
        for (long frames = 0; !boardIsStill(); frames++) {
            ASSERT_LT(frames, 5000) << "the cascade never settles\n" << boardText();
            frame(0, 0, false);
        }
        // A settled board shows no line: the last still frame would have matched it.
        frame(0, 0, false);
        if (boardIsStill()) {
            ASSERT_FALSE(hasLineOfThree()) << boardText();
        }
    }

    void click(long x, long y) {
        frame(cellCentreX(x), cellCentreY(y), true);
        frame(cellCentreX(x), cellCentreY(y), true); // held: no second action
        frame(0, 0, false);
    }

    void playMoves(long mode, int difficulty, long moves) {
        gameDifficulty = difficulty;
        startGame(mode, 1000u + unsigned(mode) * 10u + unsigned(difficulty));
        for (long m = 0; m < moves; m++) {
            settle();
            if (HasFatalFailure())
                return;
            if (gameOver) {
                startGame(mode, unsigned(m));
                continue;
            }
            const std::vector<LegalMove> moves = legalMoves();
            const unsigned pick = unsigned(rand());
            LegalMove move = moves.empty() ? LegalMove{} : moves[pick % moves.size()];
            if (moves.empty()) {
                if (mode != 3) {
                    frame(0, 0, false); // the input step replaces the board
                    continue;
                }
                move = {rand() % 11, rand() % 8, 0, 0};
                move.x2 = move.x1 + 1;
                move.y2 = move.y1;
            }
            if (m % 25 == 24) {
                const uint32_t before = score;
                buyHint();
                const uint32_t price = uint32_t(50 * _unitScore);
                ASSERT_TRUE(score == before || (mode != 3 && score == before - price));
            }
            click(move.x1, move.y1);
            click(move.x2, move.y2);
            ASSERT_TRUE(tokenAt(move.x1, move.y1).beingSwapped || gameOver)
                << "a legal move was not accepted\n"
                << boardText();
            movesPlayed++;
        }
    }
};

// The sanitized build runs several times slower: it plays fewer moves.
#if defined(__SANITIZE_ADDRESS__)
constexpr long kMovesPerGame = 60;
#else
constexpr long kMovesPerGame = 250;
#endif

TEST_F(SoakTest, BotPlaysEveryModeAndDifficulty) {
    for (long mode = 0; mode <= 3; mode++)
        for (int difficulty = 0; difficulty <= 3; difficulty++) {
            playMoves(mode, difficulty, kMovesPerGame);
            if (HasFatalFailure())
                return;
        }
    // A few turns go to restarting finished games and to replacing exhausted boards.
    EXPECT_GT(movesPlayed, 16 * kMovesPerGame * 9 / 10);
    EXPECT_GT(bonusesFired, 100);
}

} // namespace
