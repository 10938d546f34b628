// KMiscTools: static helpers for paths in the program's folder, the millisecond clock, opening web
// addresses and walking folders.
#pragma once

#include <climits>
#include <cstdint>
#include <string>

// What the browser-opening thread receives; the thread owns and frees it.
struct URLParms {
    char url[2048];
    bool maximised;
};

class KMiscTools {
public:
    // Finds the program's folder and starts the clock. Runs by itself on the first makeFilePath.
    static void initMiscTools();

    // Turns a data file name into a full path in the program's folder. Either separator is accepted,
    // one leading separator is ignored, and the result uses '/'. Names in "data/" resolve in the data
    // folder (see setDataFolder). A name whose second character is a colon ("C:/tmp/x.bmp") is an
    // absolute name: the drive letter and colon are dropped and the rest is taken from the root
    // ("/tmp/x.bmp"). The result is the shared buffer builtPath, overwritten by the next call; a path
    // longer than the buffer is cut.
    static char *makeFilePath(const char *filename);

    // Where names in "data/" are read from: by default the "data" folder in the program's folder; an
    // installed game reads its data from elsewhere (share/quorix). Null or empty restores the default.
    // Pointing the program's folder elsewhere restores it too.
    static void setDataFolder(const char *folder);
    // The data folder in force, without a trailing '/'.
    static std::string dataFolder();

    static void initMillisecond();
    // Milliseconds on a monotonic clock; only differences mean anything. Wraps after 2^32 ms.
    static unsigned long getMilliseconds();
    static unsigned long getTheTicks();

    // The file:// address of a full path (as makeFilePath gives it), each component percent-encoded.
    static std::string makeFileURL(const char *path);

    // Opens an address in the user's browser on a detached thread; returns after about 100 ms
    // without waiting for the browser. A full local path is opened as its file:// address. Failure is
    // not reported.
    static void launchURL(char *url, bool maximised);

    // Calls the callback for each entry matching the pattern (folder part, then a wildcard name),
    // with the name without its folder and whether it is a folder, until it returns false.
    static void enumerateFolder(char *folderpath, bool (*enumerationProcPtr)(char *name, bool isFolder));

    // Test hooks. Points the program's folder somewhere else (a copy of the data, for instance).
    static void setProgramFolder(const char *folder);
    // Replaces the browser launch; called on the browser thread. Null restores the real one.
    static void (*_urlOpener)(const char *url, bool maximised);

    static constexpr int kPathSize = PATH_MAX;
    static char currentFilePath[kPathSize];
    static char builtPath[kPathSize];
    static char dataFolderPath[kPathSize]; // empty: <currentFilePath>/data
    static int _HighFreq;
    static int64_t _unitsPerSecond;
    static int64_t tstart;
    static int64_t tnow;
};
