#include "shell/launcher_gtk.h"

#include "framework/KMiscTools.h"
#include "platform/file_reader.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Dialog units: the layout is given in units of the dialog font, a quarter of its average character
// width across and an eighth of its height down, so the dialog scales with the font.
struct sDialogUnits {
    int baseX = 6;
    int baseY = 13;
    int x(int units) const { return (units * baseX + 2) / 4; }
    int y(int units) const { return (units * baseY + 4) / 8; }
};

sDialogUnits measureDialogUnits(GtkWidget *widget) {
    sDialogUnits units;
    PangoLayout *layout =
        gtk_widget_create_pango_layout(widget, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    int width = 0, height = 0;
    pango_layout_get_pixel_size(layout, &width, &height);
    g_object_unref(layout);
    if (width > 0 && height > 0) {
        units.baseX = (width / 26 + 1) / 2;
        units.baseY = height;
    }
    return units;
}

struct sViewState {
    sLauncherDialog *dialog;
    sLauncherWindow controls;
    bool drawn = false;
};

// Shows the one picture the dialog says is visible, hides the others.
void showChosenPreview(sViewState &view) {
    for (int skin = 0; skin < kSkinCount; ++skin)
        gtk_widget_set_visible(view.controls.previewFrames[skin], skin == view.dialog->shownPreview);
}

void sendCommand(sViewState &view, int controlId) {
    launcherCommand(*view.dialog, controlId);
    showChosenPreview(view);
}

void onFullScreenToggled(GtkToggleButton *box, gpointer data) {
    static_cast<sViewState *>(data)->dialog->fullScreenTicked = gtk_toggle_button_get_active(box);
}

void onInternetScoringToggled(GtkToggleButton *box, gpointer data) {
    static_cast<sViewState *>(data)->dialog->internetScoringTicked = gtk_toggle_button_get_active(box);
}

void onSkinChanged(GtkComboBox *list, gpointer data) {
    auto &view = *static_cast<sViewState *>(data);
    view.dialog->listSelection = gtk_combo_box_get_active(list);
    sendCommand(view, kIdSkinList);
}

void onPlay(GtkButton *, gpointer data) {
    sendCommand(*static_cast<sViewState *>(data), kIdPlay);
}
void onQuit(GtkButton *, gpointer data) {
    sendCommand(*static_cast<sViewState *>(data), kIdQuit);
}
void onHelp(GtkButton *, gpointer data) {
    sendCommand(*static_cast<sViewState *>(data), kIdHelp);
}

// The close button and Escape send the cancel command, which the dialog ignores.
gboolean onDelete(GtkWidget *, GdkEvent *, gpointer data) {
    sendCommand(*static_cast<sViewState *>(data), kIdCancel);
    return TRUE;
}

gboolean onKey(GtkWidget *, GdkEventKey *event, gpointer data) {
    if (event->keyval != GDK_KEY_Escape)
        return FALSE;
    sendCommand(*static_cast<sViewState *>(data), kIdCancel);
    return TRUE;
}

gboolean onDrawn(GtkWidget *, cairo_t *, gpointer data) {
    auto &view = *static_cast<sViewState *>(data);
    if (!view.drawn)
        noteLauncherShown();
    view.drawn = true;
    return FALSE;
}

GtkWidget *loadPreview(int skin) {
    std::string name = "data/skins/" + std::to_string(skin) + "/preview.png";
    std::string path = KMiscTools::makeFilePath(name.c_str());
    // Read by the framework's own rules (a regular file of a picture's size, never a FIFO that would
    // hold the dialog), then decoded from memory.
    std::vector<uint8_t> bytes;
    GdkPixbuf *picture = nullptr;
    if (platform::readRegularFile(path.c_str(), platform::kMaxPictureFileBytes, bytes)) {
        GdkPixbufLoader *loader = gdk_pixbuf_loader_new();
        gdk_pixbuf_loader_set_size(loader, kPreviewWidth, kPreviewHeight);
        const bool complete = gdk_pixbuf_loader_write(loader, bytes.data(), bytes.size(), nullptr);
        if (gdk_pixbuf_loader_close(loader, nullptr) && complete) {
            picture = gdk_pixbuf_loader_get_pixbuf(loader);
            if (picture)
                g_object_ref(picture);
        }
        g_object_unref(loader);
    }
    GtkWidget *image = picture ? gtk_image_new_from_pixbuf(picture) : gtk_image_new();
    if (picture)
        g_object_unref(picture);
    // A missing picture leaves an empty frame of the same size.
    gtk_widget_set_size_request(image, kPreviewWidth, kPreviewHeight);
    return image;
}

GtkWidget *place(GtkWidget *layout, GtkWidget *control, const sDialogUnits &units, int x, int y, int width,
                 int height) {
    gtk_widget_set_size_request(control, units.x(width), height > 0 ? units.y(height) : -1);
    gtk_fixed_put(GTK_FIXED(layout), control, units.x(x), units.y(y));
    return control;
}

void buildWindow(sViewState &view) {
    sLauncherWindow &c = view.controls;
    c.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(c.window), "Welcome to Quorix !");
    gtk_window_set_modal(GTK_WINDOW(c.window), TRUE);
    gtk_window_set_resizable(GTK_WINDOW(c.window), FALSE);
    gtk_window_set_type_hint(GTK_WINDOW(c.window), GDK_WINDOW_TYPE_HINT_DIALOG);
    gtk_window_set_position(GTK_WINDOW(c.window), GTK_WIN_POS_CENTER);

    sDialogUnits units = measureDialogUnits(c.window);
    // 240 units across and 120 down plus 20 pixels; the window grows if the theme's controls need more.
    gtk_window_set_default_size(GTK_WINDOW(c.window), units.x(240), units.y(120) + 20);

    GtkWidget *layout = gtk_fixed_new();
    // Themes draw controls taller than the layout's units; keep a margin below the buttons all the same.
    gtk_widget_set_margin_bottom(layout, units.y(5));
    gtk_widget_set_margin_end(layout, units.x(5));
    gtk_container_add(GTK_CONTAINER(c.window), layout);

    for (int skin = 0; skin < kSkinCount; ++skin) {
        c.previewFrames[skin] = gtk_frame_new(nullptr);
        gtk_frame_set_shadow_type(GTK_FRAME(c.previewFrames[skin]), GTK_SHADOW_IN);
        c.previewImages[skin] = loadPreview(skin);
        gtk_container_add(GTK_CONTAINER(c.previewFrames[skin]), c.previewImages[skin]);
        gtk_widget_show_all(c.previewFrames[skin]);
        gtk_widget_set_no_show_all(c.previewFrames[skin], TRUE);
        gtk_fixed_put(GTK_FIXED(layout), c.previewFrames[skin], units.x(5), units.y(10));
    }
    c.fullScreen =
        place(layout, gtk_check_button_new_with_label("Play Full Screen"), units, 120, 84, 100, 15);
    c.internetScoring =
        place(layout, gtk_check_button_new_with_label("Internet Scoring"), units, 120, 97, 100, 15);
    c.skinLabel = place(layout, gtk_label_new("Skin:"), units, 10, 92, 20, 15);
    gtk_label_set_xalign(GTK_LABEL(c.skinLabel), 0.0f);
    c.skinList = place(layout, gtk_combo_box_text_new(), units, 30, 90, 70, 0);
    c.play = place(layout, gtk_button_new_with_label("Play"), units, 180, 115, 50, 16);
    c.quit = place(layout, gtk_button_new_with_label("Quit"), units, 120, 115, 50, 16);
    c.help = place(layout, gtk_button_new_with_label("Help"), units, 5, 115, 50, 16);

    for (const char *name : kSkinNames)
        gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(c.skinList), name);
    gtk_widget_set_can_default(c.play, TRUE);
    gtk_window_set_default(GTK_WINDOW(c.window), c.play);
}

