// The launcher's GTK view on a real X server (an Xvfb the test starts itself), used like a player.
#include "launcher_test_support.h"
#include "shell/launcher_gtk.h"
#include "support/wait.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>

extern char **environ;

// GTK, GLib and fontconfig keep caches for the life of the process; they are not the launcher's leaks.
extern "C" const char *__lsan_default_suppressions() {
    return "leak:libgtk-3.so\nleak:libgdk-3.so\nleak:libglib-2.0.so\nleak:libgobject-2.0.so\n"
           "leak:libgio-2.0.so\nleak:libfontconfig.so\nleak:libpango\nleak:libcairo.so\n"
           "leak:libgdk_pixbuf\nleak:libX11.so\nleak:libharfbuzz.so\nleak:libatk\nleak:libdbus\n";
}

namespace {

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
// and Help leave the dialog open; Play ends it with the choices clicked. A dialog still open ten seconds
// after the player is done fails the test and is ended by Quit.
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
    static std::atomic<int> helpOpened{0};
    KMiscTools::_urlOpener = [](const char *, bool) { helpOpened.fetch_add(1); };

    sLauncherWindow shown;
    const guint watchdog = g_timeout_add_seconds(
        10,
        [](gpointer data) -> gboolean {
            ADD_FAILURE() << "the dialog did not end";
            if (static_cast<sLauncherWindow *>(data)->quit)
                gtk_button_clicked(GTK_BUTTON(static_cast<sLauncherWindow *>(data)->quit));
            return G_SOURCE_CONTINUE;
        },
        &shown);
    const bool play = runWelcomeDialog([&](sLauncherDialog &dialog) {
        return runGtkLauncherView(dialog, [&](sLauncherWindow &w) {
            shown = w;
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
    g_source_remove(watchdog);
    KMiscTools::_urlOpener = nullptr;
    kill(xvfb, SIGTERM);
    waitpid(xvfb, nullptr, 0);

    EXPECT_TRUE(play);
    EXPECT_FALSE(isWindowed);
    EXPECT_TRUE(gOnlineScores);
    EXPECT_EQ(gSkin, 5);
    EXPECT_EQ(folder.read("fullscreen.stt"), Bytes({0}));
    EXPECT_EQ(folder.read("skin.stt"), Bytes({5, 0, 0, 0}));
    EXPECT_EQ(folder.read("gamepad.stt"), Bytes({1}));
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
