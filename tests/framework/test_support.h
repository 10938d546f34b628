// Shared by the framework tests: the one headless window of the test program, picture files written
// by the tests themselves, and back-buffer read-back.
#pragma once

#include "framework/KGraphicD3D.h"
#include "framework/KWindowD3D.h"
#include "support/picture.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>

namespace testsupport {

using support::backBuffer;
using support::Bytes;
using support::Picture;
using support::writeBytes;

// The window, created headless on first use and kept for the whole test program.
KWindowD3D &window();
// A file name in a folder of this test program's own, removed at exit.
std::string scratch(const std::string &name = "");

// A picture whose every pixel is distinct: red = x * 4, green = y * 4, blue = (x + y) % 256.
Picture gradient(int width, int height, uint8_t alpha = 255);
Picture solid(int width, int height, uint32_t argb);

// Writes the picture as a PNG, a 24-bit BMP or (any other name) a TGA of the given depth and order, and
// returns the file's bytes.
support::Bytes writePicture(const std::string &path, const Picture &picture, int tgaBits = 32,
                            bool rle = false, bool topDown = false);
// Writes the picture as a 32-bit TGA under `name` and loads it with full colour and alpha.
bool load(KGraphicD3D &into, const std::string &name, const Picture &picture);
// Clears the back buffer to an opaque colour with the default view.
void clearScreen(uint32_t rgb = 0);

// A pixel of the back buffer and the colour it must have, each channel within the tolerance.
struct Probe {
    int x, y;
    uint32_t rgb;
};
void expectPixels(std::initializer_list<Probe> probes, int tolerance = 0);

// A test that draws: it starts from a black screen and the default view, and leaves the default view.
class Drawing : public ::testing::Test {
protected:
    void SetUp() override {
        window().setDefaultWorldView();
        clearScreen();
    }
    void TearDown() override { window().setDefaultWorldView(); }
};

} // namespace testsupport
