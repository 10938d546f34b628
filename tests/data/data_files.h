// Readers for the files of the generated data folder, written for the tests: they check sizes and
// fail cleanly on anything malformed.
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

std::filesystem::path dataDir();

using support::Picture;
using support::Pixel;

// A TGA or BMP picture of the data folder, read with the game's own decoder.
std::optional<Picture> readTga(const std::filesystem::path &path);
std::optional<Picture> readBmp(const std::filesystem::path &path);

struct Audio {
    int channels = 0;
    int rate = 0;
    std::vector<int16_t> samples; // interleaved
    size_t frames() const { return channels > 0 ? samples.size() / static_cast<size_t>(channels) : 0; }
    double seconds() const { return rate > 0 ? static_cast<double>(frames()) / rate : 0; }
};

// 16-bit PCM WAV.
std::optional<Audio> readWav(const std::filesystem::path &path);
// Ogg Vorbis through libvorbisfile, decoded whole.
std::optional<Audio> readOgg(const std::filesystem::path &path);

using support::readBytes;

// How many pixels of the two w x h regions differ (any channel by more than `tolerance`).
int differingPixels(const Picture &a, layout::Point atA, const Picture &b, layout::Point atB, int w, int h,
                    int tolerance = 8);

} // namespace datatest
