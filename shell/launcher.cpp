#include "shell/launcher.h"

#include "framework/KMiscTools.h"
#include "shell/files.h"
#include "shell/paths.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <system_error>
#include <thread>

long gSkin = 0;
bool isWindowed = true;
bool isGamePad = false;
long itemCount = 0;
// Off until the player ticks "Internet Scoring" and plays: the game contacts no server without consent.
bool gOnlineScores = false;

const char *const kSkinNames[kSkinCount] = {"Classic",   "For Her",     "For Him",     "Simply Pink",
                                            "Cool Blue", "Fresh Green", "Flower Power"};

namespace {

// In the player's data folder (data/ beside a portable game): shell/paths.h.
const char *const kFullScreenFile = "fullscreen.stt";
const char *const kSkinFile = "skin.stt";
const char *const kGamePadFile = "gamepad.stt";

std::string dataPath(const char *name) {
    return playerDataFilePath(name);
}

int readSettingsFile(const std::string &path, unsigned char *bytes, int size) {
    return static_cast<int>(readRecordFile(path.c_str(), bytes, static_cast<size_t>(size)));
}

bool writeSettingsFile(const std::string &path, const unsigned char *bytes, int size) {
    return writeRecordFile(path.c_str(), bytes, static_cast<size_t>(size));
}

void clampSkin() {
    if (gSkin < 0 || gSkin >= kSkinCount)
        gSkin = 1;
}

void showPreview(sLauncherDialog &dialog, long skin) {
    dialog.shownPreview = skin >= 0 && skin < kSkinCount ? static_cast<int>(skin) : -1;
}

// The list's selection as a skin number, or -1 when nothing valid is selected.
long selectedSkin(const sLauncherDialog &dialog) {
    if (dialog.listSelection < 0 || dialog.listSelection >= dialog.listCount)
        return -1;
    return dialog.listSelection;
}

// skin.stt holds the skin as a signed 32-bit little-endian number.
void encodeSkin(long skin, unsigned char bytes[4]) {
    uint32_t value = static_cast<uint32_t>(static_cast<int32_t>(skin));
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<unsigned char>(value >> (8 * i));
}

long decodeSkin(const unsigned char bytes[4]) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value |= uint32_t(bytes[i]) << (8 * i);
    return static_cast<int32_t>(value);
}

void endDialog(sLauncherDialog &dialog, int result) {
    dialog.ended = true;
    dialog.result = result;
}

} // namespace

void loadFullScreenState() {
    unsigned char windowed = isWindowed ? 1 : 0;
    if (readSettingsFile(dataPath(kFullScreenFile), &windowed, 1) < 0)
        return; // without the full-screen file the skin file is not read either
    isWindowed = windowed != 0;

    // A short file replaces only the low bytes it holds.
    unsigned char bytes[4];
    encodeSkin(gSkin, bytes);
    if (readSettingsFile(dataPath(kSkinFile), bytes, 4) < 0)
        return;
    gSkin = decodeSkin(bytes);
}

void saveFullScreenState() {
    unsigned char windowed = isWindowed ? 1 : 0;
    if (!writeSettingsFile(dataPath(kFullScreenFile), &windowed, 1))
        return;
    unsigned char bytes[4];
    encodeSkin(gSkin, bytes);
    writeSettingsFile(dataPath(kSkinFile), bytes, 4);
}

void loadGamePadState() {
    unsigned char ticked = isGamePad ? 1 : 0;
    if (readSettingsFile(dataPath(kGamePadFile), &ticked, 1) > 0)
        isGamePad = ticked != 0;
}

void saveGamePadState() {
    unsigned char ticked = isGamePad ? 1 : 0;
    writeSettingsFile(dataPath(kGamePadFile), &ticked, 1);
}

void fillCombo(sLauncherDialog &dialog) {
    clampSkin();
    dialog.listCount = kSkinCount;
    itemCount = kSkinCount;
    dialog.listSelection = static_cast<int>(gSkin);
}

void initLauncherDialog(sLauncherDialog &dialog) {
    fillCombo(dialog);
    dialog.fullScreenTicked = !isWindowed;
    dialog.internetScoringTicked = isGamePad;
    showPreview(dialog, gSkin);
    dialog.ended = false;
}

bool launcherCommand(sLauncherDialog &dialog, int controlId) {
    switch (controlId) {
    case kIdPlay:
        isWindowed = !dialog.fullScreenTicked;
        isGamePad = dialog.internetScoringTicked;
        if (selectedSkin(dialog) >= 0)
            gSkin = selectedSkin(dialog);
        endDialog(dialog, kDialogPlay);
        return true;
    case kIdQuit:
        // The boxes are not read: only a changed skin survives Quit.
        if (selectedSkin(dialog) >= 0)
            gSkin = selectedSkin(dialog);
        endDialog(dialog, kDialogQuit);
        return true;
    case kIdHelp:
        ShowHelp();
        return true;
    case kIdSkinList:
        if (selectedSkin(dialog) >= 0)
            gSkin = selectedSkin(dialog);
        showPreview(dialog, gSkin);
        return true;
    default:
        return false; // Escape, the close button and the rest: only Play and Quit end the dialog
    }
}

