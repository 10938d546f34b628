// The launcher's behaviour, driven without a toolkit: a scripted view stands in for the player.
#include "launcher_test_support.h"

#include <csignal>

#include <atomic>
#include <chrono>
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

TEST(Launcher, FirstLaunchShowsWindowModeNoScoringClassicAndCreatesTheFiles) {
    ProgramFolder folder;
    sLaunch run = launch([](sLauncherDialog &d) { press(d, kIdQuit); });

    EXPECT_FALSE(run.play);
    EXPECT_FALSE(run.shown.fullScreenTicked);
    EXPECT_FALSE(run.shown.internetScoringTicked);
    EXPECT_EQ(run.shown.selection, 0);
    EXPECT_EQ(run.shown.preview, 0);
    EXPECT_EQ(run.shown.listCount, 7);
    EXPECT_EQ(itemCount, 7);
    EXPECT_EQ(folder.read("fullscreen.stt"), Bytes({1}));
    EXPECT_EQ(folder.read("skin.stt"), skinBytes(0));
    EXPECT_EQ(folder.read("gamepad.stt"), Bytes({0}));
    // Written through temporary files, none of which is left behind.
    EXPECT_EQ(folder.dataEntries(), std::vector<std::string>({"fullscreen.stt", "gamepad.stt", "skin.stt"}));
}

TEST(Launcher, SkinChosenBeforeQuitIsStoredAndShownAtTheNextLaunch) {
    ProgramFolder folder;
    sLaunch first = launch([](sLauncherDialog &d) {
        chooseSkin(d, 4); // "Cool Blue"
        EXPECT_EQ(d.shownPreview, 4) << "the preview follows the list at once";
        EXPECT_FALSE(d.ended);
        press(d, kIdQuit);
    });
    EXPECT_FALSE(first.play);
    EXPECT_STREQ(kSkinNames[4], "Cool Blue");
    EXPECT_EQ(folder.read("skin.stt"), skinBytes(4));

    gSkin = 0; // a new run of the program
    sLaunch second = launch([](sLauncherDialog &d) { press(d, kIdQuit); });
    EXPECT_EQ(second.shown.selection, 4);
    EXPECT_EQ(second.shown.preview, 4);
}

TEST(Launcher, QuitLeavesTheStoredBoxesAsTheyWere) {
    ProgramFolder folder;
    folder.write("fullscreen.stt", {0}); // stored: full screen
    folder.write("skin.stt", skinBytes(2));
    sLaunch run = launch([](sLauncherDialog &d) {
        d.fullScreenTicked = false; // the player clears "Play Full Screen"…
        d.internetScoringTicked = true;
        press(d, kIdQuit); // …and quits
    });
    EXPECT_FALSE(run.play);
    EXPECT_TRUE(run.shown.fullScreenTicked);
    EXPECT_EQ(folder.read("fullscreen.stt"), Bytes({0}));
    EXPECT_EQ(folder.read("gamepad.stt"), Bytes({0}));
    EXPECT_EQ(folder.read("skin.stt"), skinBytes(2));
    EXPECT_FALSE(gOnlineScores);

    // And the other way round: ticking full screen and quitting stores no full screen.
    ProgramFolder fresh;
    launch([](sLauncherDialog &d) {
        d.fullScreenTicked = true;
        press(d, kIdQuit);
    });
    EXPECT_EQ(fresh.read("fullscreen.stt"), Bytes({1}));
}

TEST(Launcher, PlayStoresEveryChoiceAndInternetScoringDecidesOnlineScores) {
    ProgramFolder folder;
    sLaunch run = launch([](sLauncherDialog &d) {
        d.fullScreenTicked = true;
        d.internetScoringTicked = true;
        chooseSkin(d, 6);
        press(d, kIdPlay);
    });
    EXPECT_TRUE(run.play);
    EXPECT_FALSE(isWindowed);
    EXPECT_TRUE(isGamePad);
    EXPECT_EQ(gSkin, 6);
    EXPECT_TRUE(gOnlineScores);
    EXPECT_EQ(folder.read("fullscreen.stt"), Bytes({0}));
    EXPECT_EQ(folder.read("skin.stt"), skinBytes(6));
    EXPECT_EQ(folder.read("gamepad.stt"), Bytes({1}));

    // The next launch shows the same choices; clearing the box and playing turns online scores off.
    sLaunch next = launch([](sLauncherDialog &d) {
        d.internetScoringTicked = false;
        press(d, kIdPlay);
    });
    EXPECT_TRUE(next.shown.fullScreenTicked);
    EXPECT_TRUE(next.shown.internetScoringTicked);
    EXPECT_EQ(next.shown.selection, 6);
    EXPECT_TRUE(next.play);
    EXPECT_FALSE(gOnlineScores);
    EXPECT_EQ(folder.read("gamepad.stt"), Bytes({0}));
}

