// The launcher's GTK view on a real X server (an Xvfb the test starts itself), clicked like a player.
#include "launcher_test_support.h"
#include "shell/launcher_gtk.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

extern char **environ;

// GTK, GLib and fontconfig keep caches for the life of the process; they are not the launcher's leaks.
extern "C" const char *__lsan_default_suppressions() {
    return "leak:libgtk-3.so\nleak:libgdk-3.so\nleak:libglib-2.0.so\nleak:libgobject-2.0.so\n"
           "leak:libgio-2.0.so\nleak:libfontconfig.so\nleak:libpango\nleak:libcairo.so\n"
           "leak:libgdk_pixbuf\nleak:libX11.so\nleak:libharfbuzz.so\nleak:libatk\nleak:libdbus\n";
}

namespace {

// An Xvfb server on a free display number, for the life of the test suite.
class VirtualDisplay {
public:
    // Empty when it started, otherwise why it could not.
    std::string start() {
        int ready[2];
        if (pipe(ready) != 0)
            return "no pipe";
        std::string fd = std::to_string(ready[1]);
        const char *argv[] = {"Xvfb",        "-displayfd", fd.c_str(), "-screen", "0",
                              "1024x768x24", "-nolisten",  "tcp",      nullptr};
        int spawned = posix_spawnp(&pid_, "Xvfb", nullptr, nullptr, const_cast<char **>(argv), environ);
        close(ready[1]);
        if (spawned != 0) {
            close(ready[0]);
            pid_ = -1;
            return "Xvfb is not installed";
        }
        // Xvfb writes its display number once it accepts clients.
        std::string number;
        pollfd wait{ready[0], POLLIN, 0};
        char c = 0;
        while (poll(&wait, 1, 10000) > 0 && read(ready[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(ready[0]);
        if (number.empty()) {
            stop();
            return "Xvfb did not start";
        }
        setenv("DISPLAY", (":" + number).c_str(), 1);
        unsetenv("WAYLAND_DISPLAY");
        return {};
    }
    void stop() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
};

VirtualDisplay display;
std::string displayProblem;

void pump() {
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
}

// Waits, pumping events, until `done` holds; false after a minute (a busy machine may take seconds).
bool pumpUntil(const std::function<bool()> &done) {
    for (int i = 0; i < 6000; ++i) {
        pump();
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// A left click in the middle of a control, through the X server: the pointer moves there, then the
// button goes down and up.
void click(GtkWidget *control) {
    GtkWidget *top = gtk_widget_get_toplevel(control);
    int x = 0, y = 0;
    gtk_widget_translate_coordinates(control, top, gtk_widget_get_allocated_width(control) / 2,
                                     gtk_widget_get_allocated_height(control) / 2, &x, &y);
    GdkWindow *window = gtk_widget_get_window(top);
    int rootX = 0, rootY = 0;
    gdk_window_get_root_coords(window, x, y, &rootX, &rootY);
    GdkDevice *pointer = gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_window_get_display(window)));
    gdk_device_warp(pointer, gdk_window_get_screen(window), rootX, rootY);
    gdk_display_sync(gdk_window_get_display(window));
    pump();
    gdk_test_simulate_button(window, x, y, 1, GdkModifierType(0), GDK_BUTTON_PRESS);
    gdk_test_simulate_button(window, x, y, 1, GdkModifierType(0), GDK_BUTTON_RELEASE);
    pump();
}

const char *buttonText(GtkWidget *control) {
    return gtk_button_get_label(GTK_BUTTON(control));
}

std::vector<std::string> listEntries(GtkWidget *list) {
    std::vector<std::string> names;
    GtkTreeModel *model = gtk_combo_box_get_model(GTK_COMBO_BOX(list));
    GtkTreeIter row;
    for (bool more = gtk_tree_model_get_iter_first(model, &row); more;
         more = gtk_tree_model_iter_next(model, &row)) {
        gchar *name = nullptr;
        gtk_tree_model_get(model, &row, 0, &name, -1);
        names.emplace_back(name ? name : "");
        g_free(name);
    }
    return names;
}

int visiblePreview(const sLauncherWindow &w) {
    int shown = -1;
    for (int skin = 0; skin < kSkinCount; ++skin)
        if (gtk_widget_get_visible(w.previewFrames[skin]))
            shown = shown == -1 ? skin : -2; // -2: more than one
    return shown;
}

// The colour of each generated preview; guint32 0xRRGGBBAA.
guint32 previewColour(int skin) {
    return 0x20000000u * static_cast<guint32>(skin + 1) | 0x00c040ffu;
}

void writePreview(const ProgramFolder &folder, int skin) {
    std::filesystem::path dir = folder.data() / "skins" / std::to_string(skin);
    std::filesystem::create_directories(dir);
    GdkPixbuf *picture = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, kPreviewWidth, kPreviewHeight);
    gdk_pixbuf_fill(picture, previewColour(skin));
    ASSERT_TRUE(gdk_pixbuf_save(picture, (dir / "preview.png").c_str(), "png", nullptr, nullptr));
    g_object_unref(picture);
}

// The on-screen colour in the middle of the preview, as 0xRRGGBB.
guint32 previewPixel(const sLauncherWindow &w, int skin) {
    GdkPixbuf *shot = snapshotLauncherWindow(w);
    if (!shot)
        return 0xdead;
    int x = 0, y = 0;
    gtk_widget_translate_coordinates(w.previewImages[skin], w.window, kPreviewWidth / 2, kPreviewHeight / 2,
                                     &x, &y);
    const guchar *p = gdk_pixbuf_read_pixels(shot) + y * gdk_pixbuf_get_rowstride(shot) +
                      x * gdk_pixbuf_get_n_channels(shot);
    guint32 rgb = guint32(p[0]) << 16 | guint32(p[1]) << 8 | p[2];
    g_object_unref(shot);
    return rgb;
}

class LauncherView : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        displayProblem = display.start();
        // Core X events, so that the button presses the test sends through the server reach GTK.
        setenv("GDK_CORE_DEVICE_EVENTS", "1", 1);
        if (displayProblem.empty() && !gtk_init_check(nullptr, nullptr))
            displayProblem = "GTK cannot open the Xvfb display";
    }
    static void TearDownTestSuite() { display.stop(); }
    void SetUp() override {
        if (!displayProblem.empty())
            GTEST_SKIP() << "skipped: no X server for the GTK view (" << displayProblem << ")";
    }

