#include "shell/program.h"

#include "framework/KGraphicD3D.h"
#include "framework/KMiscTools.h"
#include "framework/KText.h"
#include "framework/KWindowD3D.h"
#include "frontend/gemsets.h"
#include "frontend/highscores.h"
#include "frontend/menu.h"
#include "game/playscreen.h"
#include "platform/display.h"
#include "shell/app.h"
#include "shell/cursor.h"
#include "shell/launcher.h"
#include "shell/paths.h"
#include "shell/prefs.h"
#include "shell/replays.h"
#include "shell/sounds.h"

#include <cstdio>
#include <iostream>

namespace {

// The loading picture, shown twice so that both presentation buffers hold it while the rest loads.
void showLoadingScreen() {
    auto *loading = new KGraphicD3D;
    loading->loadPicture(KMiscTools::makeFilePath("data/loading.bmp"), true, true);
    fenetre->setWorldView(0, 0, 0, 1, true);
    for (int i = 0; i < 2; i++) {
        const long w = static_cast<long>(loading->fimageWidth);
        const long h = static_cast<long>(loading->fimageHeight);
        loading->blitRect(0, 0, static_cast<float>(w), static_cast<float>(h),
                          static_cast<short>((640 - w) / 2), static_cast<short>((480 - h) / 2), false, false);
        fenetre->flipBackBuffer(true, true);
    }
    delete loading;
}

} // namespace

int quorixMain(int argc, char **argv) {
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    const sCommandLine commandLine = parseCommandLine(arguments);
    if (const int status = answerCommandLine(commandLine, std::cout, std::cerr); status >= 0)
        return status;
    return runQuorix(commandLine.options);
}

int runQuorix(const sLaunchOptions &givenOptions) {
    sLaunchOptions options = givenOptions;
    // A replay to watch is read before anything opens: a file that is no replay says so and stops.
    replay::Replay watched;
    if (!options.replayFile.empty()) {
        std::string why;
        if (!loadReplayFile(options.replayFile, watched, why)) {
            std::cerr << "quorix: " << options.replayFile << ": " << why << "\n";
            return 1;
        }
        options.launcher.showDialog = false;
    }
    if (KMiscTools::currentFilePath[0] == '\0')
        KMiscTools::initMiscTools();
    const sFileLocations locations =
        chooseFileLocations(KMiscTools::currentFilePath, options.dataFolder, sUserEnvironment::current());
    useFileLocations(locations);
    preparePlayerFolders(locations, stderr);

    // Starting the window's OpenGL driver takes a while: it is done while the player looks at the
    // launcher, and the window is shown only when the player presses Play.
    whileLauncherShown = [] { platform::Display::prepare(640, 480, "Quorix"); };
    if (!ShowWelcomeDialog(options.launcher)) {
        platform::Display::close(); // the window made meanwhile, never shown
        return 0;
    }

    fenetre = new KWindowD3D;
    fenetre->createGameWindow(640, 480, 16, isWindowed, "Quorix");
    // A window that could not be made has said so; nothing would be seen, so stop here.
    if (!fenetre->isQuit()) {
        showLoadingScreen();
        loadMouseCursor();
        loadPrefs();
        loadSounds();
        loadHighScores();
        playAGame = doTheGame;
        if (options.replayFile.empty())
            doMenu();
        else
            doTheGame(watched.header.gameMode, &watched);

        delete highscoreText;
        highscoreText = nullptr;
        freeBubbleSet();
        saveHighScores();
        savePrefs();
        freeSounds();
        freeMouseCursor();
    }
    delete fenetre;
    fenetre = nullptr;
    return 0;
}