TEST(Launcher, StoredSkinOutsideTheListSelectsForHer) {
    for (int32_t stored : {9, 7, -1, INT32_MIN, INT32_MAX}) {
        ProgramFolder folder;
        folder.write("fullscreen.stt", {1});
        folder.write("skin.stt", skinBytes(stored));
        sLaunch run = launch([](sLauncherDialog &d) { press(d, kIdQuit); });
        EXPECT_EQ(run.shown.selection, 1) << "stored " << stored;
        EXPECT_EQ(run.shown.preview, 1) << "stored " << stored;
        EXPECT_EQ(folder.read("skin.stt"), skinBytes(1)) << "stored " << stored;
    }
    for (int32_t stored : {0, 6}) {
        ProgramFolder folder;
        folder.write("fullscreen.stt", {1});
        folder.write("skin.stt", skinBytes(stored));
        EXPECT_EQ(launch([](sLauncherDialog &d) { press(d, kIdQuit); }).shown.selection, stored);
    }
}

TEST(Launcher, SkinFileIsReadOnlyWithTheFullScreenFile) {
    ProgramFolder folder;
    folder.write("skin.stt", skinBytes(4));
    sLaunch run = launch([](sLauncherDialog &d) { press(d, kIdQuit); });
    EXPECT_EQ(run.shown.selection, 0);
    EXPECT_EQ(folder.read("skin.stt"), skinBytes(0)); // the pair is written back together
}

TEST(Launcher, ShortEmptyAndOversizedFilesReplaceOnlyTheBytesTheyHold) {
    {
        ProgramFolder folder;
        folder.write("fullscreen.stt", {});
        folder.write("skin.stt", {});
        folder.write("gamepad.stt", {});
        sLaunch run = launch([](sLauncherDialog &d) { press(d, kIdQuit); });
        EXPECT_FALSE(run.shown.fullScreenTicked);
        EXPECT_FALSE(run.shown.internetScoringTicked);
        EXPECT_EQ(run.shown.selection, 0);
        EXPECT_EQ(folder.read("fullscreen.stt"), Bytes({1}));
        EXPECT_EQ(folder.read("skin.stt"), skinBytes(0));
    }
    {
        ProgramFolder folder;
        folder.write("fullscreen.stt", {0});
        folder.write("skin.stt", {5}); // one byte: the low byte of the skin
        sLaunch run = launch([](sLauncherDialog &d) { press(d, kIdQuit); });
        EXPECT_TRUE(run.shown.fullScreenTicked);
        EXPECT_EQ(run.shown.selection, 5);
        EXPECT_EQ(folder.read("skin.stt"), skinBytes(5));
    }
    {
        ProgramFolder folder;
        // Too long: only the first bytes count, and the files are written back at their own size.
        folder.write("fullscreen.stt", {0, 1, 1, 1});
        folder.write("skin.stt", {3, 0, 0, 0, 0xff, 0xff, 0xff, 0xff});
        folder.write("gamepad.stt", {1, 0});
        sLaunch run = launch([](sLauncherDialog &d) { press(d, kIdQuit); });
        EXPECT_TRUE(run.shown.fullScreenTicked);
        EXPECT_TRUE(run.shown.internetScoringTicked);
        EXPECT_EQ(run.shown.selection, 3);
        EXPECT_EQ(folder.read("fullscreen.stt"), Bytes({0}));
        EXPECT_EQ(folder.read("skin.stt"), skinBytes(3));
        EXPECT_EQ(folder.read("gamepad.stt"), Bytes({1}));
    }
    {
        // Any byte but 0 counts as set, and is written back as 1.
        ProgramFolder folder;
        folder.write("fullscreen.stt", {0x80});
        folder.write("gamepad.stt", {0x02});
        sLaunch run = launch([](sLauncherDialog &d) { press(d, kIdPlay); });
        EXPECT_FALSE(run.shown.fullScreenTicked);
        EXPECT_TRUE(run.shown.internetScoringTicked);
        EXPECT_EQ(folder.read("fullscreen.stt"), Bytes({1}));
        EXPECT_EQ(folder.read("gamepad.stt"), Bytes({1}));
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
    for (int wait = 0; wait < 200 && opened.load() == 0; ++wait)
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
