// Damaged, missing and odd files: the program starts, plays and quits cleanly in every case.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "framework/KMiscTools.h"
#include "frontend/gemsets.h"
#include "frontend/menu.h"
#include "frontend/options.h"
#include "game/playscreen.h"
#include "game/rules.h"
#include "game/sheet_layout.h"
#include "harness.h"
#include "shell/prefs.h"

using namespace e2e;
namespace fs = std::filesystem;

namespace {

// Visits the options page (tune and gem-set buttons), plays a short game and quits from the menu.
void playAndQuit(const ProgramFolder &folder) {
    runInChild([&] {
        KMiscTools::setProgramFolder(folder.root().c_str());
        Director director;
        director.waitUntil("the menu", menuShown)
            .click(centreX(layout::kPageButtons[2]), centreY(layout::kPageButtons[2]))
            .click(290, 255, 1)
            .click(290, 255, 1)
            .click(200, 335, 1)
            .click(200, 335, 1, true)
            .click(centreX(layout::kPageButtons[3]), centreY(layout::kPageButtons[3]))
            .click(centreX(layout::kPageButtons[0]), centreY(layout::kPageButtons[0]))
            // The 60-second mode, whatever the preferences said: Escape then always leaves the game.
            .click(centreX(layout::kModeRows[0]), centreY(layout::kModeRows[0]))
            .click(489, 364)
            .waitUntil("the game", gameRunning, 200)
            .playUntil(
                "a few points", [] { return score > 0; }, 2000)
            .waitUntil("the board at rest", boardStill)
            .key(SDLK_ESCAPE)
            .waitUntil("the menu again", menuReady, 145)
            .key(SDLK_ESCAPE, 1000);
        director.run(6000);
        for (const std::string &failure : director.failures())
            ADD_FAILURE() << failure;
    });
    EXPECT_EQ(folder.read("prefs.raw").size(), 28u) << "the preferences are saved at the end";
    EXPECT_EQ(folder.read("data/s60").size(), 468u);
}

} // namespace

TEST(BadData, DamagedPreferences) {
    for (size_t size : {size_t(0), size_t(9), size_t(5000)}) {
        ProgramFolder folder;
        std::vector<unsigned char> garbage(size);
        for (size_t i = 0; i < size; i++)
            garbage[i] = static_cast<unsigned char>(0x9D * i + 0x5B);
        folder.write("prefs.raw", garbage);
        playAndQuit(folder);
    }
    ProgramFolder unreadable;
    fs::create_directories(unreadable.path("prefs.raw"));
    runInChild([&] {
        KMiscTools::setProgramFolder(unreadable.root().c_str());
        Director director;
        director.waitUntil("the menu", menuShown).key(SDLK_ESCAPE, 1000);
        director.run(1000);
        EXPECT_TRUE(director.failures().empty());
    });
    EXPECT_TRUE(fs::is_directory(unreadable.path("prefs.raw")));
}

TEST(BadData, PreferencesPointingNowhere) {
    ProgramFolder folder;
    // Gem set 40, tune 77, tab -9 and a huge slider: each falls back when it is used.
    std::vector<unsigned char> bytes;
    for (int32_t v : {5000, -7, 2, 1, -9, 40, 77})
        for (int i = 0; i < 4; i++)
            bytes.push_back(static_cast<unsigned char>(static_cast<uint32_t>(v) >> (8 * i)));
    folder.write("prefs.raw", bytes);
    playAndQuit(folder);
    const std::vector<unsigned char> saved = folder.read("prefs.raw");
    ASSERT_EQ(saved.size(), 28u);
    EXPECT_NE(saved[20], 40) << "the missing gem set fell back to a real one";
}

TEST(BadData, DamagedHighScoreTables) {
    ProgramFolder folder;
    folder.write("data/s60", std::vector<unsigned char>(10, 'x'));
    folder.write("data/s5mn", std::vector<unsigned char>(10000, 0xFF));
    folder.write("data/smil", std::vector<unsigned char>(468, 0));
    fs::create_directories(folder.path("data/srelx"));
    playAndQuit(folder);
    EXPECT_TRUE(fs::is_directory(folder.path("data/srelx")));
}

TEST(BadData, BrokenGemSets) {
    ProgramFolder folder;
    folder.unlinkData("gems");
    // Set 0: a 300-byte name and no pictures; set 1: pictures but no name (so it does not exist).
    folder.write("data/gems/set0/name.txt", std::vector<unsigned char>(300, 'g'));
    fs::create_directories(folder.path("data/gems/set1"));
    fs::copy(fs::path(QUORIX_DATA_DIR) / "gems/set1/gem01.tga", folder.path("data/gems/set1/gem01.tga"));
    playAndQuit(folder);
}

TEST(BadData, MusicFolderWithoutTunes) {
    ProgramFolder empty;
    empty.unlinkData("music");
    playAndQuit(empty);

    ProgramFolder odd;
    odd.unlinkData("music");
    odd.write("data/music/a.ogg.txt", std::vector<unsigned char>(100, 'o'));
    odd.write("data/music/b.ogg", std::vector<unsigned char>(100, 'o')); // not Ogg at all
    playAndQuit(odd);
}

TEST(BadData, MissingSkinPictures) {
    ProgramFolder folder;
    folder.unlinkData("skins");
    folder.write("data/skins/0/menu0.tga", std::vector<unsigned char>(64, 0x11)); // garbage
    playAndQuit(folder);
}
