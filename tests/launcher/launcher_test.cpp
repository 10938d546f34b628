// The launcher: its behaviour driven without a toolkit (a scripted view stands in for the player), and
// its GTK view on a real X server (an Xvfb the test starts itself), used like a player.
#include "shell/launcher.h"
#include "shell/launcher_gtk.h"
#include "support/program_folder.h"
#include "support/wait.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

extern char **environ;

// GTK, GLib and fontconfig keep caches for the life of the process; they are not the launcher's leaks.
extern "C" const char *__lsan_default_suppressions() {
    return "leak:libgtk-3.so\nleak:libgdk-3.so\nleak:libglib-2.0.so\nleak:libgobject-2.0.so\n"
           "leak:libgio-2.0.so\nleak:libfontconfig.so\nleak:libpango\nleak:libcairo.so\n"
           "leak:libgdk_pixbuf\nleak:libX11.so\nleak:libharfbuzz.so\nleak:libatk\nleak:libdbus\n";
}

// A throw-away program folder for launcher tests that read and write settings: the names are those
// of its data folder, and each launch starts from the program's built-in defaults.
using Bytes = support::Bytes;

class ProgramFolder : public support::ProgramFolder {
public:
    ProgramFolder() {
        gSkin = 0;
        isWindowed = true;
        isGamePad = false;
        itemCount = 0;
        gOnlineScores = false;
    }
    void write(const std::string &name, const Bytes &bytes) const {
        support::ProgramFolder::write("data/" + name, bytes);
    }
    Bytes read(const std::string &name) const { return support::ProgramFolder::read("data/" + name); }
    // What the three settings files hold: full screen, skin, online scores.
    std::vector<Bytes> settings() const {
        return {read("fullscreen.stt"), read("skin.stt"), read("gamepad.stt")};
    }
    // Every name in the data folder, to catch temporary files left behind.
    std::vector<std::string> dataEntries() const { return entries("data"); }
};

