// The play screen's keys and buttons, the relax mode's rules and the million mode's table, through
// the whole program.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "framework/KMiscTools.h"
#include "framework/KSound.h"
#include "frontend/highscores.h"
#include "frontend/menu.h"
#include "game/board.h"
#include "game/gameover.h"
#include "game/playscreen.h"
#include "game/rules.h"
#include "game/sheet_layout.h"
#include "harness.h"
#include "shell/prefs.h"
#include "shell/sounds.h"

using namespace e2e;

namespace {

std::vector<const KSound *> played;
long timesPlayed(const KSound *sound) {
    return std::count(played.begin(), played.end(), sound);
}

const layout::Box &newGameButton() {
    return layout::kPlayButtons[0].area;
}
const layout::Box &hintButton() {
    return layout::kPlayButtons[1].area;
}
const layout::Box &exitButton() {
    return layout::kPlayButtons[2].area;
}

void reportFailures(const Director &director) {
    for (const std::string &failure : director.failures())
        ADD_FAILURE() << failure;
}

} // namespace

TEST(PlayScreen, PauseHintNewGameAndEscape) {
    ProgramFolder folder;
    runInChild([&] {
        KMiscTools::setProgramFolder(folder.root().c_str());
        KSound::_playObserver = [](const KSound *sound) { played.push_back(sound); };
        Director director;
        Picture running, paused;
        long timerAtPause = 0, subTimerAtPause = 0;
        uint32_t scoreAtPause = 0, scoreBeforeHint = 0;
        long clicksBefore = 0;

        director.waitUntil("the menu", menuShown)
            .click(489, 364)
            .waitUntil("the game", gameRunning, 200)
            .waitUntil("a still board", boardStill)
            .act([&](const platform::Frame &frame) { running = frame.pixels(); })
            // No points yet: the hint is refused with its sound and costs nothing.
            .click(centreX(hintButton()), centreY(hintButton()))
            .act([&](const platform::Frame &) {
                EXPECT_EQ(timesPlayed(snd_nohint), 1);
                EXPECT_EQ(timesPlayed(snd_hint), 0);
                EXPECT_EQ(score, 0u);
            })
            .point(600, 20)
            .key(SDLK_p)
            .waitUntil("the pause", gamePaused, 3)
            .act([&](const platform::Frame &frame) {
                paused = frame.pixels();
                timerAtPause = gameTimer;
                subTimerAtPause = subTimer;
                scoreAtPause = score;
            })
            .wait(150)
            .act([&](const platform::Frame &) {
                EXPECT_EQ(gameTimer, timerAtPause) << "the clock stands while paused";
                EXPECT_EQ(subTimer, subTimerAtPause);
                EXPECT_EQ(score, scoreAtPause);
            })
            .key(SDLK_p)
            .wait(76)
            .act([&](const platform::Frame &) {
                EXPECT_LT(gameTimer, timerAtPause) << "the clock runs again";
            })
            .playUntil(
                "enough points for a hint", [] { return score >= 50 && boardStill(); }, 3000)
            .act([&](const platform::Frame &) { scoreBeforeHint = score; })
            .click(centreX(hintButton()), centreY(hintButton()))
            .act([&](const platform::Frame &) {
                EXPECT_EQ(score, scoreBeforeHint - 50);
                EXPECT_EQ(timesPlayed(snd_hint), 1);
                bool wobbling = false;
                for (const sToken &cell : tokenTable)
                    wobbling = wobbling || cell.sinusSpeed > 0.0f;
                EXPECT_TRUE(wobbling);
            })
            .key(SDLK_F1)
            .act([&](const platform::Frame &) {
                EXPECT_EQ(score, 0u);
                EXPECT_EQ(gameTimer, 60);
            })
            .playUntil(
                "some points again", [] { return score > 0; }, 3000)
            .act([&](const platform::Frame &) { clicksBefore = timesPlayed(snd_click); })
            // The new-game button waits for its release without presenting a frame.
            .click(centreX(newGameButton()), centreY(newGameButton()), 2)
            .act([&](const platform::Frame &) {
                EXPECT_EQ(timesPlayed(snd_click), clicksBefore + 1);
                EXPECT_EQ(score, 0u);
            })
            .key(SDLK_ESCAPE)
            .waitUntil("the menu again", menuReady, 145)
            .key(SDLK_ESCAPE, 1000);
        director.run(8000);
        reportFailures(director);

        ASSERT_FALSE(paused.empty());
        // The pause panel covers the board; the buttons and the score box stay.
        EXPECT_GT(differingPixels(running, paused, 71, 90, 575, 426), 50000);
        EXPECT_EQ(differingPixels(running, paused, 0, 430, 340, 480), 0);
    });
}

