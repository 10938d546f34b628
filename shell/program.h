// The whole program run: launcher, window, loading, the menu, and the orderly end.
#pragma once

#include "shell/commandline.h"

// The program from its command line: answers --help and --version, refuses a bad command line with
// exit status 2, and otherwise plays. Returns the exit status.
int quorixMain(int argc, char **argv);

// One run: decides where files live, runs the launcher, then the game. A program folder already set
// in KMiscTools (a test's copy of the data) is kept.
int runQuorix(const sLaunchOptions &options = {});