namespace {

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

// What the player does, step by step: a digit chooses that skin, f and s flip the full-screen and
// scoring boxes, x presses Escape and an unknown control (neither ends the dialog), n says the dialog is
// on the screen, h asks for help, p plays, q quits and k kills the view's process.
void act(sLauncherDialog &d, const std::string &steps) {
    for (char step : steps) {
        if (step >= '0' && step <= '9') {
            d.listSelection = step - '0';
            EXPECT_TRUE(launcherCommand(d, kIdSkinList));
            EXPECT_EQ(d.shownPreview, d.listSelection) << "the preview follows the list at once";
        } else if (step == 'f' || step == 's') {
            (step == 'f' ? d.fullScreenTicked : d.internetScoringTicked) ^= true;
        } else if (step == 'x') {
            EXPECT_FALSE(launcherCommand(d, kIdCancel) || launcherCommand(d, 999) || d.ended);
        } else if (step == 'n') {
            noteLauncherShown();
        } else if (step == 'k') {
            std::raise(SIGKILL);
        } else {
            EXPECT_TRUE(launcherCommand(d, step == 'h' ? kIdHelp : step == 'p' ? kIdPlay : kIdQuit));
        }
    }
}

int viewsRunHere = 0;

// The launcher with a view that opens the dialog and lets the player take `steps`; true to play. A dialog
// that ends without Play or Quit counts as one that could not be shown.
bool launch(const std::string &steps, sShown *shown = nullptr, const sLauncherOverrides &overrides = {},
            bool apart = false) {
    const LauncherView view = [&](sLauncherDialog &dialog) {
        initLauncherDialog(dialog);
        EXPECT_EQ(dialog.shownPreview, dialog.listSelection);
        if (shown)
            *shown = {dialog.fullScreenTicked, dialog.internetScoringTicked, dialog.listSelection};
        ++viewsRunHere;
        act(dialog, steps);
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
    const Bytes on{0}, off{1}; // fullscreen.stt holds 0 for full screen
    const sFiles stored{on, skinBytes(2), Bytes{1}};
    struct Case {
        const char *what;
        sFiles before;
        const char *steps;
        sLauncherOverrides overrides;
        sShown shown; // skin -1: no dialog opened
        bool play;
        long skin;             // when played: the skin,
        bool windowed, online; // a window, online scores (the game-pad flag)
        sFiles after;
    };
    // clang-format off
    std::vector<Case> cases = {
        {"first launch, Quit", {}, "q", {},
         {false, false, 0}, false, 0, true, false, {off, skinBytes(0), Bytes{0}}},
        {"a skin chosen, then Quit", {}, "4q", {},
         {false, false, 0}, false, 0, true, false, {off, skinBytes(4), Bytes{0}}},
        {"boxes changed, then Quit: only the skin is kept", {on, skinBytes(2), {}}, "fsq", {},
         {true, false, 2}, false, 0, true, false, {on, skinBytes(2), Bytes{0}}},
        {"every choice, then Play", {}, "xhfs6p", {},
         {false, false, 0}, true, 6, false, true, {on, skinBytes(6), Bytes{1}}},
        {"the stored choices, scoring cleared, then Play", {on, skinBytes(6), Bytes{1}}, "sp", {},
         {true, true, 6}, true, 6, false, false, {on, skinBytes(6), Bytes{0}}},
        {"no dialog: the stored settings, the skin corrected", {on, skinBytes(9), Bytes{1}}, "", {},
         {true, true, 1}, true, 1, false, true, {on, skinBytes(1), Bytes{1}}},
        {"a skin file without its full-screen file", {{}, skinBytes(4), {}}, "q", {},
         {false, false, 0}, false, 0, true, false, {off, skinBytes(0), Bytes{0}}},
        {"empty files", {Bytes{}, Bytes{}, Bytes{}}, "q", {},
         {false, false, 0}, false, 0, true, false, {off, skinBytes(0), Bytes{0}}},
        {"one byte of skin", {on, Bytes{5}, {}}, "q", {},
         {true, false, 5}, false, 0, true, false, {on, skinBytes(5), Bytes{0}}},
        {"files too long: their first bytes count", {Bytes{0, 1, 1, 1}, Bytes{3, 0, 0, 0, 0xff, 0xff, 0xff, 0xff}, Bytes{1, 0}}, "q", {},
         {true, true, 3}, false, 0, true, false, {on, skinBytes(3), Bytes{1}}},
        {"any byte but 0 is set, and written back as 1", {Bytes{0x80}, {}, Bytes{0x02}}, "p", {},
         {false, true, 0}, true, 0, true, true, {off, skinBytes(0), Bytes{1}}},
        {"the last skin", {off, skinBytes(6), {}}, "q", {},
         {false, false, 6}, false, 0, true, false, {off, skinBytes(6), Bytes{0}}},
        {"--windowed --skin 3, Play", stored, "p", {true, true, 3},
         {false, true, 3}, true, 3, true, true, {off, skinBytes(3), Bytes{1}}},
        {"--windowed --skin 3, Quit", stored, "q", {true, true, 3},
         {false, true, 3}, false, 0, true, false, {on, skinBytes(3), Bytes{1}}},
        {"--skin 5 and no dialog", stored, "", {true, {}, 5},
         {true, true, 5}, true, 5, false, true, {on, skinBytes(2), Bytes{1}}},
        {"--no-launcher --windowed --skin 4", stored, "p", {false, true, 4},
         {false, false, -1}, true, 4, true, true, {on, skinBytes(2), Bytes{1}}},
        {"--no-launcher", stored, "p", {false, {}, {}},
         {false, false, -1}, true, 2, false, true, {on, skinBytes(2), Bytes{1}}},
    };
    // A stored skin outside the list selects the second one.
    for (int32_t stored : {7, -1, INT32_MIN, INT32_MAX})
        cases.push_back({"a skin outside the list", {off, skinBytes(stored), {}}, "q", {},
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
        EXPECT_EQ(launch(c.steps, &shown, c.overrides), c.play);
        EXPECT_EQ(shown, c.shown);
        if (c.play) {
            EXPECT_EQ(gSkin, c.skin);
            EXPECT_EQ(isWindowed, c.windowed);
            EXPECT_EQ(isGamePad, c.online);
        }
        EXPECT_EQ(gOnlineScores, c.play && c.online);
        EXPECT_EQ(folder.settings(), std::vector({*c.after.fullScreen, *c.after.skin, *c.after.gamePad}));
        // Written through temporary files, none of which is left behind.
        EXPECT_EQ(folder.dataEntries(),
                  std::vector<std::string>({"fullscreen.stt", "gamepad.stt", "skin.stt"}));
        if (std::string(c.steps).find('h') != std::string::npos) {
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
        EXPECT_TRUE(launch("f5p"));
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
    static int whileShown = 0;
    whileLauncherShown = [] { ++whileShown; };
    const auto outcome = [](bool apart, const std::string &steps) {
        ProgramFolder folder;
        folder.write("fullscreen.stt", {0});
        folder.write("skin.stt", skinBytes(3));
        viewsRunHere = 0;
        const bool play = launch(steps, nullptr, {}, apart);
        EXPECT_EQ(viewsRunHere, apart ? 0 : 1);
        return std::tuple{play, gSkin, isWindowed, isGamePad, gOnlineScores, folder.settings()};
    };
    // Play with another skin, in a window, with scoring; no dialog shown.
    for (const char *steps : {"5fsnnp", ""}) {
        whileShown = 0;
        EXPECT_EQ(outcome(true, steps), outcome(false, steps)) << steps;
        EXPECT_EQ(whileShown, *steps ? 1 : 0) << steps << ": run here, the view holds this process";
    }
    whileLauncherShown = nullptr;
    EXPECT_EQ(outcome(true, "2pk"), outcome(false, ""));
}

// Starts Xvfb on a free display number and makes it the display; its process, or -1 when it cannot.
pid_t startXvfb() {
    int ready[2];
    if (pipe(ready) != 0)
        return -1;
    const std::string fd = std::to_string(ready[1]);
    const char *argv[] = {"Xvfb",        "-displayfd", fd.c_str(), "-screen", "0",
                          "1024x768x24", "-nolisten",  "tcp",      nullptr};
    pid_t pid = -1;
    const bool spawned =
        posix_spawnp(&pid, "Xvfb", nullptr, nullptr, const_cast<char **>(argv), environ) == 0;
    close(ready[1]);
    // Xvfb writes its display number once it accepts clients.
    std::string number;
    pollfd wait{ready[0], POLLIN, 0};
    for (char c = 0; spawned && poll(&wait, 1, 10000) > 0 && read(ready[0], &c, 1) == 1 && c != '\n';)
        number += c;
    close(ready[0]);
    if (spawned && number.empty()) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
    if (number.empty())
        return -1;
    setenv("DISPLAY", (":" + number).c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");
    return pid;
}

void pump() {
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
}

// Waits, pumping events, until `done` holds; false after a minute (a busy machine may take seconds).
template <typename Condition> bool pumpUntil(Condition done) {
    return support::waitUntil([&] {
        pump();
        return done();
    });
}

// The one skin whose preview frame shows, -1 for none, -2 for more than one.
int visiblePreview(const sLauncherWindow &w) {
    int shown = -1;
    for (int skin = 0; skin < kSkinCount; ++skin)
        if (gtk_widget_get_visible(w.previewFrames[skin]))
            shown = shown == -1 ? skin : -2;
    return shown;
}

// The stored skin's preview is damaged: its frame stays empty at full size. Escape, the close button
// and Help leave the dialog open; Play ends it with the choices clicked.
TEST(LauncherView, ShowsTheControlsCentredAndPlayEndsItWithTheChoices) {
    const pid_t xvfb = startXvfb();
    if (xvfb < 0 || !gtk_init_check(nullptr, nullptr)) {
        if (xvfb > 0)
            kill(xvfb, SIGTERM);
        GTEST_SKIP() << "skipped: no X server for the GTK view";
    }
    ProgramFolder folder;
    for (int skin = 0; skin < kSkinCount; ++skin) {
        GdkPixbuf *picture = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, kPreviewWidth, kPreviewHeight);
        gdk_pixbuf_fill(picture, 0x20c040ff);
        std::filesystem::create_directories(folder.data() / "skins" / std::to_string(skin));
        ASSERT_TRUE(gdk_pixbuf_save(
            picture, folder.path("data/skins/" + std::to_string(skin) + "/preview.png").c_str(), "png",
            nullptr, nullptr));
        g_object_unref(picture);
    }
    folder.write("skins/3/preview.png", {0x89, 'P', 'N', 'G', 0, 1, 2});
    folder.write("fullscreen.stt", {1});
    folder.write("skin.stt", {3, 0, 0, 0});
    helpOpened = 0;
    KMiscTools::_urlOpener = [](const char *, bool) { helpOpened.fetch_add(1); };

    alarm(60); // a dialog that never ends stops the test program instead of holding it for ever
    const bool play = runWelcomeDialog([&](sLauncherDialog &dialog) {
        return runGtkLauncherView(dialog, [&](sLauncherWindow &w) {
            EXPECT_EQ(gtk_combo_box_get_active(GTK_COMBO_BOX(w.skinList)), 3);
            EXPECT_FALSE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(w.fullScreen)));
            EXPECT_FALSE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(w.internetScoring)));
            GdkWindow *window = gtk_widget_get_window(w.window);
            int x = 0, y = 0;
            gdk_window_get_origin(window, &x, &y);
            EXPECT_NEAR(x, (1024 - gdk_window_get_width(window)) / 2, 1) << "centred on the screen";
            EXPECT_NEAR(y, (768 - gdk_window_get_height(window)) / 2, 1) << "centred on the screen";

            EXPECT_EQ(visiblePreview(w), 3);
            EXPECT_EQ(gtk_image_get_storage_type(GTK_IMAGE(w.previewImages[3])), GTK_IMAGE_EMPTY);
            EXPECT_GE(gtk_widget_get_allocated_width(w.previewImages[3]), kPreviewWidth);
            EXPECT_GE(gtk_widget_get_allocated_height(w.previewImages[3]), kPreviewHeight);
            // Only the chosen skin's picture; a new choice swaps it at once.
            for (int skin : {2, 5}) {
                gtk_combo_box_set_active(GTK_COMBO_BOX(w.skinList), skin);
                EXPECT_EQ(visiblePreview(w), skin);
                EXPECT_EQ(gtk_image_get_storage_type(GTK_IMAGE(w.previewImages[skin])), GTK_IMAGE_PIXBUF);
            }
            gdk_test_simulate_key(window, 10, 10, GDK_KEY_Escape, GdkModifierType(0), GDK_KEY_PRESS);
            gdk_test_simulate_key(window, 10, 10, GDK_KEY_Escape, GdkModifierType(0), GDK_KEY_RELEASE);
            GdkEvent *close = gdk_event_new(GDK_DELETE);
            close->any.window = GDK_WINDOW(g_object_ref(window));
            gtk_main_do_event(close);
            gdk_event_free(close);
            gtk_button_clicked(GTK_BUTTON(w.help));
            EXPECT_TRUE(pumpUntil([] { return helpOpened.load() == 1; }));
            EXPECT_TRUE(gtk_widget_get_visible(w.window));
            gtk_button_clicked(GTK_BUTTON(w.fullScreen));
            gtk_button_clicked(GTK_BUTTON(w.internetScoring));
            gtk_button_clicked(GTK_BUTTON(w.play));
        });
    });
    alarm(0);
    KMiscTools::_urlOpener = nullptr;
    kill(xvfb, SIGTERM);
    waitpid(xvfb, nullptr, 0);

    EXPECT_TRUE(play);
    EXPECT_FALSE(isWindowed);
    EXPECT_TRUE(gOnlineScores);
    EXPECT_EQ(gSkin, 5);
    EXPECT_EQ(folder.settings(), std::vector<Bytes>({{0}, {5, 0, 0, 0}, {1}}));
}

TEST(LauncherHeadless, ExplicitlyHeadlessRunStartsTheGameWithoutADialog) {
    ProgramFolder folder;
    folder.write("fullscreen.stt", {0});
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    EXPECT_TRUE(ShowWelcomeDialog());
    EXPECT_FALSE(isWindowed);
    EXPECT_EQ(folder.read("skin.stt"), Bytes({0, 0, 0, 0}));
}

} // namespace