// The relax mode's result is the score at the moment the player ends the game, never one left over
// from an earlier game or from the last clock tick.
TEST(PlayScreen, RelaxModeEndsOnlyWhenThePlayerSaysSo) {
    ProgramFolder folder;
    runInChild([&] {
        KMiscTools::setProgramFolder(folder.root().c_str());
        Director director;
        const auto nameEntryOpen = [] { return gameOver && gameOverFade >= 1.0f && !ghighscoreProcessed; };
        director.waitUntil("the menu", menuShown)
            .click(centreX(layout::kModeRows[3]), centreY(layout::kModeRows[3]))
            .click(489, 364)
            .waitUntil("the game", gameRunning, 200)
            // Without a result worth a place, Escape returns to the menu at once.
            .key(SDLK_ESCAPE)
            .waitUntil("the menu", menuReady, 50)
            .click(489, 364)
            .waitUntil("the second game", gameRunning, 200)
            // A big score copied by a tick, then a new game: its Escape judges 0 points, not those.
            .act([](const platform::Frame &) { score = 100000; })
            .waitUntil(
                "a tick to copy it", [] { return _realScore == 100000; }, 80)
            .click(centreX(newGameButton()), centreY(newGameButton()), 2)
            .act([](const platform::Frame &) { EXPECT_EQ(_realScore, 0); })
            .key(SDLK_ESCAPE)
            .waitUntil("the menu", menuReady, 50)
            .click(489, 364)
            .waitUntil("the third game", gameRunning, 200)
            // The exit button first ends the game (nothing to record), and a second press leaves.
            .click(centreX(exitButton()), centreY(exitButton()))
            .act([](const platform::Frame &) {
                EXPECT_TRUE(gameOver);
                EXPECT_FALSE(endPlay);
            })
            .click(centreX(exitButton()), centreY(exitButton()))
            .waitUntil("the menu", menuReady, 50)
            .click(489, 364)
            .waitUntil("the fourth game", gameRunning, 200)
            // Points scored within the second before Exit still count: the name entry opens.
            .act([](const platform::Frame &) {
                score = 5000;
                subTimer = 0;
            })
            .click(centreX(exitButton()), centreY(exitButton()))
            .waitUntil("the name entry after Exit", nameEntryOpen, 80)
            .key(SDLK_RETURN)
            .waitUntil("the entry to close", nameEntryClosed, 100)
            .click(centreX(exitButton()), centreY(exitButton()))
            .waitUntil("the menu", menuReady, 145)
            .click(489, 364)
            .waitUntil("the fifth game", gameRunning, 200)
            // Escape right after the points, before any tick: the name entry opens, and a name with a
            // "p" in it is typed whole (P pauses only a game that is not over).
            .playUntil(
                "a result worth a place", [] { return score > 200 && boardStill(); }, 6000)
            .act([](const platform::Frame &) { subTimer = 0; })
            .key(SDLK_ESCAPE)
            .waitUntil("the name entry after Escape", nameEntryOpen, 80)
            .act([](const platform::Frame &) {
                std::memset(buffer, 0, sizeof(buffer));
                bufferPosition = 0;
            })
            .type("pip")
            .key(SDLK_RETURN)
            .waitUntil("the entry to close", nameEntryClosed, 100)
            .click(centreX(exitButton()), centreY(exitButton()))
            .waitUntil("the menu", menuReady, 145)
            .key(SDLK_ESCAPE, 1000);
        director.run(14000);
        reportFailures(director);
    });
    const std::vector<unsigned char> relax = folder.read("data/srelx");
    ASSERT_EQ(relax.size(), 468u);
    std::vector<std::pair<std::string, uint32_t>> group;
    for (int row = 3; row < 6; row++) {
        uint32_t value = 0;
        std::memcpy(&value, relax.data() + 36 * row + 32, 4);
        group.emplace_back(std::string(reinterpret_cast<const char *>(relax.data()) + 36 * row), value);
    }
    EXPECT_EQ(group[0].second, 5000u) << "the result of the game left with Exit";
    bool pip = false;
    for (const auto &[name, value] : group)
        pip = pip || (name == "pip" && value > 200 && value < 5000);
    EXPECT_TRUE(pip) << "the result left with Escape, under its typed name";
}

