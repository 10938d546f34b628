// The whole program, from start to quit, played through its screens with the mouse and keyboard.
#include <gtest/gtest.h>

#include <cstring>

#include "framework/KMiscTools.h"
#include "framework/KSound.h"
#include "frontend/highscores.h"
#include "frontend/menu.h"
#include "frontend/options.h"
#include "game/board.h"
#include "game/gameover.h"
#include "game/playscreen.h"
#include "game/rules.h"
#include "game/sheet_layout.h"
#include "harness.h"
#include "shell/prefs.h"

using namespace e2e;

namespace {

std::vector<unsigned char> bytesOf(const void *record, size_t size) {
    const auto *bytes = static_cast<const unsigned char *>(record);
    return {bytes, bytes + size};
}

std::vector<unsigned char> prefsBytes(std::initializer_list<int32_t> values) {
    std::vector<unsigned char> bytes;
    for (int32_t v : values)
        for (int i = 0; i < 4; i++)
            bytes.push_back(static_cast<unsigned char>(static_cast<uint32_t>(v) >> (8 * i)));
    return bytes;
}

std::string rowName(const std::vector<unsigned char> &table, int row) {
    return std::string(reinterpret_cast<const char *>(table.data()) + 36 * row,
                       strnlen(reinterpret_cast<const char *>(table.data()) + 36 * row, 32));
}

} // namespace

// Start, set up a game, play a 60-second game to its end, enter a name, see it on the high-score
// page, change every option, and quit; then compare the files written with what the inputs produce.
TEST(Journey, SixtySecondGameFromStartToQuit) {
    ProgramFolder folder;
    runInChild([&] {
        KMiscTools::setProgramFolder(folder.root().c_str());
        Director director;
        Picture scoresBefore, scoresAfter, setupPage, gameFrame;
        uint32_t scoreAtEnd = 0;
        std::vector<unsigned char> savedOnEntry;

        director.waitUntil("the menu", menuShown)
            .click(centreX(layout::kPageButtons[3]), centreY(layout::kPageButtons[3]))
            .wait(2)
            .act([&](const platform::Frame &frame) { scoresBefore = frame.pixels(); })
            .click(centreX(layout::kPageButtons[0]), centreY(layout::kPageButtons[0]))
            .click(centreX(layout::kModeRows[0]), centreY(layout::kModeRows[0]))
            .click(centreX(layout::kDifficultyButtons[2]), centreY(layout::kDifficultyButtons[2]))
            .point(20, 20)
            .wait(2)
            .act([&](const platform::Frame &frame) {
                EXPECT_EQ(prefs.gameMode, kModeSixtySeconds);
                EXPECT_EQ(prefs.difficulty, 2);
                setupPage = frame.pixels();
            })
            .click(489, 364) // Play
            .waitUntil("the game", gameRunning, 200)
            .wait(5)
            .act([&](const platform::Frame &frame) {
                gameFrame = frame.pixels();
                EXPECT_STREQ(gameDescription, "quorix0dif2");
                EXPECT_EQ(gameTimer, 60);
            })
            .playUntil(
                "the end of the 60 seconds", [] { return gameOver; }, 6000)
            .act([&](const platform::Frame &) {
                EXPECT_EQ(gameTimer, 0);
                scoreAtEnd = score;
            })
            .waitUntil(
                "the name entry", [] { return gameOverFade >= 1.0f; }, 200)
            .act([&](const platform::Frame &) {
                ASSERT_TRUE(isHighScore()) << "a bot's score should beat 20 points in 60 seconds";
            })
            .type("zoe")
            .key(SDLK_BACKSPACE)
            .type("e")
            .key(SDLK_RETURN)
            .waitUntil("the entry to close", nameEntryClosed, 100)
            .act([&](const platform::Frame &) { savedOnEntry = folder.read("data/s60"); })
            .click(centreX(layout::kPlayButtons[2].area), centreY(layout::kPlayButtons[2].area)) // exit
            .waitUntil("the menu again", menuReady, 345)
            .click(centreX(layout::kPageButtons[3]), centreY(layout::kPageButtons[3]))
            .wait(2)
            .act([&](const platform::Frame &frame) { scoresAfter = frame.pixels(); })
            .click(centreX(layout::kPageButtons[2]), centreY(layout::kPageButtons[2]))
            .click(300, 209)    // effects slider: position 67
            .click(250, 235)    // music slider: position 17
            .click(290, 255, 1) // next tune: the button waits for its release
            .click(200, 335, 1) // next gem set, likewise
            .click(200, 156)    // reset the tables
            .click(centreX(layout::kPageButtons[5]), centreY(layout::kPageButtons[5]));
        director.run(20000);
        for (const std::string &failure : director.failures())
            ADD_FAILURE() << failure;
        EXPECT_GT(director.frames(), 60u * 75u) << "a 60-second game lasts 61 ticks of 75 frames";
        std::printf("journey: %lu frames, final score %u\n", (unsigned long)director.frames(), scoreAtEnd);

        // The name was saved as soon as it was entered, in the difficulty-2 group.
        ASSERT_EQ(savedOnEntry.size(), 468u);
        bool found = false;
        for (int row = 6; row < 9; row++)
            if (rowName(savedOnEntry, row) == "zoe") {
                found = true;
                uint32_t value = 0;
                std::memcpy(&value, savedOnEntry.data() + 36 * row + 32, 4);
                EXPECT_EQ(value, uint32_t(_realScore));
                EXPECT_GE(value, scoreAtEnd);
            }
        EXPECT_TRUE(found) << "zoe is not in the saved table";

        // The 60-second tab shows the new row in the difficulty-2 block and nothing else changed.
        ASSERT_FALSE(scoresBefore.empty());
        ASSERT_FALSE(scoresAfter.empty());
        EXPECT_GT(differingPixels(scoresBefore, scoresAfter, 105, 279, 365, 336), 20);
        EXPECT_EQ(differingPixels(scoresBefore, scoresAfter, 105, 148, 365, 270), 0);

        // The play screen showed the board.
        ASSERT_FALSE(gameFrame.empty());
        EXPECT_GT(differingPixels(gameFrame, setupPage, 71, 90, 575, 426), 100000);
    });

    // After the reset the tables on disk are the reset tables, and prefs.raw holds every choice.
    EXPECT_EQ(folder.read("data/s60"), bytesOf(&bscore60sec, sizeof(bscore60sec)));
    EXPECT_EQ(folder.read("data/s5mn"), bytesOf(&bscore5Min, sizeof(bscore5Min)));
    EXPECT_EQ(folder.read("data/smil"), bytesOf(&bscoreMillion, sizeof(bscoreMillion)));
    EXPECT_EQ(folder.read("data/srelx"), bytesOf(&bscoreRelax, sizeof(bscoreRelax)));
    EXPECT_EQ(folder.read("prefs.raw"), prefsBytes({67, 17, 0, 2, 0, 1, 1}));
}

