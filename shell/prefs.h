// The player's preferences, kept in prefs.raw (beside the executable, or in the player's settings
// folder: shell/paths.h).
#pragma once

#include <cstdint>

// Seven signed 32-bit fields, stored as a raw little-endian 28-byte record.
struct sPrefs {
    int32_t volume;      // sound-effects slider position
    int32_t volumezik;   // music slider position
    int32_t gameMode;    // 0 60 seconds, 1 5 minutes, 2 million, 3 relax
    int32_t difficulty;  // 0..3
    int32_t scoretab;    // high-score tab shown, 0..3
    int32_t bubbleset;   // gem set folder number
    int32_t currentTune; // index into the music playlist
};
static_assert(sizeof(sPrefs) == 28, "prefs.raw is a 28-byte record");

extern sPrefs prefs;

// The values in force when prefs.raw is missing.
constexpr sPrefs kDefaultPrefs{100, 100, 0, 1, 0, 0, 0};

// The slider scale runs 0..116 (up to 176 from the file); a master volume is position * 100 / 117.
int32_t sliderToPercent(int32_t position);

// Reads prefs.raw (a short file replaces only the bytes it holds), corrects the difficulty and the mode,
// and applies the stored volumes. A missing file leaves the defaults and applies nothing; so does one
// that cannot be read, which is reported on stderr.
void loadPrefs();
// Writes prefs.raw; a file that cannot be written, or that exists but cannot be read, keeps its old
// contents.
void savePrefs();
