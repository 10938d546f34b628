#include "shell/paths.h"

#include "framework/KMiscTools.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>

// The installed data folder as seen from the installed executable's folder; the build names it from
// the install folders it was configured with.
#ifndef QUORIX_DATA_FROM_PROGRAM
#define QUORIX_DATA_FROM_PROGRAM "../share/quorix"
#endif

namespace {

constexpr const char *kPreferencesFile = "prefs.raw";
constexpr const char *kScoreServerFile = "scoreserver.txt";

std::optional<sFileLocations> chosenLocations;

bool isFolder(const std::string &path) {
    struct stat info {};
    return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool isWritableFolder(const std::string &path) {
    return isFolder(path) && access(path.c_str(), W_OK | X_OK) == 0;
}

std::string withoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// An XDG base folder: the variable when it holds an absolute path (the rules say to ignore a relative
// one), else the given place in the home folder, else nothing.
std::string baseFolder(const std::string &variable, const std::string &home, const char *inHome) {
    if (!variable.empty() && variable[0] == '/')
        return withoutTrailingSlashes(variable);
    if (!home.empty() && home[0] == '/')
        return withoutTrailingSlashes(home) + "/" + inHome;
    return {};
}

std::string quorixFolderIn(const std::string &base) {
    return base.empty() ? std::string() : (base == "/" ? "" : base) + "/quorix";
}

std::string fileIn(const std::string &folder, const char *name) {
    return folder.empty() ? std::string() : folder + "/" + name;
}

// Creates a folder and those missing above it, readable by the player only. Returns 0 or an errno.
int makeFolders(const std::string &path) {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return errno;
        if (slash == std::string::npos)
            break;
    }
    return isFolder(path) ? 0 : ENOTDIR;
}

// Makes sure the player can keep files in the folder; says why not on err.
bool preparePlayerFolder(const std::string &folder, const char *what, const char *whereFrom, std::FILE *err) {
    if (folder.empty()) {
        std::fprintf(err, "quorix: no home folder is known (set HOME or %s): %s will not be saved\n",
                     whereFrom, what);
        return false;
    }
    int error = makeFolders(folder);
    if (error == 0 && access(folder.c_str(), R_OK | W_OK | X_OK) != 0)
        error = errno;
    if (error == 0)
        return true;
    std::fprintf(err, "quorix: cannot use the folder '%s' (%s): %s will not be saved\n", folder.c_str(),
                 std::strerror(error), what);
    return false;
}

} // namespace

sUserEnvironment sUserEnvironment::current() {
    sUserEnvironment environment;
    if (const char *value = std::getenv("XDG_DATA_HOME"))
        environment.xdgDataHome = value;
    if (const char *value = std::getenv("XDG_CONFIG_HOME"))
        environment.xdgConfigHome = value;
    if (const char *value = std::getenv("HOME"); value && value[0] != '\0') {
        environment.home = value;
    } else {
        // No HOME (a service, a stripped environment): the account's own home folder.
        struct passwd entry {};
        struct passwd *found = nullptr;
        char buffer[4096];
        if (getpwuid_r(getuid(), &entry, buffer, sizeof(buffer), &found) == 0 && found && found->pw_dir)
            environment.home = found->pw_dir;
    }
    return environment;
}

sFileLocations chooseFileLocations(const std::string &programFolder, const std::string &dataOverride,
                                   const sUserEnvironment &environment) {
    sFileLocations locations;
    locations.programFolder = programFolder;
    const std::string beside = programFolder + "/data";
    const std::string installed =
        (std::filesystem::path(programFolder) / QUORIX_DATA_FROM_PROGRAM).lexically_normal().string();

    if (!dataOverride.empty()) {
        locations.dataFolder = withoutTrailingSlashes(dataOverride);
        locations.dataFound = isFolder(locations.dataFolder);
    } else if (isFolder(beside)) {
        locations.dataFolder = beside;
    } else if (isFolder(installed)) {
        locations.dataFolder = withoutTrailingSlashes(installed);
    } else {
        locations.dataFolder = beside;
        locations.dataFound = false;
    }

    // The game has always kept its files beside itself; it still does wherever it may write there.
    if (isWritableFolder(programFolder) && isWritableFolder(beside)) {
        locations.layout = eFileLayout::portable;
        locations.playerDataFolder = beside;
        locations.configFolder = programFolder;
    } else {
        locations.layout = eFileLayout::installed;
        locations.playerDataFolder =
            quorixFolderIn(baseFolder(environment.xdgDataHome, environment.home, ".local/share"));
        locations.configFolder =
            quorixFolderIn(baseFolder(environment.xdgConfigHome, environment.home, ".config"));
    }
    return locations;
}

void useFileLocations(const sFileLocations &locations) {
    chosenLocations = locations;
    KMiscTools::setDataFolder(locations.dataFolder.c_str());
}

void forgetFileLocations() {
    chosenLocations.reset();
    KMiscTools::setDataFolder(nullptr);
}

sFileLocations currentFileLocations() {
    if (chosenLocations)
        return *chosenLocations;
    if (KMiscTools::currentFilePath[0] == '\0')
        KMiscTools::initMiscTools();
    sFileLocations portable;
    portable.programFolder = KMiscTools::currentFilePath;
    portable.dataFolder = KMiscTools::dataFolder();
    portable.playerDataFolder = portable.programFolder + "/data";
    portable.configFolder = portable.programFolder;
    return portable;
}

bool preparePlayerFolders(const sFileLocations &locations, std::FILE *err) {
    bool fine = true;
    if (!locations.dataFound) {
        const std::string installed =
            (std::filesystem::path(locations.programFolder) / QUORIX_DATA_FROM_PROGRAM)
                .lexically_normal()
                .string();
        std::fprintf(err,
                     "quorix: the game's data was not found (looked in '%s' and '%s'); name its folder with "
                     "--data DIR\n",
                     locations.dataFolder.c_str(), installed.c_str());
        fine = false;
    }
    if (locations.layout == eFileLayout::portable)
        return fine; // the folders are there and writable: that is what made the layout portable
    fine &= preparePlayerFolder(locations.playerDataFolder, "high scores and launcher settings",
                                "XDG_DATA_HOME", err);
    fine &= preparePlayerFolder(locations.configFolder, "preferences", "XDG_CONFIG_HOME", err);
    return fine;
}

std::string preferencesFilePath() {
    return fileIn(currentFileLocations().configFolder, kPreferencesFile);
}

std::string playerDataFilePath(const char *name) {
    return fileIn(currentFileLocations().playerDataFolder, name);
}

std::vector<std::string> scoreServerSettingPaths() {
    const sFileLocations locations = currentFileLocations();
    const std::string own = fileIn(locations.layout == eFileLayout::portable ? locations.playerDataFolder
                                                                             : locations.configFolder,
                                   kScoreServerFile);
    const std::string shipped = fileIn(locations.dataFolder, kScoreServerFile);
    std::vector<std::string> paths;
    if (!own.empty())
        paths.push_back(own);
    if (shipped != own)
        paths.push_back(shipped);
    return paths;
}
