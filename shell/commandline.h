// The program's command line. Without options the launcher opens, as it always has; the options let a
// menu entry, a script or a player skip it or preset its choices for one run.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "shell/launcher.h"

// What a run is asked to do.
struct sLaunchOptions {
    sLauncherOverrides launcher;
    std::string dataFolder; // --data: an absolute folder to read the data from; empty: the one found
    std::string replayFile; // --replay: a recorded game to watch instead of the launcher and the menu
};

enum class eCommandLineAction { play, showHelp, showVersion, verifyReplay, refuse };

struct sCommandLine {
    eCommandLineAction action = eCommandLineAction::play;
    sLaunchOptions options;
    std::string complaint; // why the command line was refused
};

// Reads the arguments that follow the program's name. Options may be given as "--skin 3" or
// "--skin=3"; a later --windowed or --fullscreen overrides an earlier one.
sCommandLine parseCommandLine(const std::vector<std::string> &arguments);

// Answers --help, --version and --replay FILE --verify on out, a refused command line on err. Returns
// the exit status when the program has nothing more to do (0; 1 for a replay that does not hold
// together; 2 for a refused command line or an unreadable replay), -1 when it should play.
int answerCommandLine(const sCommandLine &commandLine, std::ostream &out, std::ostream &err);

// The text of --help.
const char *commandLineHelp();
