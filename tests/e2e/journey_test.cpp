// The whole program, from start to quit, played through its screens with the mouse and keyboard: the
// files it writes, the play screen's keys and buttons, and the relax mode's results.
#include <gtest/gtest.h>

#include <algorithm>

#include "frontend/highscores.h"
#include "frontend/menu.h"
#include "game/board.h"
#include "game/gameover.h"
#include "game/playscreen.h"
#include "game/rules.h"
#include "game/sheet_layout.h"
#include "scripted.h"
#include "shell/prefs.h"
#include "support/temp_folder.h"

using namespace e2e;
using support::littleEndian;

namespace {

std::vector<unsigned char> bytesOf(const sHighScores &table) {
    const auto *bytes = reinterpret_cast<const unsigned char *>(&table);
    return {bytes, bytes + sizeof(table)};
}

Director &press(Director &director, const layout::Box &box, int polls = -1) {
    return director.click(centreX(box), centreY(box), polls);
}

} // namespace

// Set up a game, play a 60-second game to its end, enter a name, change every option, and quit; then
// compare the files written with what the inputs produce. (The high-score page showing a new row is the
// online replay test's: its press on the row plays that game.)
TEST(Journey, SixtySecondGameFromStartToQuit) {
    ProgramFolder folder;
    playScript(
        folder.root(),
        [&](Director &director) {
            press(press(press(director.waitUntil("the menu", menuShown), layout::kPageButtons[0]),
                        layout::kModeRows[0]),
                  layout::kDifficultyButtons[2]);
            clickPlay(director)
                .playUntil(
                    "the end of the 60 seconds", [] { return gameOver; }, 6000)
                // A key pressed while the entry panel still grows is not typed.
                .waitUntil(
                    "the entry panel nearly grown", [] { return gameOverFade >= 0.89f; }, 200)
                .type("x")
                .waitUntil(
                    "the name entry", [] { return gameOverFade >= 1.0f; }, 200)
                .act([&](const platform::Frame &) {
                    EXPECT_EQ(gameTimer, 0);
                    ASSERT_TRUE(isHighScore()) << "a bot's score should beat 20 points in 60 seconds";
                })
                .type("pipkins and the peppers") // a "p" pauses only a game that is not over
                .key(SDLK_BACKSPACE)
                .type("e")
                .key(SDLK_RETURN)
                .waitUntil("the entry to close", nameEntryClosed, 100)
                .act([&](const platform::Frame &) {
                    // Saved as soon as it was entered, in the difficulty-2 group, with the game's result.
                    const std::vector<unsigned char> table = folder.read("data/s60");
                    int rows = 0;
                    for (int row = 6; row < 9; row++)
                        rows += tableRow(table, row).name == "pipkins and the pe" && // up to 18 letters
                                tableRow(table, row).value == uint32_t(_realScore);
                    EXPECT_EQ(rows, 1) << "the new row in the saved table";
                });
            press(director, layout::kPlayButtons[2].area).waitUntil("the menu again", menuReady, 345);
            press(director, layout::kPageButtons[2])
                .click(300, 209)    // effects slider: position 67
                .click(250, 235)    // music slider: position 17
                .click(290, 255, 1) // next tune: the button waits for its release
                .click(200, 335, 1) // next gem set, likewise
                .click(200, 156);   // reset the tables
            press(director, layout::kPageButtons[5]);
        },
        20000);
    // After the reset the tables on disk are the reset tables, and prefs.raw holds every choice.
    EXPECT_EQ(folder.read("data/s60"), bytesOf(bscore60sec));
    EXPECT_EQ(folder.read("data/s5mn"), bytesOf(bscore5Min));
    EXPECT_EQ(folder.read("data/smil"), bytesOf(bscoreMillion));
    EXPECT_EQ(folder.read("data/srelx"), bytesOf(bscoreRelax));
    EXPECT_EQ(folder.read("prefs.raw"), littleEndian({67, 17, 0, 2, 0, 1, 1}));
}

