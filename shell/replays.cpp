#include "shell/replays.h"

#include "platform/file_reader.h"
#include "shell/files.h"
#include "shell/paths.h"

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// The folder of the row replays, made when it is missing; "" when none can be had.
std::string rowReplayFolder(bool make) {
    const std::string table = playerDataFilePath("s60");
    const size_t slash = table.rfind('/');
    if (table.empty() || slash == std::string::npos)
        return "";
    const std::string folder = table.substr(0, slash) + "/replays";
    if (make && mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return "";
    return folder;
}

} // namespace

bool saveReplayFile(const std::string &path, const replay::Replay &game) {
    if (path.empty())
        return false;
    const std::vector<uint8_t> bytes = replay::encode(game);
    return writeRecordFile(path.c_str(), bytes.data(), bytes.size());
}

bool loadReplayFile(const std::string &path, replay::Replay &game, std::string &why) {
    std::vector<uint8_t> bytes;
    if (path.empty() || !platform::readRegularFile(path.c_str(), replay::kMaxFileBytes + 1, bytes)) {
        why = "cannot read " + path;
        return false;
    }
    return replay::decode(bytes, game, why);
}

std::string lastReplayPath() {
    return playerDataFilePath("last.qrp");
}

void saveLastReplay(const replay::Replay &game) {
    if (!game.frames.empty())
        saveReplayFile(lastReplayPath(), game);
}

std::string rowReplayName(long mode, long difficulty, uint32_t value, const char *name) {
    static const char digits[] = "0123456789abcdef";
    std::string text =
        "m" + std::to_string(mode) + "-d" + std::to_string(difficulty) + "-" + std::to_string(value) + "-";
    // The name as hex: any byte a player typed is safe in a file name that way.
    for (size_t i = 0; name && name[i] && i < 31; ++i) {
        const auto byte = static_cast<unsigned char>(name[i]);
        text += digits[byte >> 4];
        text += digits[byte & 15];
    }
    return text + ".qrp";
}

std::string rowReplayPath(long mode, long difficulty, uint32_t value, const char *name) {
    const std::string folder = rowReplayFolder(false);
    return folder.empty() ? "" : folder + "/" + rowReplayName(mode, difficulty, value, name);
}

void keepRowReplay(long mode, long difficulty, uint32_t value, const char *name, const replay::Replay &game) {
    const std::string folder = rowReplayFolder(true);
    if (!folder.empty())
        saveReplayFile(folder + "/" + rowReplayName(mode, difficulty, value, name), game);
}

void forgetRowReplaysExcept(const std::set<std::string> &rowNames) {
    const std::string folder = rowReplayFolder(false);
    DIR *listing = folder.empty() ? nullptr : opendir(folder.c_str());
    if (!listing)
        return;
    std::vector<std::string> gone;
    while (const dirent *entry = readdir(listing)) {
        const std::string name = entry->d_name;
        // Only our own files: a row replay's name, not yet a temporary file of one being written.
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".qrp") == 0 && name[0] == 'm' &&
            !rowNames.count(name))
            gone.push_back(folder + "/" + name);
    }
    closedir(listing);
    for (const std::string &path : gone)
        unlink(path.c_str());
}
