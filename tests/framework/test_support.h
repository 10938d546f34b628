// Shared by the framework tests: the one headless window of the test program, picture files written
// by the tests themselves, and back-buffer read-back.
#pragma once

#include "framework/KWindowD3D.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

// The window, created headless on first use and kept for the whole test program.
KWindowD3D &window();

// A folder of its own for this test program's files, removed at exit.
std::filesystem::path scratch();

// Pictures as ARGB8888 words, top row first.
struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> argb;
    uint32_t at(int x, int y) const { return argb[static_cast<size_t>(y) * width + x]; }
};

// A picture whose every pixel is distinct: red = x * 4, green = y * 4, blue = (x + y) % 256.
Picture gradient(int width, int height, uint8_t alpha = 255);

void writeTGA(const std::string &path, const Picture &picture, int bitsPerPixel, bool rle,
              bool topDown = false);
void writeBMP(const std::string &path, const Picture &picture);
void writePCX(const std::string &path, const Picture &picture);
void writeTIFF(const std::string &path, const Picture &picture, bool withAlpha);
bool writePNG(const std::string &path, const Picture &picture);
bool writeJPEG(const std::string &path, const Picture &picture);
void writeBytes(const std::string &path, const std::vector<uint8_t> &bytes);
std::vector<uint8_t> readBytes(const std::string &path);

// The back buffer now, ARGB8888 with the raw alpha.
Picture backBuffer();
// Clears the back buffer to opaque black with the default view.
void clearScreen(uint32_t rgb = 0);

inline uint32_t rgbOf(uint32_t argb) {
    return argb & 0xFFFFFFu;
}

} // namespace testsupport