// Escape in the menu ends the program at once; the settings and tables are still saved.
TEST(Journey, EscapeFromTheMenu) {
    ProgramFolder folder;
    runInChild([&] {
        KMiscTools::setProgramFolder(folder.root().c_str());
        Director director;
        uint64_t framesAtEscape = 0;
        director.waitUntil("the menu", menuShown).act([&](const platform::Frame &frame) {
            framesAtEscape = frame.number();
            frame.pressKey(SDLK_ESCAPE, 1000);
        });
        director.run(2000);
        for (const std::string &failure : director.failures())
            ADD_FAILURE() << failure;
        EXPECT_EQ(director.frames(), framesAtEscape) << "a frame was presented after Escape";
    });
    EXPECT_EQ(folder.read("prefs.raw"), prefsBytes({100, 100, 0, 1, 0, 0, 0}));
    EXPECT_EQ(folder.read("data/s60"), bytesOf(&score60sec, sizeof(score60sec)));
    EXPECT_EQ(folder.read("data/srelx"), bytesOf(&scoreRelax, sizeof(scoreRelax)));
}

// Closing the window in the middle of a game ends the program cleanly and saves the choices.
TEST(Journey, WindowClosedMidGame) {
    ProgramFolder folder;
    runInChild([&] {
        KMiscTools::setProgramFolder(folder.root().c_str());
        Director director;
        director.waitUntil("the menu", menuShown)
            .click(centreX(layout::kModeRows[1]), centreY(layout::kModeRows[1]))
            .click(centreX(layout::kDifficultyButtons[3]), centreY(layout::kDifficultyButtons[3]))
            .click(489, 364)
            .waitUntil("the game", gameRunning, 200)
            .act([](const platform::Frame &) { EXPECT_EQ(gameTimer, 300); })
            .playUntil(
                "some points", [] { return score > 0; }, 2000)
            .closeWindow();
        director.run(6000);
        for (const std::string &failure : director.failures())
            ADD_FAILURE() << failure;
    });
    EXPECT_EQ(folder.read("prefs.raw"), prefsBytes({100, 100, 1, 3, 0, 0, 0}));
    EXPECT_EQ(folder.read("data/s5mn"), bytesOf(&score5Min, sizeof(score5Min)));
}
