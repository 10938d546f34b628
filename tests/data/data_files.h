// Readers for the files of the generated data folder: they check sizes and fail cleanly on anything
// malformed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "game/sheet_layout.h"
#include "support/picture.h"
#include "support/temp_folder.h"

namespace datatest {

using support::Picture;
using support::Pixel;
using support::readBytes;

inline std::filesystem::path dataDir() {
    return QUORIX_DATA_DIR;
}

// A TGA, BMP or PNG picture (by its extension), read with the game's own decoder.
std::optional<Picture> readPicture(const std::filesystem::path &path);
// The same, failing the test when it cannot be read.
Picture load(const std::filesystem::path &path);

struct Audio {
    int channels = 0;
    int rate = 0;
    std::vector<int16_t> samples; // interleaved
    size_t frames() const { return channels > 0 ? samples.size() / static_cast<size_t>(channels) : 0; }
    double seconds() const { return rate > 0 ? static_cast<double>(frames()) / rate : 0; }
};

// 16-bit PCM WAV, or Ogg Vorbis, decoded whole.
std::optional<Audio> readAudio(const std::filesystem::path &path);

// How many pixels of the two w x h regions differ (any channel by more than `tolerance`).
int differingPixels(const Picture &a, layout::Point atA, const Picture &b, layout::Point atB, int w, int h,
                    int tolerance = 8);
// Pixels of [x1, x2) x [y1, y2) with alpha above 128.
int inkIn(const Picture &p, const layout::Rect &r);
} // namespace datatest