    // The whole launcher with the GTK view; `player` acts on the shown window. A dialog still open ten
    // seconds after the player is done fails the test and is ended by Quit.
    bool launch(const std::function<void(sLauncherWindow &)> &player) {
        sLauncherWindow shown;
        guint watchdog = g_timeout_add_seconds(
            10,
            [](gpointer data) -> gboolean {
                auto *w = static_cast<sLauncherWindow *>(data);
                ADD_FAILURE() << "the dialog did not end";
                if (w->quit)
                    gtk_button_clicked(GTK_BUTTON(w->quit));
                return G_SOURCE_CONTINUE;
            },
            &shown);
        bool play = runWelcomeDialog([&](sLauncherDialog &dialog) {
            return runGtkLauncherView(dialog, [&](sLauncherWindow &w) {
                shown = w;
                player(w);
            });
        });
        g_source_remove(watchdog);
        return play;
    }
};

TEST_F(LauncherView, ShowsTheControlsCentredAndPlayEndsItWithTheChoices) {
    ProgramFolder folder;
    for (int skin = 0; skin < kSkinCount; ++skin)
        writePreview(folder, skin);
    folder.write("fullscreen.stt", {1});
    folder.write("skin.stt", {2, 0, 0, 0});

    bool shown = false;
    bool play = launch([&](sLauncherWindow &w) {
        shown = true;
        EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(w.window)), "Welcome to Quorix !");
        EXPECT_TRUE(gtk_window_get_modal(GTK_WINDOW(w.window)));
        EXPECT_STREQ(buttonText(w.fullScreen), "Play Full Screen");
        EXPECT_STREQ(buttonText(w.internetScoring), "Internet Scoring");
        EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(w.skinLabel)), "Skin:");
        EXPECT_STREQ(buttonText(w.play), "Play");
        EXPECT_STREQ(buttonText(w.quit), "Quit");
        EXPECT_STREQ(buttonText(w.help), "Help");
        EXPECT_EQ(listEntries(w.skinList),
                  std::vector<std::string>({"Classic", "For Her", "For Him", "Simply Pink", "Cool Blue",
                                            "Fresh Green", "Flower Power"}));
        EXPECT_EQ(gtk_combo_box_get_active(GTK_COMBO_BOX(w.skinList)), 2);
        EXPECT_FALSE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(w.fullScreen)));
        EXPECT_FALSE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(w.internetScoring)));

        // Centred on the screen.
        GdkWindow *window = gtk_widget_get_window(w.window);
        int x = 0, y = 0;
        gdk_window_get_origin(window, &x, &y);
        GdkRectangle screen{};
        gdk_monitor_get_geometry(gdk_display_get_monitor_at_window(gdk_window_get_display(window), window),
                                 &screen);
        EXPECT_EQ(screen.width, 1024);
        EXPECT_NEAR(x, (screen.width - gdk_window_get_width(window)) / 2, 1);
        EXPECT_NEAR(y, (screen.height - gdk_window_get_height(window)) / 2, 1);

        // Only the chosen skin's picture, really on the screen; a new choice swaps it at once.
        EXPECT_EQ(visiblePreview(w), 2);
        EXPECT_EQ(previewPixel(w, 2), previewColour(2) >> 8);
        gtk_combo_box_set_active(GTK_COMBO_BOX(w.skinList), 5);
        EXPECT_EQ(visiblePreview(w), 5);
        EXPECT_TRUE(pumpUntil([&] { return previewPixel(w, 5) == previewColour(5) >> 8; }))
            << std::hex << previewPixel(w, 5);

        // Escape and the close button do not end the dialog.
        gdk_test_simulate_key(window, 10, 10, GDK_KEY_Escape, GdkModifierType(0), GDK_KEY_PRESS);
        gdk_test_simulate_key(window, 10, 10, GDK_KEY_Escape, GdkModifierType(0), GDK_KEY_RELEASE);
        GdkEvent *close = gdk_event_new(GDK_DELETE);
        close->any.window = GDK_WINDOW(g_object_ref(window));
        gtk_main_do_event(close);
        gdk_event_free(close);
        pump();
        EXPECT_TRUE(gtk_widget_get_visible(w.window));

        click(w.fullScreen);
        click(w.internetScoring);
        EXPECT_TRUE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(w.fullScreen)));
        click(w.play);
    });

    EXPECT_TRUE(shown);
    EXPECT_TRUE(play);
    EXPECT_FALSE(isWindowed);
    EXPECT_TRUE(isGamePad);
    EXPECT_TRUE(gOnlineScores);
    EXPECT_EQ(gSkin, 5);
    EXPECT_EQ(folder.read("fullscreen.stt"), Bytes({0}));
    EXPECT_EQ(folder.read("skin.stt"), Bytes({5, 0, 0, 0}));
    EXPECT_EQ(folder.read("gamepad.stt"), Bytes({1}));
}

