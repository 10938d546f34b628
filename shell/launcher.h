// The launcher: the small dialog shown before the game window opens, and its three settings files.
//
// Everything the dialog does lives here, free of any toolkit: the view (shell/launcher_gtk.cpp) only
// shows an sLauncherDialog and passes the player's actions to launcherCommand().
#pragma once

#include <functional>
#include <optional>

#include "game/sheet_layout.h"

// The launcher's choices, fixed for the whole run.
extern long gSkin;         // the chosen skin, 0..6: the folder data/skins/<gSkin>
extern bool isWindowed;    // play in a window; false = full screen
extern bool isGamePad;     // the "Internet Scoring" box
extern long itemCount;     // names in the skin list, 7 once it is filled
extern bool gOnlineScores; // the game may talk to the score server (the player said so at launch)

constexpr int kSkinCount = 7;
static_assert(kSkinCount == layout::kSkinCount, "the launcher offers every skin the game draws");
extern const char *const kSkinNames[kSkinCount];

// The dialog's controls, by their ids.
enum eLauncherControl : int {
    kIdCancel = 2,            // what Escape and the close button send
    kIdQuit = 103,            // push button "Quit"
    kIdFullScreen = 105,      // check box "Play Full Screen"
    kIdHelp = 107,            // push button "Help"
    kIdPlay = 150,            // default push button "Play"
    kIdInternetScoring = 250, // check box "Internet Scoring"
    kIdSkinList = 251,        // drop-down list of the skin names
    kIdFirstPreview = 1032,   // the seven preview pictures, 1032 + skin
};

// The dialog's results: Quit ends it with 0, Play with 1. A view that cannot show the dialog at all
// returns kDialogFailed.
constexpr int kDialogQuit = 0;
constexpr int kDialogPlay = 1;
constexpr int kDialogFailed = -1;

// What the dialog's controls hold. The check boxes toggle themselves: the view writes their state here
// as the player clicks them, and the skin list's selection likewise before it sends kIdSkinList.
struct sLauncherDialog {
    bool fullScreenTicked = false;      // box 105
    bool internetScoringTicked = false; // box 250
    int listCount = 0;                  // names in list 251
    int listSelection = -1;             // selected entry of list 251, -1 = none
    int shownPreview = -1;              // the one visible picture (skin number), -1 = none
    bool ended = false;
    int result = kDialogQuit; // meaningful once ended
};

// Reads and writes fullscreen.stt with skin.stt, and gamepad.stt, in the player's data folder (data/
// beside a portable game, shell/paths.h). Missing or short files leave what they do not hold
// unchanged; files that cannot be written are skipped silently.
void loadFullScreenState();
void saveFullScreenState();
void loadGamePadState();
void saveGamePadState();

// Brings gSkin back into 0..6 (skin 1 when it is out of range), fills the skin list and selects gSkin.
void fillCombo(sLauncherDialog &dialog);

// Sets the controls up from the stored choices: list, check boxes, the chosen skin's picture.
void initLauncherDialog(sLauncherDialog &dialog);

// The dialog's command handler: Play, Quit, Help and the skin list act; anything else (kIdCancel
// among them) is ignored, so only Play and Quit end the dialog. Returns whether the command was handled.
bool launcherCommand(sLauncherDialog &dialog, int controlId);

// Opens data/help/index.html in the user's browser without waiting for it.
void ShowHelp();

// What the command line asks of the launcher for this run.
struct sLauncherOverrides {
    bool showDialog = true;       // false: play at once with the stored choices
    std::optional<bool> windowed; // a window (true) or the whole screen (false)
    std::optional<long> skin;     // 0..6
};

// The whole launcher around a view: load the settings, run the view until the dialog ends, save the
// settings whichever button ended it, and tell whether to play. A view that cannot show the dialog
// (it returns kDialogFailed) starts the game with the stored settings.
//
// The overrides take the stored choices' place for this run: the dialog opens showing them, and what
// the player plays with is saved as always. They are not stored on their own: Quit writes the
// full-screen choice back as it was, and without a dialog (not wanted, or not possible) the stored
// choices are left as they were.
using LauncherView = std::function<int(sLauncherDialog &dialog)>;
bool runWelcomeDialog(const LauncherView &view, const sLauncherOverrides &overrides = {});

// Runs a view in a child process of its own and brings its result and the choices it made (skin,
// window, "Internet Scoring") back. The toolkit and everything it loads then stays out of the game's
// memory. A child that dies without answering counts as a view that could not show the dialog; when no
// child can be started, the view runs here.
int runViewApart(sLauncherDialog &dialog, const LauncherView &view);
// A view run apart calls this once its dialog is on the screen; the game then runs whileLauncherShown
// (when set) while the player looks at the dialog.
void noteLauncherShown();
extern std::function<void()> whileLauncherShown;

// The launcher with its GTK view; defined in shell/launcher_gtk.cpp.
bool ShowWelcomeDialog(const sLauncherOverrides &overrides = {});
