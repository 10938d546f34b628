// The launcher's behaviour, driven without a toolkit: a scripted view stands in for the player.
#include "launcher_test_support.h"

#include <csignal>

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <thread>

namespace {

// What the player saw when the dialog opened.
struct sShown {
    bool fullScreenTicked = false;
    bool internetScoringTicked = false;
    int selection = -1;
    int preview = -1;
    int listCount = 0;
};

// One run of the launcher: the dialog opens, `player` acts on it, and the launcher's answer comes back.
struct sLaunch {
    bool play = false;
    sShown shown;
};

sLaunch launch(const std::function<void(sLauncherDialog &)> &player) {
    sLaunch run;
    run.play = runWelcomeDialog([&](sLauncherDialog &dialog) {
        initLauncherDialog(dialog);
        run.shown = {dialog.fullScreenTicked, dialog.internetScoringTicked, dialog.listSelection,
                     dialog.shownPreview, dialog.listCount};
        player(dialog);
        return dialog.ended ? dialog.result : kDialogFailed;
    });
    return run;
}

void chooseSkin(sLauncherDialog &dialog, int skin) {
    dialog.listSelection = skin;
    EXPECT_TRUE(launcherCommand(dialog, kIdSkinList));
}

void press(sLauncherDialog &dialog, int button) {
    EXPECT_TRUE(launcherCommand(dialog, button));
}

Bytes skinBytes(int32_t skin) {
    uint32_t v = static_cast<uint32_t>(skin);
    return {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
            static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
}

// The settings files before a launch (nothing: no such file) and after it.
struct sFiles {
    std::optional<Bytes> fullScreen, skin, gamePad;
};

// One launch from stored settings: what the dialog showed, what the player did, what the run plays with
// and what is stored afterwards.
TEST(Launcher, StoredSettingsShowInTheDialogAndTheChoicesAreStored) {
    const auto quit = [](sLauncherDialog &d) { press(d, kIdQuit); };
    const auto play = [](sLauncherDialog &d) { press(d, kIdPlay); };
    const Bytes on{0}, off{1}; // fullscreen.stt holds 0 for full screen
    struct Case {
        const char *what;
        sFiles before;
        std::function<void(sLauncherDialog &)> player;
        bool fullScreenShown, scoringShown;
        int skinShown;
        bool play;     // and then, when played:
        long skin;     // the skin played with
        bool windowed; // a window
        bool online;   // online scores (the game-pad flag)
        sFiles after;
    };
    // clang-format off
    std::vector<Case> cases = {
        {"first launch, Quit", {}, quit, false, false, 0, false, 0, true, false, {off, skinBytes(0), Bytes{0}}},
        {"a skin chosen, then Quit", {},
         [](sLauncherDialog &d) {
             chooseSkin(d, 4);
             EXPECT_EQ(d.shownPreview, 4) << "the preview follows the list at once";
             EXPECT_FALSE(d.ended);
             press(d, kIdQuit);
         },
         false, false, 0, false, 0, true, false, {off, skinBytes(4), Bytes{0}}},
        {"boxes changed, then Quit: only the skin is kept", {on, skinBytes(2), {}},
         [](sLauncherDialog &d) {
             d.fullScreenTicked = false;
             d.internetScoringTicked = true;
             press(d, kIdQuit);
         },
         true, false, 2, false, 0, true, false, {on, skinBytes(2), Bytes{0}}},
        {"full screen ticked, then Quit", {},
         [](sLauncherDialog &d) {
             d.fullScreenTicked = true;
             press(d, kIdQuit);
         },
         false, false, 0, false, 0, true, false, {off, skinBytes(0), Bytes{0}}},
        {"every choice, then Play", {},
         [](sLauncherDialog &d) {
             d.fullScreenTicked = true;
             d.internetScoringTicked = true;
             chooseSkin(d, 6);
             press(d, kIdPlay);
         },
         false, false, 0, true, 6, false, true, {on, skinBytes(6), Bytes{1}}},
        {"the stored choices, scoring cleared, then Play", {on, skinBytes(6), Bytes{1}},
         [](sLauncherDialog &d) {
             d.internetScoringTicked = false;
             press(d, kIdPlay);
         },
         true, true, 6, true, 6, false, false, {on, skinBytes(6), Bytes{0}}},
        {"a skin file without its full-screen file", {{}, skinBytes(4), {}}, quit,
         false, false, 0, false, 0, true, false, {off, skinBytes(0), Bytes{0}}},
        {"empty files", {Bytes{}, Bytes{}, Bytes{}}, quit,
         false, false, 0, false, 0, true, false, {off, skinBytes(0), Bytes{0}}},
        {"one byte of skin", {on, Bytes{5}, {}}, quit,
         true, false, 5, false, 0, true, false, {on, skinBytes(5), Bytes{0}}},
        {"files too long: their first bytes count",
         {Bytes{0, 1, 1, 1}, Bytes{3, 0, 0, 0, 0xff, 0xff, 0xff, 0xff}, Bytes{1, 0}}, quit,
         true, true, 3, false, 0, true, false, {on, skinBytes(3), Bytes{1}}},
        {"any byte but 0 is set, and written back as 1", {Bytes{0x80}, {}, Bytes{0x02}}, play,
         false, true, 0, true, 0, true, true, {off, skinBytes(0), Bytes{1}}},
    };
    // clang-format on
    // A stored skin outside the list selects the second one; the first and last are kept.
    for (int32_t stored : {9, 7, -1, INT32_MIN, INT32_MAX})
        cases.push_back({"a skin outside the list",
                         {off, skinBytes(stored), {}},
                         quit,
                         false,
                         false,
                         1,
                         false,
                         0,
                         true,
                         false,
                         {off, skinBytes(1), Bytes{0}}});
    for (int32_t stored : {0, 6})
        cases.push_back({"the first or last skin",
                         {off, skinBytes(stored), {}},
                         quit,
                         false,
                         false,
                         stored,
                         false,
                         0,
                         true,
                         false,
                         {off, skinBytes(stored), Bytes{0}}});

    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ProgramFolder folder;
        const std::pair<const char *, const std::optional<Bytes> *> files[] = {
            {"fullscreen.stt", &c.before.fullScreen},
            {"skin.stt", &c.before.skin},
            {"gamepad.stt", &c.before.gamePad}};
        for (const auto &[name, bytes] : files)
            if (*bytes)
                folder.write(name, **bytes);
        const sLaunch run = launch(c.player);
        EXPECT_EQ(run.shown.fullScreenTicked, c.fullScreenShown);
        EXPECT_EQ(run.shown.internetScoringTicked, c.scoringShown);
        EXPECT_EQ(run.shown.selection, c.skinShown);
        EXPECT_EQ(run.shown.preview, c.skinShown);
        EXPECT_EQ(run.shown.listCount, kSkinCount);
        EXPECT_EQ(itemCount, kSkinCount);
        EXPECT_EQ(run.play, c.play);
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
    }
}

TEST(Launcher, UnwritableSettingsKeepTheChoicesForThisRun) {
    {
        // No data folder at all: nothing is written, the choices still hold.
        ProgramFolder folder;
        std::filesystem::remove_all(folder.data());
        sLaunch run = launch([](sLauncherDialog &d) {
            d.fullScreenTicked = true;
            chooseSkin(d, 3);
            press(d, kIdPlay);
        });
        EXPECT_TRUE(run.play);
        EXPECT_FALSE(isWindowed);
        EXPECT_EQ(gSkin, 3);
        EXPECT_FALSE(std::filesystem::exists(folder.data()));
    }
    {
        // fullscreen.stt cannot be replaced (a folder stands in its way): the pair stops there, the
        // old skin file stays as it was, and no temporary file is left behind.
        ProgramFolder folder;
        std::filesystem::create_directory(folder.data() / "fullscreen.stt");
        folder.write("skin.stt", skinBytes(2));
        sLaunch run = launch([](sLauncherDialog &d) {
            chooseSkin(d, 5);
            press(d, kIdPlay);
        });
        EXPECT_TRUE(run.play);
        EXPECT_EQ(gSkin, 5);
        EXPECT_TRUE(std::filesystem::is_directory(folder.data() / "fullscreen.stt"));
        EXPECT_EQ(folder.read("skin.stt"), skinBytes(2));
        EXPECT_EQ(folder.read("gamepad.stt"), Bytes({0})); // written on its own
        EXPECT_EQ(folder.dataEntries(),
                  std::vector<std::string>({"fullscreen.stt", "gamepad.stt", "skin.stt"}));
    }
}

TEST(Launcher, OnlyPlayAndQuitEndTheDialog) {
    ProgramFolder folder;
    static std::string openedUrl;
    static std::atomic<int> opened{0};
    static bool openedMaximised = false;
    openedUrl.clear();
    opened = 0;
    KMiscTools::_urlOpener = [](const char *url, bool maximised) {
        openedUrl = url;
        openedMaximised = maximised;
        opened.fetch_add(1);
    };

    sLaunch run = launch([](sLauncherDialog &d) {
        EXPECT_FALSE(launcherCommand(d, kIdCancel)); // Escape, the close button
        EXPECT_FALSE(launcherCommand(d, 999));
        EXPECT_FALSE(d.ended);
        press(d, kIdHelp);
        EXPECT_FALSE(d.ended) << "Help leaves the dialog open";
        chooseSkin(d, 2);
        press(d, kIdPlay);
    });
    for (int wait = 0; wait < 6000 && opened.load() == 0; ++wait) // a minute at most
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    KMiscTools::_urlOpener = nullptr;

    EXPECT_TRUE(run.play);
    EXPECT_EQ(gSkin, 2);
    ASSERT_EQ(opened.load(), 1);
    EXPECT_EQ(openedUrl, "file://" + (folder.data() / "help" / "index.html").string());
    EXPECT_TRUE(openedMaximised);
}

TEST(Launcher, DialogThatCannotBeShownStartsTheGameWithTheStoredSettings) {
    ProgramFolder folder;
    folder.write("fullscreen.stt", {0});
    folder.write("skin.stt", skinBytes(9));
    folder.write("gamepad.stt", {1});
    EXPECT_TRUE(runWelcomeDialog([](sLauncherDialog &) { return kDialogFailed; }));
    EXPECT_FALSE(isWindowed);
    EXPECT_EQ(gSkin, 1) << "the game never looks for a skin folder that does not exist";
    EXPECT_TRUE(isGamePad);
    EXPECT_TRUE(gOnlineScores) << "the stored consent of an earlier Play";
    EXPECT_EQ(folder.read("skin.stt"), skinBytes(1));

    ProgramFolder fresh;
    EXPECT_TRUE(runWelcomeDialog(nullptr));
    EXPECT_TRUE(isWindowed);
    EXPECT_FALSE(gOnlineScores);
}

// The command line's choices: they preset the dialog, what the player plays with is stored, and
// nothing else the command line asked for is.
TEST(Launcher, CommandLineChoicesPresetTheDialogWithoutBeingStoredOnTheirOwn) {
    enum ePlayer { kPlays, kQuits, kNoDialogPossible };
    struct Case {
        const char *what;
        sLauncherOverrides overrides;
        ePlayer player;
        bool shownFullScreen; // what the dialog opened with (when one opened)
        int shownSkin;
        bool play, windowed; // the run's choices
        long skin;
        Bytes storedFullScreen; // the files afterwards (stored before: full screen, skin 2)
        int32_t storedSkin;
    } cases[] = {
        {"--windowed --skin 3, Play", {true, true, 3}, kPlays, false, 3, true, true, 3, {1}, 3},
        {"--windowed --skin 3, Quit", {true, true, 3}, kQuits, false, 3, false, false, 3, {0}, 3},
        {"--skin 5 and no display", {true, {}, 5}, kNoDialogPossible, false, -1, true, false, 5, {0}, 2},
        {"--no-launcher --windowed --skin 4", {false, true, 4}, kPlays, false, -1, true, true, 4, {0}, 2},
        {"--no-launcher", {false, {}, {}}, kPlays, false, -1, true, false, 2, {0}, 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ProgramFolder folder;
        folder.write("fullscreen.stt", {0});
        folder.write("skin.stt", skinBytes(2));
        folder.write("gamepad.stt", {1});
        bool viewed = false;
        sShown shown;
        const bool play = runWelcomeDialog(
            [&](sLauncherDialog &dialog) {
                viewed = true;
                if (c.player == kNoDialogPossible)
                    return kDialogFailed;
                initLauncherDialog(dialog);
                shown = {dialog.fullScreenTicked, dialog.internetScoringTicked, dialog.listSelection,
                         dialog.shownPreview, dialog.listCount};
                press(dialog, c.player == kPlays ? kIdPlay : kIdQuit);
                return dialog.result;
            },
            c.overrides);
        EXPECT_EQ(viewed, c.overrides.showDialog);
        if (c.shownSkin >= 0) {
            EXPECT_EQ(shown.fullScreenTicked, c.shownFullScreen);
            EXPECT_EQ(shown.selection, c.shownSkin);
            EXPECT_EQ(shown.preview, c.shownSkin);
        }
        EXPECT_EQ(play, c.play);
        if (play) {
            EXPECT_EQ(isWindowed, c.windowed);
            EXPECT_EQ(gSkin, c.skin);
            EXPECT_TRUE(gOnlineScores) << "the stored consent holds";
        }
        EXPECT_EQ(folder.read("fullscreen.stt"), c.storedFullScreen);
        EXPECT_EQ(folder.read("skin.stt"), skinBytes(c.storedSkin));
        EXPECT_EQ(folder.read("gamepad.stt"), Bytes({1}));
    }
}

// The dialog's view may run in a child process of its own (so that its toolkit stays out of the game's
// memory): the launcher then ends exactly as with the view run here, and nothing the view does happens
// in this process. A child that dies without answering counts as a dialog that could not be shown.
TEST(Launcher, AViewRunApartEndsAsItWouldHere) {
    struct sOutcome {
        bool play;
        long skin;
        bool windowed, gamePad, online;
        Bytes fullScreenFile, skinFile, gamePadFile;
        bool operator==(const sOutcome &) const = default;
    };
    static int viewsRunHere = 0;
    const auto outcome = [](bool apart, const std::function<int(sLauncherDialog &)> &player) {
        ProgramFolder folder;
        folder.write("fullscreen.stt", {0});
        folder.write("skin.stt", skinBytes(3));
        const LauncherView view = [&](sLauncherDialog &dialog) {
            ++viewsRunHere;
            initLauncherDialog(dialog);
            return player(dialog);
        };
        viewsRunHere = 0;
        const bool play = runWelcomeDialog(
            apart ? LauncherView([&](sLauncherDialog &dialog) { return runViewApart(dialog, view); }) : view);
        EXPECT_EQ(viewsRunHere, apart ? 0 : 1);
        return sOutcome{play,
                        gSkin,
                        isWindowed,
                        isGamePad,
                        gOnlineScores,
                        folder.read("fullscreen.stt"),
                        folder.read("skin.stt"),
                        folder.read("gamepad.stt")};
    };
    const auto ended = [](sLauncherDialog &d) { return d.ended ? d.result : kDialogFailed; };
    const std::pair<const char *, std::function<int(sLauncherDialog &)>> players[] = {
        {"Play with another skin, in a window, with scoring",
         [&](sLauncherDialog &d) {
             chooseSkin(d, 5);
             d.fullScreenTicked = false;
             d.internetScoringTicked = true;
             press(d, kIdPlay);
             return ended(d);
         }},
        {"Quit after choosing a skin",
         [&](sLauncherDialog &d) {
             chooseSkin(d, 6);
             press(d, kIdQuit);
             return ended(d);
         }},
        {"no dialog shown", [](sLauncherDialog &) { return kDialogFailed; }},
    };
    for (const auto &[what, player] : players)
        EXPECT_EQ(outcome(true, player), outcome(false, player)) << what;

    // Once the dialog is on the screen, the game gets on with its own work while the player looks.
    int whileShown = 0;
    whileLauncherShown = [&] { ++whileShown; };
    const auto shownThenPlay = [](sLauncherDialog &d) {
        noteLauncherShown();
        noteLauncherShown(); // told once only
        press(d, kIdPlay);
        return d.result;
    };
    EXPECT_EQ(outcome(true, shownThenPlay), outcome(false, shownThenPlay));
    EXPECT_EQ(whileShown, 1) << "run here, the view holds this process until it ends";
    whileLauncherShown = nullptr;

    const sOutcome died = outcome(true, [](sLauncherDialog &d) {
        chooseSkin(d, 2);
        press(d, kIdPlay);
        std::raise(SIGKILL);
        return kDialogPlay;
    });
    EXPECT_EQ(died, outcome(false, [](sLauncherDialog &) { return kDialogFailed; }));
}

} // namespace