TEST(PlayScreen, MillionTableShowsTimesAndTheTabIsKept) {
    ProgramFolder folder;
    // A million table whose best time at difficulty 0 is 1:02:05.
    std::vector<unsigned char> million(468, 0);
    std::memcpy(million.data(), "tim", 3);
    const uint32_t seconds = 3725;
    std::memcpy(million.data() + 32, &seconds, 4);
    folder.write("data/smil", million);
    runInChild([&] {
        KMiscTools::setProgramFolder(folder.root().c_str());
        Director director;
        Picture sixty, times;
        director.waitUntil("the menu", menuShown)
            .click(centreX(layout::kPageButtons[3]), centreY(layout::kPageButtons[3]))
            .point(600, 460)
            .wait(2)
            .act([&](const platform::Frame &frame) { sixty = frame.pixels(); })
            .click(centreX(layout::kHighScoreTabs[2]), centreY(layout::kHighScoreTabs[2]))
            .point(600, 460)
            .wait(2)
            .act([&](const platform::Frame &frame) {
                times = frame.pixels();
                EXPECT_EQ(prefs.scoretab, 2);
            })
            .key(SDLK_ESCAPE, 1000);
        director.run(2000);
        reportFailures(director);
        // Only row 0 holds a time: its value is drawn, the empty rows show 00:00:00.
        EXPECT_GT(differingPixels(sixty, times, 105, 148, 365, 166), 20);
    });
    const std::vector<unsigned char> prefsFile = folder.read("prefs.raw");
    ASSERT_EQ(prefsFile.size(), 28u);
    EXPECT_EQ(prefsFile[16], 2) << "the tab shown is kept in the preferences";
    EXPECT_EQ(folder.read("data/smil"), million) << "the table is saved as it was read";
}

TEST(PlayScreen, SelectionMarkLitButtonAndScoreDigits) {
    ProgramFolder folder;
    runInChild([&] {
        KMiscTools::setProgramFolder(folder.root().c_str());
        Director director;
        Picture plain, selected, lit, scored;
        const int px = kBoardLeft + kCellSize * 4, py = kBoardTop + kCellSize * 3;
        director.waitUntil("the menu", menuShown)
            .click(centreX(layout::kModeRows[3]), centreY(layout::kModeRows[3])) // relax: no clock to end it
            .click(489, 364)
            .waitUntil("the game", gameRunning, 200)
            .waitUntil("a still board", boardStill)
            .act([](const platform::Frame &) {
                // No hint wobble, so that only the selection changes the cell.
                for (sToken &cell : tokenTable)
                    cell.sinus = cell.sinusSpeed = 0.0f;
            })
            .point(600, 20)
            .wait(2)
            .act([&](const platform::Frame &frame) { plain = frame.pixels(); })
            .click(px + 20, py + 20)
            .point(600, 20)
            .wait(2)
            .act([&](const platform::Frame &frame) {
                EXPECT_TRUE(tokenAt(4, 3).selected);
                selected = frame.pixels();
            })
            .point(centreX(hintButton()), centreY(hintButton()))
            .wait(2)
            .act([&](const platform::Frame &frame) { lit = frame.pixels(); })
            .point(600, 20)
            .playUntil(
                "points", [] { return score >= 100 && boardStill(); }, 3000)
            .point(600, 20)
            .wait(2)
            .act([&](const platform::Frame &frame) { scored = frame.pixels(); })
            .closeWindow();
        director.run(6000);
        reportFailures(director);
        ASSERT_FALSE(scored.empty());

        // The mark is drawn one pixel up and left of the cell: its top-left pixels change, and no
        // other cell does.
        EXPECT_GT(differingPixels(plain, selected, px - 1, py - 1, px + 43, py + 43), 50);
        EXPECT_EQ(differingPixels(plain, selected, 71, 90, px - 2, 426), 0);
        EXPECT_EQ(differingPixels(plain, selected, px + 45, 90, 575, 426), 0);
        // The button under the pointer is lit, the others are not.
        const layout::Box &hint = hintButton();
        EXPECT_GT(differingPixels(selected, lit, hint.x1, hint.y1, hint.x2 + 1, hint.y2 + 1), 100);
        const layout::Box &exit = exitButton();
        EXPECT_EQ(differingPixels(selected, lit, exit.x1, exit.y1, exit.x2 + 1, exit.y2 + 1), 0);
        // The score digits changed from "0".
        EXPECT_GT(differingPixels(plain, scored, layout::kScorePosition.x, layout::kScorePosition.y,
                                  layout::kScorePosition.x + 100, layout::kScorePosition.y + 26),
                  50);
    });
}
