// Damaged, missing and odd files: the program starts, visits the options page (tune and gem-set
// buttons), plays a short game and quits cleanly in every case, and saves its files at the end. (Files
// of any length and damaged tables, gem sets and playlists are the shell's and front end's tests; these
// are the cases that reach across the program.)
#include <gtest/gtest.h>

#include <filesystem>

#include "frontend/menu.h"
#include "game/playscreen.h"
#include "game/rules.h"
#include "game/sheet_layout.h"
#include "scripted.h"
#include "support/temp_folder.h"

using namespace e2e;
namespace fs = std::filesystem;

TEST(BadData, TheProgramPlaysAndQuitsWhateverItsFilesHold) {
    const std::vector<unsigned char> junk(300, 'j');
    for (bool foldersForFiles : {false, true}) {
        SCOPED_TRACE(foldersForFiles ? "folders where files belong"
                                     : "damaged preferences, gems, tunes, skin");
        ProgramFolder folder;
        if (foldersForFiles) { // they are left alone
            fs::create_directories(folder.path("prefs.raw"));
            fs::create_directories(folder.path("data/srelx"));
        } else {
            // Gem set 40, tune 77, tab -9 and a huge slider: each falls back when it is used.
            folder.write("prefs.raw", support::littleEndian({5000, -7, 2, 1, -9, 40, 77}));
            // Set 0: a 300-byte name and no pictures; set 1: pictures but no name (so it does not exist).
            folder.unlinkData("gems");
            folder.write("data/gems/set0/name.txt", junk);
            fs::create_directories(folder.path("data/gems/set1"));
            fs::copy(fs::path(QUORIX_DATA_DIR) / "gems/set1/gem01.tga",
                     folder.path("data/gems/set1/gem01.tga"));
            // Tunes that are not Ogg, and a skin of one broken picture.
            folder.unlinkData("music");
            folder.write("data/music/a.ogg.txt", junk);
            folder.write("data/music/b.ogg", junk);
            folder.unlinkData("skins");
            folder.write("data/skins/0/menu0.tga", junk);
        }
        playScript(
            folder.root(),
            [](Director &director) {
                director.waitUntil("the menu", menuShown)
                    .click(centreX(layout::kPageButtons[2]), centreY(layout::kPageButtons[2]))
                    .click(290, 255, 1)
                    .click(290, 255, 1)
                    .click(200, 335, 1)
                    .click(200, 335, 1, true)
                    .click(centreX(layout::kPageButtons[3]), centreY(layout::kPageButtons[3]))
                    .click(centreX(layout::kPageButtons[0]), centreY(layout::kPageButtons[0]))
                    // The 60-second mode, whatever the preferences said: Escape then always leaves the game.
                    .click(centreX(layout::kModeRows[0]), centreY(layout::kModeRows[0]));
                clickPlay(director)
                    .playUntil(
                        "a few points", [] { return score > 0; }, 2000)
                    .waitUntil("the board at rest", boardStill)
                    .key(SDLK_ESCAPE)
                    .waitUntil("the menu again", menuReady, 145)
                    .key(SDLK_ESCAPE, 1000);
            },
            6000);
        if (foldersForFiles) {
            EXPECT_TRUE(fs::is_directory(folder.path("prefs.raw")) &&
                        fs::is_directory(folder.path("data/srelx")));
        } else {
            const std::vector<unsigned char> prefs = folder.read("prefs.raw");
            ASSERT_EQ(prefs.size(), 28u) << "the preferences are saved at the end";
            EXPECT_NE(prefs[20], 40) << "a missing gem set falls back to a real one";
        }
        EXPECT_EQ(folder.read("data/s60").size(), 468u);
    }
}
