// Shared by the framework tests: the one headless window of the test program, picture files written
// by the tests themselves, and back-buffer read-back.
#pragma once

#include "framework/KWindowD3D.h"
#include "support/picture.h"
#include "support/temp_folder.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

// The window, created headless on first use and kept for the whole test program.
KWindowD3D &window();

// A folder of its own for this test program's files, removed at exit.
std::filesystem::path scratch();

using support::backBuffer;
using support::Picture;
using support::readBytes;
using support::writeBytes;

// A picture whose every pixel is distinct: red = x * 4, green = y * 4, blue = (x + y) % 256.
Picture gradient(int width, int height, uint8_t alpha = 255);

void writeTGA(const std::string &path, const Picture &picture, int bitsPerPixel, bool rle,
              bool topDown = false);
void writeBMP(const std::string &path, const Picture &picture);
void writePCX(const std::string &path, const Picture &picture);
void writeTIFF(const std::string &path, const Picture &picture, bool withAlpha);
bool writePNG(const std::string &path, const Picture &picture);
bool writeJPEG(const std::string &path, const Picture &picture);
// Clears the back buffer to opaque black with the default view.
void clearScreen(uint32_t rgb = 0);

inline uint32_t rgbOf(uint32_t argb) {
    return argb & 0xFFFFFFu;
}

} // namespace testsupport