namespace {

// What a view run apart sends: a byte when the dialog is on the screen, then its answer.
constexpr char kShownTag = 'S', kAnswerTag = 'A';

// Told by the view run apart that the dialog is on the screen.
std::function<void()> shownNotice;

// Its result and everything it may have changed.
struct ViewAnswer {
    int result = kDialogFailed;
    sLauncherDialog dialog;
    long skin = 0;
    long items = 0;
    bool windowed = true;
    bool gamePad = false;
};

bool readWhole(int fd, void *data, size_t size) {
    auto *bytes = static_cast<unsigned char *>(data);
    while (size > 0) {
        const ssize_t got = read(fd, bytes, size);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        bytes += got;
        size -= static_cast<size_t>(got);
    }
    return true;
}

} // namespace

std::function<void()> whileLauncherShown;

void noteLauncherShown() {
    if (shownNotice)
        shownNotice();
    shownNotice = nullptr;
}

int runViewApart(sLauncherDialog &dialog, const LauncherView &view) {
    if (!view)
        return kDialogFailed;
    int channel[2];
    if (pipe(channel) != 0)
        return view(dialog);
    std::fflush(nullptr); // nothing buffered may be written twice
    const pid_t child = fork();
    if (child < 0) {
        close(channel[0]);
        close(channel[1]);
        return view(dialog);
    }
    if (child == 0) {
        close(channel[0]);
        shownNotice = [fd = channel[1]] {
            if (write(fd, &kShownTag, 1) != 1)
                return; // the game hears nothing, and waits for the answer
        };
        ViewAnswer answer;
        answer.result = view(dialog);
        answer.dialog = dialog;
        answer.skin = gSkin;
        answer.items = itemCount;
        answer.windowed = isWindowed;
        answer.gamePad = isGamePad;
        const bool sent = write(channel[1], &kAnswerTag, 1) == 1 &&
                          write(channel[1], &answer, sizeof(answer)) == static_cast<ssize_t>(sizeof(answer));
        std::fflush(nullptr);
        _exit(sent ? 0 : 1); // no toolkit clean-up: it ends here
    }
    close(channel[1]);
    ViewAnswer answer;
    bool answered = false;
    for (char tag = 0; !answered && readWhole(channel[0], &tag, 1);) {
        if (tag == kShownTag && whileLauncherShown)
            whileLauncherShown(); // the player looks at the dialog meanwhile
        else if (tag == kAnswerTag)
            answered = readWhole(channel[0], &answer, sizeof(answer));
    }
    close(channel[0]);
    // The dialog's process takes a few milliseconds to end; the game window need not wait for that.
    const auto reap = [child] {
        while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
        }
    };
    try {
        std::thread(reap).detach();
    } catch (const std::system_error &) {
        reap();
    }
    if (!answered)
        return kDialogFailed;
    dialog = answer.dialog;
    gSkin = answer.skin;
    itemCount = answer.items;
    isWindowed = answer.windowed;
    isGamePad = answer.gamePad;
    return answer.result;
}

void ShowHelp() {
    std::string page = KMiscTools::makeFileURL(KMiscTools::makeFilePath("data/help/index.html"));
    KMiscTools::launchURL(page.data(), true);
}

bool runWelcomeDialog(const LauncherView &view, const sLauncherOverrides &overrides) {
    // Paths resolve against the program's folder from here on. A folder already chosen (a test's copy
    // of the data) is kept.
    if (KMiscTools::currentFilePath[0] == '\0')
        KMiscTools::initMiscTools();
    loadFullScreenState();
    loadGamePadState();
    const bool storedWindowed = isWindowed;
    const long storedSkin = gSkin;
    const auto applyOverrides = [&] {
        if (overrides.windowed)
            isWindowed = *overrides.windowed;
        if (overrides.skin)
            gSkin = *overrides.skin;
    };
    applyOverrides();

    sLauncherDialog dialog;
    int result = kDialogFailed;
    if (overrides.showDialog && view)
        result = view(dialog);

    if (result == kDialogFailed) {
        // No dialog: nothing was chosen. The stored choices are written back as they were, with the
        // skin brought into range (the game must not look for skin 9), unless no dialog was wanted at
        // all; the command line's choices hold for this run.
        isWindowed = storedWindowed;
        gSkin = storedSkin;
        clampSkin();
        if (overrides.showDialog) {
            saveFullScreenState();
            saveGamePadState();
        }
        applyOverrides();
    } else {
        if (result == kDialogQuit)
            isWindowed = storedWindowed; // Quit does not read the boxes
        saveFullScreenState();
        saveGamePadState();
    }

    bool play = result != kDialogQuit;
    gOnlineScores = play && isGamePad;
    return play;
}