// Puts the dialog's state into the controls before any signal is connected.
void presentDialog(sViewState &view) {
    const sLauncherDialog &dialog = *view.dialog;
    sLauncherWindow &c = view.controls;
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(c.fullScreen), dialog.fullScreenTicked);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(c.internetScoring), dialog.internetScoringTicked);
    gtk_combo_box_set_active(GTK_COMBO_BOX(c.skinList), dialog.listSelection);
    showChosenPreview(view);
}

void connectSignals(sViewState &view) {
    sLauncherWindow &c = view.controls;
    g_signal_connect(c.fullScreen, "toggled", G_CALLBACK(onFullScreenToggled), &view);
    g_signal_connect(c.internetScoring, "toggled", G_CALLBACK(onInternetScoringToggled), &view);
    g_signal_connect(c.skinList, "changed", G_CALLBACK(onSkinChanged), &view);
    g_signal_connect(c.play, "clicked", G_CALLBACK(onPlay), &view);
    g_signal_connect(c.quit, "clicked", G_CALLBACK(onQuit), &view);
    g_signal_connect(c.help, "clicked", G_CALLBACK(onHelp), &view);
    g_signal_connect(c.window, "delete-event", G_CALLBACK(onDelete), &view);
    g_signal_connect(c.window, "key-press-event", G_CALLBACK(onKey), &view);
    g_signal_connect_after(c.window, "draw", G_CALLBACK(onDrawn), &view);
}

void flushEvents() {
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
}

// A run told explicitly to be headless (the game's own SDL_VIDEODRIVER=offscreen or dummy) shows no
// dialog, even when a display happens to be reachable.
bool headlessRun() {
    const char *driver = std::getenv("SDL_VIDEODRIVER");
    return driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
}

} // namespace

int runGtkLauncherView(sLauncherDialog &dialog, const std::function<void(sLauncherWindow &)> &onShown) {
    if (!gtk_init_check(nullptr, nullptr))
        return kDialogFailed;

    sViewState view{&dialog, {}};
    initLauncherDialog(dialog);
    buildWindow(view);
    presentDialog(view);
    connectSignals(view);
    gtk_widget_show_all(view.controls.window);

    if (onShown) {
        while (!view.drawn && !dialog.ended)
            gtk_main_iteration();
        gdk_display_sync(gtk_widget_get_display(view.controls.window));
        onShown(view.controls);
    }
    while (!dialog.ended)
        gtk_main_iteration();

    gtk_widget_destroy(view.controls.window);
    flushEvents(); // let the window vanish before the game's own window opens
    return dialog.result;
}

GdkPixbuf *snapshotLauncherWindow(const sLauncherWindow &window) {
    GdkWindow *surface = window.window ? gtk_widget_get_window(window.window) : nullptr;
    if (!surface || !gtk_widget_get_mapped(window.window))
        return nullptr;
    gdk_display_sync(gdk_window_get_display(surface));
    return gdk_pixbuf_get_from_window(surface, 0, 0, gdk_window_get_width(surface),
                                      gdk_window_get_height(surface));
}

bool ShowWelcomeDialog(const sLauncherOverrides &overrides) {
    return runWelcomeDialog(
        [](sLauncherDialog &dialog) {
            if (headlessRun())
                return kDialogFailed;
            // GTK, its themes and fonts would stay in the game's memory long after the dialog has gone.
            return runViewApart(dialog, [](sLauncherDialog &shown) { return runGtkLauncherView(shown); });
        },
        overrides);
}