// The play screen through the real keys and buttons in a 5-minute game at the hardest level: the selection
// mark, the lit button, a hint bought, the pause panel covering the board and the score
// drawn; then the window closed mid-game ends the program cleanly and saves the choices and the tables.
// (The relax mode's result and the New Game button are the engine's own tests.)
TEST(PlayScreen, KeysButtonsAndTheWindowClosedMidGameThroughTheWholeProgram) {
    ProgramFolder folder;
    Picture running, selected, lit, paused, scored;
    const int px = kBoardLeft + kCellSize * 4, py = kBoardTop + kCellSize * 3;
    const layout::Box &hint = layout::kPlayButtons[1].area, &exit = layout::kPlayButtons[2].area;
    uint32_t scoreBeforeHint = 0;
    playScript(
        folder.root(),
        [&](Director &director) {
            clickPlay(press(press(director.waitUntil("the menu", menuShown), layout::kModeRows[1]),
                            layout::kDifficultyButtons[3]))
                .act([](const platform::Frame &) { EXPECT_EQ(gameTimer, 300); })
                .waitUntil("a still board", boardStill)
                .act([](const platform::Frame &) {
                    for (sToken &cell : tokenTable) // no wobble: only the selection changes the cell
                        cell.sinus = cell.sinusSpeed = 0.0f;
                })
                .point(600, 20)
                .wait(2)
                .act([&](const platform::Frame &frame) { running = frame.pixels(); })
                .click(px + 20, py + 20)
                .point(600, 20)
                .wait(2)
                .act([&](const platform::Frame &frame) {
                    EXPECT_TRUE(tokenAt(4, 3).selected);
                    selected = frame.pixels();
                })
                .point(centreX(hint), centreY(hint))
                .wait(2)
                .act([&](const platform::Frame &frame) { lit = frame.pixels(); });
            director.point(600, 20)
                .key(SDLK_p)
                .waitUntil("the pause", gamePaused, 3)
                .act([&](const platform::Frame &frame) { paused = frame.pixels(); })
                .key(SDLK_p)
                .waitUntil(
                    "the game again", [] { return !gamePaused(); }, 10)
                .playUntil(
                    "enough points for a hint", [] { return score >= 50 && boardStill(); }, 3000)
                .point(600, 20)
                .wait(2)
                .act([&](const platform::Frame &frame) {
                    scoreBeforeHint = score;
                    scored = frame.pixels();
                });
            press(director, hint).act([&](const platform::Frame &) {
                EXPECT_EQ(score, scoreBeforeHint - 50);
                EXPECT_TRUE(std::any_of(std::begin(tokenTable), std::end(tokenTable), [](const sToken &cell) {
                    return cell.sinusSpeed > 0.0f;
                })) << "the hinted gems wobble";
            });
            director.closeWindow();
        },
        10000,
        [&](const Director &) {
            // The pause panel covers the board; the buttons and the score box stay.
            ASSERT_FALSE(paused.empty());
            EXPECT_GT(differingPixels(running, paused, 71, 90, 575, 426), 50000);
            EXPECT_EQ(differingPixels(running, paused, 0, 430, 340, 480), 0);
            // The selection mark is drawn one pixel up and left of its cell, and no other cell changes.
            EXPECT_GT(differingPixels(running, selected, px - 1, py - 1, px + 43, py + 43), 50);
            EXPECT_EQ(differingPixels(running, selected, 71, 90, px - 2, 426), 0);
            EXPECT_EQ(differingPixels(running, selected, px + 45, 90, 575, 426), 0);
            // The button under the pointer is lit, the others are not; the score digits changed from "0".
            EXPECT_GT(differingPixels(selected, lit, hint.x1, hint.y1, hint.x2 + 1, hint.y2 + 1), 100);
            EXPECT_EQ(differingPixels(selected, lit, exit.x1, exit.y1, exit.x2 + 1, exit.y2 + 1), 0);
            const layout::Point digits = layout::kScorePosition;
            EXPECT_GT(differingPixels(running, scored, digits.x, digits.y, digits.x + 100, digits.y + 26),
                      50);
        });
    EXPECT_EQ(folder.read("prefs.raw"), littleEndian({100, 100, 1, 3, 0, 0, 0}));
    EXPECT_EQ(folder.read("data/s5mn"), bytesOf(score5Min));
    EXPECT_EQ(folder.read("data/srelx"), bytesOf(scoreRelax));
}
