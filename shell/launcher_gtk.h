// The launcher dialog's GTK view. It only presents an sLauncherDialog: every choice and command goes to
// the toolkit-free code in shell/launcher.h.
#pragma once

#include "shell/launcher.h"

#include <gtk/gtk.h>

#include <functional>

// The dialog's window and its controls, in the order they are laid out.
struct sLauncherWindow {
    GtkWidget *window = nullptr;
    GtkWidget *previewFrames[kSkinCount] = {}; // pictures 1032..1038, all at the same place
    GtkWidget *previewImages[kSkinCount] = {}; // the picture inside each frame (empty when missing)
    GtkWidget *fullScreen = nullptr;           // box 105
    GtkWidget *internetScoring = nullptr;      // box 250
    GtkWidget *skinLabel = nullptr;            // "Skin:"
    GtkWidget *skinList = nullptr;             // list 251
    GtkWidget *play = nullptr;                 // 150
    GtkWidget *quit = nullptr;                 // 103
    GtkWidget *help = nullptr;                 // 107
};

// The preview pictures' size in pixels.
constexpr int kPreviewWidth = 160;
constexpr int kPreviewHeight = 120;

// Shows the dialog modally until Play or Quit ends it and returns its result, or kDialogFailed when GTK
// cannot start (no display). `onShown`, when given, runs once the window is on screen and drawn: tests
// and the screenshot tool look at the window and act on it from there.
int runGtkLauncherView(sLauncherDialog &dialog, const std::function<void(sLauncherWindow &)> &onShown = {});

// Reads back what the window shows on the screen. Null when it cannot; the caller unrefs the result.
GdkPixbuf *snapshotLauncherWindow(const sLauncherWindow &window);
