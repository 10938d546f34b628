#include "shell/prefs.h"

#include "framework/KSound.h"
#include "shell/files.h"
#include "shell/paths.h"

#include <bit>
#include <string>

// prefs.raw is the in-memory record as it stands, and it is little-endian.
static_assert(std::endian::native == std::endian::little);

sPrefs prefs = kDefaultPrefs;

int32_t sliderToPercent(int32_t position) {
    int32_t percent = static_cast<int32_t>(static_cast<int64_t>(position) * 100 / 117);
    if (percent < 0)
        percent = 0;
    if (percent > 100)
        percent = 100;
    return percent;
}

void loadPrefs() {
    const std::string pathText = preferencesFilePath();
    const char *path = pathText.c_str();
    const long read = readRecordFile(path, &prefs, sizeof(prefs));
    if (read == kRecordUnreadable)
        reportUnreadableFile(path);
    if (read < 0)
        return;
    if (prefs.difficulty < 0)
        prefs.difficulty = 0;
    if (prefs.difficulty > 3)
        prefs.difficulty = 2;
    if (prefs.gameMode < 0)
        prefs.gameMode = 0;
    if (prefs.gameMode > 3)
        prefs.gameMode = 3;
    KSound::setGlobalVolumes(sliderToPercent(prefs.volumezik), sliderToPercent(prefs.volume));
}

void savePrefs() {
    const std::string path = preferencesFilePath();
    // A file that is there but cannot be read (left by another user, say) is not this run's to replace.
    sPrefs onDisk{};
    if (readRecordFile(path.c_str(), &onDisk, sizeof(onDisk)) == kRecordUnreadable) {
        reportUnreadableFile(path.c_str());
        return;
    }
    writeRecordFile(path.c_str(), &prefs, sizeof(prefs));
}
