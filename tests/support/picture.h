// Pictures as the tests see them: ARGB8888 words, top row first, from the back buffer or from a file,
// and the pixel counts the tests compare them by.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace support {

// One pixel taken apart.
struct Pixel {
    uint8_t r = 0, g = 0, b = 0, a = 0;
    bool operator==(const Pixel &) const = default;
    double luminance() const { return (0.2126 * r + 0.7152 * g + 0.0722 * b) / 255.0; }
};

struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> argb;
    uint32_t at(int x, int y) const { return argb[static_cast<size_t>(y) * width + x]; }
    uint32_t rgb(int x, int y) const { return at(x, y) & 0xFFFFFFu; }
    Pixel pixel(int x, int y) const {
        const uint32_t p = at(x, y);
        return {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p), uint8_t(p >> 24)};
    }
};

// A rectangle [x1, x2) x [y1, y2).
struct Area {
    int x1, y1, x2, y2;
};

inline int channel(uint32_t argb, int shift) {
    return static_cast<int>(argb >> shift & 0xFF);
}
inline int alpha(uint32_t argb) {
    return channel(argb, 24);
}

// The back buffer now, with its raw alpha.
Picture backBuffer();

// Pixels of `area` in a that differ from the pixels of the same size at (bx, by) in b (same place
// when omitted): any colour channel (and alpha, when asked) off by more than `tolerance`.
int differingPixels(const Picture &a, const Picture &b, Area area, int tolerance = 0);
int differingPixels(const Picture &a, const Picture &b, Area area, int bx, int by, int tolerance,
                    bool withAlpha = false);
// Pixels of `area` whose colour is not black.
int litPixels(const Picture &picture, Area area);

} // namespace support
