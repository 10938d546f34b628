// Readers for the files of the generated data folder, written for the tests: they check sizes and
// fail cleanly on anything malformed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "game/sheet_layout.h"

namespace datatest {

std::filesystem::path dataDir();

struct Pixel {
    uint8_t r = 0, g = 0, b = 0, a = 0;
    bool operator==(const Pixel &) const = default;
    double luminance() const { return (0.2126 * r + 0.7152 * g + 0.0722 * b) / 255.0; }
};

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<Pixel> pixels; // row-major, top row first
    const Pixel &at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Uncompressed true-colour TGA (24 or 32 bits, either row order).
std::optional<Picture> readTga(const std::filesystem::path &path);
// Uncompressed 24-bit BMP; every pixel comes back opaque.
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

std::vector<uint8_t> readBytes(const std::filesystem::path &path);

// How many pixels of the two w x h regions differ (any channel by more than `tolerance`).
int differingPixels(const Picture &a, layout::Point atA, const Picture &b, layout::Point atB, int w, int h,
                    int tolerance = 8);

} // namespace datatest