TEST_F(LauncherView, MissingPreviewLeavesAnEmptyFrameAndHelpKeepsTheDialogOpen) {
    ProgramFolder folder; // no pictures, and a damaged one for the first skin
    std::filesystem::create_directories(folder.data() / "skins" / "0");
    folder.write("skins/0/preview.png", {0x89, 'P', 'N', 'G', 0, 1, 2});
    static std::atomic<int> helpOpened{0};
    helpOpened = 0;
    KMiscTools::_urlOpener = [](const char *, bool) { helpOpened.fetch_add(1); };

    bool play = launch([&](sLauncherWindow &w) {
        EXPECT_EQ(visiblePreview(w), 0);
        EXPECT_EQ(gtk_image_get_storage_type(GTK_IMAGE(w.previewImages[0])), GTK_IMAGE_EMPTY);
        EXPECT_GE(gtk_widget_get_allocated_width(w.previewImages[0]), kPreviewWidth);
        EXPECT_GE(gtk_widget_get_allocated_height(w.previewImages[0]), kPreviewHeight);

        click(w.help);
        EXPECT_TRUE(pumpUntil([] { return helpOpened.load() == 1; }));
        EXPECT_TRUE(gtk_widget_get_visible(w.window));
        click(w.quit);
    });
    KMiscTools::_urlOpener = nullptr;

    EXPECT_FALSE(play);
    EXPECT_EQ(folder.read("fullscreen.stt"), Bytes({1}));
}

TEST(LauncherHeadless, ExplicitlyHeadlessRunStartsTheGameWithoutADialog) {
    ProgramFolder folder;
    folder.write("fullscreen.stt", {0});
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    EXPECT_TRUE(ShowWelcomeDialog());
    EXPECT_FALSE(isWindowed);
    EXPECT_EQ(folder.read("skin.stt"), Bytes({0, 0, 0, 0}));
}

TEST(LauncherHeadless, NoDisplayStartsTheGameWithTheStoredSettings) {
    if (gdk_display_get_default())
        GTEST_SKIP()
            << "GTK already holds a display in this process (run the tests one by one, as CTest does)";
    ProgramFolder folder;
    folder.write("fullscreen.stt", {0});
    unsetenv("SDL_VIDEODRIVER");
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    EXPECT_TRUE(ShowWelcomeDialog());
    EXPECT_FALSE(isWindowed);
    EXPECT_TRUE(folder.exists("gamepad.stt"));
}

} // namespace
