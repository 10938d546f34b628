// Saves a PNG of the launcher dialog as the player sees it, with the choices stored in the data folder
// beside this program. Writes no settings. Needs a display: scripts/launcher-screenshot runs it under Xvfb.
#include "shell/launcher_gtk.h"

#include <cstdio>

int main(int argc, char **argv) {
    const char *output = argc > 1 ? argv[1] : "launcher.png";
    loadFullScreenState();
    loadGamePadState();

    sLauncherDialog dialog;
    bool saved = false;
    int result = runGtkLauncherView(dialog, [&](sLauncherWindow &window) {
        if (GdkPixbuf *shot = snapshotLauncherWindow(window)) {
            saved = gdk_pixbuf_save(shot, output, "png", nullptr, nullptr);
            g_object_unref(shot);
        }
        gtk_button_clicked(GTK_BUTTON(window.quit));
    });
    if (result == kDialogFailed) {
        std::fprintf(stderr, "launcher-screenshot: no display to show the dialog on\n");
        return 1;
    }
    if (!saved) {
        std::fprintf(stderr, "launcher-screenshot: could not save %s\n", output);
        return 1;
    }
    std::printf("%s\n", output);
    return 0;
}
