// The launcher's behaviour, driven without a toolkit: a scripted view stands in for the player.
#include "launcher_test_support.h"
#include "support/wait.h"

#include <csignal>

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <tuple>

namespace {

using Player = std::function<void(sLauncherDialog &)>;

// What the player saw when the dialog opened: full screen and scoring ticked, the skin selected.
struct sShown {
    bool fullScreen = false, scoring = false;
    int skin = -1;
    bool operator==(const sShown &) const = default;
};

// The settings files before a launch (nothing: no such file) and after it.
struct sFiles {
    std::optional<Bytes> fullScreen, skin, gamePad;
};

Bytes skinBytes(int32_t skin) {
    return support::littleEndian({skin});
}

void chooseSkin(sLauncherDialog &dialog, int skin) {
    dialog.listSelection = skin;
    EXPECT_TRUE(launcherCommand(dialog, kIdSkinList));
    EXPECT_EQ(dialog.shownPreview, skin) << "the preview follows the list at once";
}

void press(sLauncherDialog &dialog, int button) {
    EXPECT_TRUE(launcherCommand(dialog, button));
}

// The launcher with a view that opens the dialog and lets `player` act on it; true to play. A dialog
// that ends without Play or Quit counts as one that could not be shown.
bool launch(const Player &player, sShown *shown = nullptr, const sLauncherOverrides &overrides = {},
            bool apart = false) {
    const LauncherView view = [&](sLauncherDialog &dialog) {
        initLauncherDialog(dialog);
        EXPECT_EQ(dialog.listCount, kSkinCount);
        EXPECT_EQ(dialog.shownPreview, dialog.listSelection);
        if (shown)
            *shown = {dialog.fullScreenTicked, dialog.internetScoringTicked, dialog.listSelection};
        player(dialog);
        return dialog.ended ? dialog.result : kDialogFailed;
    };
    return runWelcomeDialog(
        apart ? LauncherView([&](sLauncherDialog &d) { return runViewApart(d, view); }) : view, overrides);
}

std::atomic<int> helpOpened{0};
std::string helpAddress;

// One launch from stored settings and the command line's choices: what the dialog showed, what the
// player did, what the run plays with and what is stored afterwards. A dialog that could not be shown
// starts the game with the stored settings. Only Play and Quit end the dialog; Help opens the help page
// in a maximised browser. The command line presets the dialog, and only what is played with is stored.
TEST(Launcher, StoredSettingsShowInTheDialogAndTheChoicesAreStored) {
    const Player quit = [](sLauncherDialog &d) { press(d, kIdQuit); };
    const Player play = [](sLauncherDialog &d) { press(d, kIdPlay); };
    const Player noDialog = [](sLauncherDialog &) {};
    const Player skinThenQuit = [](sLauncherDialog &d) {
        chooseSkin(d, 4);
        press(d, kIdQuit);
    };
    const Player boxesThenQuit = [](sLauncherDialog &d) {
        d.fullScreenTicked = !d.fullScreenTicked;
        d.internetScoringTicked = !d.internetScoringTicked;
        press(d, kIdQuit);
    };
    const Player everythingThenPlay = [](sLauncherDialog &d) {
        EXPECT_FALSE(launcherCommand(d, kIdCancel)); // Escape, the close button
        EXPECT_FALSE(launcherCommand(d, 999));
        press(d, kIdHelp);
        EXPECT_FALSE(d.ended);
        d.fullScreenTicked = d.internetScoringTicked = true;
        chooseSkin(d, 6);
        press(d, kIdPlay);
    };
    const Player scoringClearedThenPlay = [](sLauncherDialog &d) {
        d.internetScoringTicked = false;
        press(d, kIdPlay);
    };
    const Bytes on{0}, off{1}; // fullscreen.stt holds 0 for full screen
    const sFiles stored{on, skinBytes(2), Bytes{1}};
    struct Case {
        const char *what;
        sFiles before;
        const Player &player;
        sLauncherOverrides overrides;
        sShown shown; // skin -1: no dialog opened
        bool play;
        long skin;             // when played: the skin,
        bool windowed, online; // a window, online scores (the game-pad flag)
        sFiles after;
    };
    // clang-format off
    std::vector<Case> cases = {
        {"first launch, Quit", {}, quit, {},
         {false, false, 0}, false, 0, true, false, {off, skinBytes(0), Bytes{0}}},
        {"a skin chosen, then Quit", {}, skinThenQuit, {},
         {false, false, 0}, false, 0, true, false, {off, skinBytes(4), Bytes{0}}},
        {"boxes changed, then Quit: only the skin is kept", {on, skinBytes(2), {}}, boxesThenQuit, {},
         {true, false, 2}, false, 0, true, false, {on, skinBytes(2), Bytes{0}}},
        {"every choice, then Play", {}, everythingThenPlay, {},
         {false, false, 0}, true, 6, false, true, {on, skinBytes(6), Bytes{1}}},
        {"the stored choices, scoring cleared, then Play", {on, skinBytes(6), Bytes{1}}, scoringClearedThenPlay, {},
         {true, true, 6}, true, 6, false, false, {on, skinBytes(6), Bytes{0}}},
        {"no dialog: the stored settings, the skin corrected", {on, skinBytes(9), Bytes{1}}, noDialog, {},
         {true, true, 1}, true, 1, false, true, {on, skinBytes(1), Bytes{1}}},
        {"a skin file without its full-screen file", {{}, skinBytes(4), {}}, quit, {},
         {false, false, 0}, false, 0, true, false, {off, skinBytes(0), Bytes{0}}},
        {"empty files", {Bytes{}, Bytes{}, Bytes{}}, quit, {},
         {false, false, 0}, false, 0, true, false, {off, skinBytes(0), Bytes{0}}},
        {"one byte of skin", {on, Bytes{5}, {}}, quit, {},
         {true, false, 5}, false, 0, true, false, {on, skinBytes(5), Bytes{0}}},
        {"files too long: their first bytes count", {Bytes{0, 1, 1, 1}, Bytes{3, 0, 0, 0, 0xff, 0xff, 0xff, 0xff}, Bytes{1, 0}}, quit, {},
         {true, true, 3}, false, 0, true, false, {on, skinBytes(3), Bytes{1}}},
        {"any byte but 0 is set, and written back as 1", {Bytes{0x80}, {}, Bytes{0x02}}, play, {},
         {false, true, 0}, true, 0, true, true, {off, skinBytes(0), Bytes{1}}},
        {"the last skin", {off, skinBytes(6), {}}, quit, {},
         {false, false, 6}, false, 0, true, false, {off, skinBytes(6), Bytes{0}}},
        {"--windowed --skin 3, Play", stored, play, {true, true, 3},
         {false, true, 3}, true, 3, true, true, {off, skinBytes(3), Bytes{1}}},
        {"--windowed --skin 3, Quit", stored, quit, {true, true, 3},
         {false, true, 3}, false, 0, true, false, {on, skinBytes(3), Bytes{1}}},
        {"--skin 5 and no dialog", stored, noDialog, {true, {}, 5},
         {true, true, 5}, true, 5, false, true, {on, skinBytes(2), Bytes{1}}},
        {"--no-launcher --windowed --skin 4", stored, play, {false, true, 4},
         {false, false, -1}, true, 4, true, true, {on, skinBytes(2), Bytes{1}}},
        {"--no-launcher", stored, play, {false, {}, {}},
         {false, false, -1}, true, 2, false, true, {on, skinBytes(2), Bytes{1}}},
    };
    // A stored skin outside the list selects the second one.
    for (int32_t stored : {7, -1, INT32_MIN, INT32_MAX})
        cases.push_back({"a skin outside the list", {off, skinBytes(stored), {}}, quit, {},
                         {false, false, 1}, false, 0, true, false, {off, skinBytes(1), Bytes{0}}});
    // clang-format on
    helpOpened = 0;
    KMiscTools::_urlOpener = [](const char *url, bool maximised) {
        helpAddress = url + std::string(maximised ? " maximised" : "");
        helpOpened.fetch_add(1);
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ProgramFolder folder;
        for (const auto &[name, bytes] : {std::pair{"fullscreen.stt", c.before.fullScreen},
                                          {"skin.stt", c.before.skin},
                                          {"gamepad.stt", c.before.gamePad}})
            if (bytes)
                folder.write(name, *bytes);
        sShown shown;
        EXPECT_EQ(launch(c.player, &shown, c.overrides), c.play);
        EXPECT_EQ(shown, c.shown);
        if (c.play) {
            EXPECT_EQ(gSkin, c.skin);
            EXPECT_EQ(isWindowed, c.windowed);
            EXPECT_EQ(isGamePad, c.online);
        }
        EXPECT_EQ(gOnlineScores, c.play && c.online);
        EXPECT_EQ(folder.read("fullscreen.stt"), *c.after.fullScreen);
        EXPECT_EQ(folder.read("skin.stt"), *c.after.skin);
        EXPECT_EQ(folder.read("gamepad.stt"), *c.after.gamePad);
        // Written through temporary files, none of which is left behind.
        EXPECT_EQ(folder.dataEntries(),
                  std::vector<std::string>({"fullscreen.stt", "gamepad.stt", "skin.stt"}));
        if (&c.player == &everythingThenPlay) {
            EXPECT_TRUE(support::waitUntil([] { return helpOpened.load() > 0; }))
                << "opened on a thread of its own";
            EXPECT_EQ(helpAddress,
                      "file://" + (folder.data() / "help" / "index.html").string() + " maximised");
        }
    }
    KMiscTools::_urlOpener = nullptr;
    EXPECT_EQ(helpOpened.load(), 1);
}

// Settings that cannot be written keep the choices for this run: without a data folder nothing is
// written; with a folder in the way of fullscreen.stt the pair stops there, the old skin file stays,
// and no temporary file is left behind.
TEST(Launcher, UnwritableSettingsKeepTheChoicesForThisRun) {
    for (bool dataFolder : {false, true}) {
        ProgramFolder folder;
        std::filesystem::remove_all(folder.data());
        if (dataFolder) {
            std::filesystem::create_directories(folder.data() / "fullscreen.stt");
            folder.write("skin.stt", skinBytes(2));
        }
        EXPECT_TRUE(launch([](sLauncherDialog &d) {
            d.fullScreenTicked = true;
            chooseSkin(d, 5);
            press(d, kIdPlay);
        }));
        EXPECT_FALSE(isWindowed);
        EXPECT_EQ(gSkin, 5);
        EXPECT_EQ(std::filesystem::exists(folder.data()), dataFolder);
        if (dataFolder) {
            EXPECT_TRUE(std::filesystem::is_directory(folder.data() / "fullscreen.stt"));
            EXPECT_EQ(folder.read("skin.stt"), skinBytes(2));
            EXPECT_EQ(folder.read("gamepad.stt"), Bytes({0})); // written on its own
            EXPECT_EQ(folder.dataEntries(),
                      std::vector<std::string>({"fullscreen.stt", "gamepad.stt", "skin.stt"}));
        }
    }
}

// The dialog's view may run in a child process of its own (so that its toolkit stays out of the game's
// memory): the launcher then ends exactly as with the view run here, and nothing the view does happens
// in this process. A child that dies without answering counts as a dialog that could not be shown. Once
// the dialog is on the screen, the game gets on with its own work while the player looks (told once).
TEST(Launcher, AViewRunApartEndsAsItWouldHere) {
    static int viewsRunHere = 0, whileShown = 0;
    whileLauncherShown = [] { ++whileShown; };
    const auto outcome = [](bool apart, const Player &player) {
        ProgramFolder folder;
        folder.write("fullscreen.stt", {0});
        folder.write("skin.stt", skinBytes(3));
        viewsRunHere = 0;
        const Player counted = [&](sLauncherDialog &d) {
            ++viewsRunHere;
            player(d);
        };
        const bool play = launch(counted, nullptr, {}, apart);
        EXPECT_EQ(viewsRunHere, apart ? 0 : 1);
        return std::tuple{play,
                          gSkin,
                          isWindowed,
                          isGamePad,
                          gOnlineScores,
                          folder.read("fullscreen.stt"),
                          folder.read("skin.stt"),
                          folder.read("gamepad.stt")};
    };
    const std::pair<const char *, Player> players[] = {
        {"Play with another skin, in a window, with scoring",
         [](sLauncherDialog &d) {
             chooseSkin(d, 5);
             d.fullScreenTicked = false;
             d.internetScoringTicked = true;
             noteLauncherShown();
             noteLauncherShown();
             press(d, kIdPlay);
         }},
        {"Quit after choosing a skin",
         [](sLauncherDialog &d) {
             chooseSkin(d, 6);
             press(d, kIdQuit);
         }},
        {"no dialog shown", [](sLauncherDialog &) {}},
    };
    for (const auto &[what, player] : players) {
        whileShown = 0;
        EXPECT_EQ(outcome(true, player), outcome(false, player)) << what;
        EXPECT_EQ(whileShown, what == players[0].first ? 1 : 0)
            << what << ": run here, the view holds this process";
    }
    whileLauncherShown = nullptr;
    const Player died = [](sLauncherDialog &d) {
        chooseSkin(d, 2);
        press(d, kIdPlay);
        std::raise(SIGKILL);
    };
    EXPECT_EQ(outcome(true, died), outcome(false, players[2].second));
}

} // namespace
