#include "framework/KMiscTools.h"

#include "platform/system.h"

#include <SDL.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

char KMiscTools::currentFilePath[KMiscTools::kPathSize] = "";
char KMiscTools::builtPath[KMiscTools::kPathSize] = "";
char KMiscTools::dataFolderPath[KMiscTools::kPathSize] = "";
int KMiscTools::_HighFreq = 0;
int64_t KMiscTools::_unitsPerSecond = 0;
int64_t KMiscTools::tstart = 0;
int64_t KMiscTools::tnow = 0;
void (*KMiscTools::_urlOpener)(const char *url, bool maximised) = nullptr;

static void copyCut(char *destination, const char *source, size_t size) {
    std::snprintf(destination, size, "%s", source);
}

void KMiscTools::initMiscTools() {
    std::string exe = platform::executableFileName();
    copyCut(currentFilePath, exe.c_str(), sizeof(currentFilePath));
    // Cut at the last separator, scanning down to the second character. A program in the root keeps
    // "/" as its folder, so that the folder never reads as unset.
    int length = static_cast<int>(std::strlen(currentFilePath));
    int cut = length - 1;
    while (cut >= 1 && currentFilePath[cut] != '/')
        --cut;
    if (cut >= 1)
        currentFilePath[cut] = '\0';
    else if (currentFilePath[0] == '/')
        currentFilePath[1] = '\0';
    if (currentFilePath[0] == '\0')
        copyCut(currentFilePath, ".", sizeof(currentFilePath));
    dataFolderPath[0] = '\0';
    initMillisecond();
}

void KMiscTools::setProgramFolder(const char *folder) {
    copyCut(currentFilePath, folder ? folder : "", sizeof(currentFilePath));
    size_t length = std::strlen(currentFilePath);
    if (length > 1 && currentFilePath[length - 1] == '/')
        currentFilePath[length - 1] = '\0';
    dataFolderPath[0] = '\0';
    initMillisecond();
}

void KMiscTools::setDataFolder(const char *folder) {
    copyCut(dataFolderPath, folder ? folder : "", sizeof(dataFolderPath));
    size_t length = std::strlen(dataFolderPath);
    if (length > 1 && dataFolderPath[length - 1] == '/')
        dataFolderPath[length - 1] = '\0';
}

std::string KMiscTools::dataFolder() {
    if (dataFolderPath[0] != '\0')
        return dataFolderPath;
    if (currentFilePath[0] == '\0')
        initMiscTools();
    return std::string(currentFilePath) + "/data";
}

// The part of a name after its "data" folder ("/a.bmp" of "data\\a.bmp"), or null when the name is not
// in the data folder.
static const char *insideDataFolder(const char *name) {
    if (std::strncmp(name, "data", 4) != 0)
        return nullptr;
    if (name[4] == '\0' || name[4] == '/' || name[4] == '\\')
        return name + 4;
    return nullptr;
}

char *KMiscTools::makeFilePath(const char *filename) {
    builtPath[0] = '\0';
    if (currentFilePath[0] == '\0')
        initMiscTools();
    if (filename == nullptr)
        filename = "";

    if (filename[0] == '\\' || filename[0] == ':' || filename[0] == '/')
        filename++;

    if (filename[0] != '\0' && filename[1] == ':') {
        // A drive-qualified name: Linux has one root, so the rest names a place under it.
        const char *rest = filename + 2;
        bool rooted = rest[0] == '/' || rest[0] == '\\';
        copyCut(builtPath, (std::string(rooted ? "" : "/") + rest).c_str(), sizeof(builtPath));
    } else if (const char *rest = insideDataFolder(filename); rest && dataFolderPath[0] != '\0') {
        copyCut(builtPath, (std::string(dataFolderPath) + rest).c_str(), sizeof(builtPath));
    } else {
        copyCut(builtPath, (std::string(currentFilePath) + "/" + filename).c_str(), sizeof(builtPath));
    }

    for (char *p = builtPath; *p; ++p)
        if (*p == '\\')
            *p = '/';
    return builtPath;
}

void KMiscTools::initMillisecond() {
    _unitsPerSecond = static_cast<int64_t>(SDL_GetPerformanceFrequency());
    _HighFreq = _unitsPerSecond > 0;
}

unsigned long KMiscTools::getMilliseconds() {
    if (_HighFreq) {
        tnow = static_cast<int64_t>(SDL_GetPerformanceCounter());
        int64_t elapsed = tnow - tstart;
        // Whole seconds and the remainder apart, so that a nanosecond counter cannot overflow.
        int64_t ms = elapsed / _unitsPerSecond * 1000 + elapsed % _unitsPerSecond * 1000 / _unitsPerSecond;
        return static_cast<uint32_t>(ms);
    }
    // Before initMillisecond: the plain millisecond timer, modulo 2^32 like the counter above.
    auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count() -
                                 tstart);
}

unsigned long KMiscTools::getTheTicks() {
    return getMilliseconds();
}

std::string KMiscTools::makeFileURL(const char *path) {
    return platform::fileURL(path ? path : "");
}

void KMiscTools::launchURL(char *url, bool maximised) {
    if (url == nullptr)
        return;
    auto parms = std::make_unique<URLParms>();
    std::snprintf(parms->url, sizeof(parms->url), "%s", url);
    parms->maximised = maximised;
    void (*opener)(const char *, bool) = _urlOpener;
    std::thread([owned = std::move(parms), opener] {
        if (opener)
            opener(owned->url, owned->maximised);
        else
            platform::openURL(owned->url); // the desktop decides the browser window's size
        SDL_TLSCleanup();                  // SDL keeps an error buffer per thread
    }).detach();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

void KMiscTools::enumerateFolder(char *folderpath, bool (*enumerationProcPtr)(char *name, bool isFolder)) {
    if (folderpath == nullptr || enumerationProcPtr == nullptr)
        return;
    platform::listFolder(folderpath, [&](const char *name, bool isFolder) {
        char entryName[kPathSize];
        copyCut(entryName, name, sizeof(entryName));
        return enumerationProcPtr(entryName, isFolder);
    });
}
