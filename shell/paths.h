// Where the game's files live. Two layouts keep the same file names and the same bytes, so a player can
// copy files from one to the other:
//
//  - portable: a writable program folder with data/ beside the executable keeps everything there:
//    prefs.raw beside the program, the high-score tables, the launcher's settings and scoreserver.txt
//    in data/;
//  - installed: the data is read from ../share/quorix, found from the executable's own folder (games/
//    or bin/), so a moved installation still works; the player's files go to the XDG folders: the
//    tables and the launcher's settings to $XDG_DATA_HOME/quorix (~/.local/share/quorix), prefs.raw
//    and the player's own scoreserver.txt to $XDG_CONFIG_HOME/quorix (~/.config/quorix).
//
// Every file the game writes, and the score-server setting it reads, is named here; the data itself is
// read through KMiscTools::makeFilePath, whose data folder this module sets.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

enum class eFileLayout { portable, installed };

// What the environment says about the player's folders.
struct sUserEnvironment {
    std::string xdgDataHome;   // $XDG_DATA_HOME as set (empty or relative: not used)
    std::string xdgConfigHome; // $XDG_CONFIG_HOME likewise
    std::string home;          // $HOME, or the home folder of the user's account

    static sUserEnvironment current();
};

struct sFileLocations {
    eFileLayout layout = eFileLayout::portable;
    std::string programFolder;    // the executable's folder
    std::string dataFolder;       // where the game's pictures, sounds and help page are read
    bool dataFound = true;        // false: no data folder was found (dataFolder is where it was expected)
    std::string playerDataFolder; // the high-score tables and the launcher's settings; empty: none known
    std::string configFolder;     // prefs.raw and the player's scoreserver.txt; empty: none known
};

// Where files live for a program whose executable is in programFolder. A data folder given on the
// command line (dataOverride, absolute) is read instead of the one found; it does not move the
// player's files.
sFileLocations chooseFileLocations(const std::string &programFolder, const std::string &dataOverride,
                                   const sUserEnvironment &environment);

// Puts the locations in force for the rest of the run: data reads and the player's files follow them.
void useFileLocations(const sFileLocations &locations);
// Until locations are chosen (and after this), everything is portable, in the folder that KMiscTools
// holds as the program's.
void forgetFileLocations();
sFileLocations currentFileLocations();

// Says on err what the player should know about the locations: data that was not found, and player
// folders that are missing and cannot be created (created here when they can, readable and writable
// by the player only) or cannot be written. The game plays on either way; files that cannot be
// written are simply not saved. Returns false when something was reported.
bool preparePlayerFolders(const sFileLocations &locations, std::FILE *err);

// The files themselves. An empty result names no file (no folder is known for it).
std::string preferencesFilePath();                // prefs.raw
std::string playerDataFilePath(const char *name); // "s60", "skin.stt", ...
// The score-server setting, most important first: the player's own copy, then the data's default.
std::vector<std::string> scoreServerSettingPaths();
