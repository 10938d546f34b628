#include "framework/KGraphicD3D.h"
#include "framework/KWindowD3D.h"
#include "platform/render_device.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <set>

using namespace testsupport;

namespace {

// A 64x64 picture split into four 32x32 quadrants of plain colours.
Picture quadrants() {
    Picture p{64, 64, {}};
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            p.argb.push_back(y < 32 ? (x < 32 ? 0xFFFF0000u : 0xFF00FF00u)
                                    : (x < 32 ? 0xFF0000FFu : 0xFFFFFFFFu));
    return p;
}

class Blits : public ::testing::Test {
protected:
    void SetUp() override {
        window().setDefaultWorldView();
        clearScreen();
        load(image, "grid64.tga", gradient(64, 64));
    }
    void TearDown() override { window().setDefaultWorldView(); }

    static void load(KGraphicD3D &into, const char *name, const Picture &picture) {
        std::string path = (scratch() / name).string();
        writeTGA(path, picture, 32, false);
        ASSERT_TRUE(into.loadPicture(path.c_str(), true, true));
    }
    // How many pixels of a row differ from black.
    static int litPixels(const Picture &screen, int y, int from, int to) {
        int lit = 0;
        for (int x = from; x <= to; ++x)
            lit += rgbOf(screen.at(x, y)) != 0;
        return lit;
    }

    const Picture source = gradient(64, 64);
    KGraphicD3D image;
};

TEST_F(Blits, PlainCopyIsTexelForPixelWithinExactBounds) {
    image.blitRect(0, 0, 32, 32, 100, 50, false, false);
    Picture screen = backBuffer();
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            ASSERT_EQ(rgbOf(screen.at(100 + x, 50 + y)), rgbOf(source.at(x, y))) << x << "," << y;
    EXPECT_EQ(rgbOf(screen.at(99, 50)), 0u);
    EXPECT_EQ(rgbOf(screen.at(132, 50)), 0u);
    EXPECT_EQ(rgbOf(screen.at(100, 49)), 0u);
    EXPECT_EQ(rgbOf(screen.at(100, 82)), 0u);
}

TEST_F(Blits, FlipsMirrorTheCopy) {
    image.blitRect(0, 0, 32, 32, 100, 50, true, false);
    image.blitRect(0, 0, 32, 32, 200, 50, false, true);
    image.blitRect(0, 0, 32, 32, 300, 50, true, true);
    Picture screen = backBuffer();
    EXPECT_EQ(rgbOf(screen.at(100, 50)), rgbOf(source.at(31, 0)));
    EXPECT_EQ(rgbOf(screen.at(131, 81)), rgbOf(source.at(0, 31)));
    EXPECT_EQ(rgbOf(screen.at(200, 50)), rgbOf(source.at(0, 31)));
    EXPECT_EQ(rgbOf(screen.at(300, 50)), rgbOf(source.at(31, 31)));
    EXPECT_EQ(rgbOf(screen.at(305, 60)), rgbOf(source.at(26, 21)));
}

TEST_F(Blits, SourceCornersAreTruncated) {
    image.blitRect(0.9f, 0, 32.7f, 32, 10, 10, false, false);
    image.blitRect(5.99f, 3.5f, 9.2f, 7.9f, 60, 10, false, false);
    Picture screen = backBuffer();
    EXPECT_EQ(rgbOf(screen.at(10, 10)), rgbOf(source.at(0, 0)));
    EXPECT_EQ(rgbOf(screen.at(41, 41)), rgbOf(source.at(31, 31)));
    EXPECT_EQ(rgbOf(screen.at(42, 10)), 0u);
    EXPECT_EQ(rgbOf(screen.at(60, 10)), rgbOf(source.at(5, 3)));
    EXPECT_EQ(rgbOf(screen.at(63, 13)), rgbOf(source.at(8, 6)));
    EXPECT_EQ(rgbOf(screen.at(64, 10)), 0u);
    EXPECT_EQ(rgbOf(screen.at(60, 14)), 0u);
}

TEST_F(Blits, TransparentTexelsAreOpaqueOnlyWithoutBlending) {
    KGraphicD3D clear;
    load(clear, "clear.tga", gradient(16, 16, 0));
    clear.blitRect(0, 0, 16, 16, 10, 10, false, false);
    clear.blitAlphaRect(0, 0, 16, 16, 40, 10, false, false);
    Picture screen = backBuffer();
    EXPECT_EQ(rgbOf(screen.at(15, 12)), rgbOf(gradient(16, 16).at(5, 2)));
    for (int x = 40; x < 56; ++x)
        ASSERT_EQ(rgbOf(screen.at(x, 12)), 0u);
}

TEST_F(Blits, AlphaBlendingAndAdditiveMode) {
    clearScreen(0x646464);
    KGraphicD3D half;
    Picture halfRed{8, 8, std::vector<uint32_t>(64, 0x80FF0000u)};
    load(half, "half.tga", halfRed);
    half.blitAlphaRect(0, 0, 8, 8, 10, 10, false, false);
    half.setAlphaMode(false);
    half.blitAlphaRect(0, 0, 8, 8, 30, 10, false, false);
    Picture screen = backBuffer();
    // Ordinary: 255 * 128/255 + 100 * 127/255; additive: 100 + 128 in red, 100 in the others.
    uint32_t mixed = screen.at(12, 12);
    EXPECT_NEAR(static_cast<int>(mixed >> 16 & 0xFF), 178, 1);
    EXPECT_NEAR(static_cast<int>(mixed >> 8 & 0xFF), 50, 1);
    uint32_t added = screen.at(32, 12);
    EXPECT_NEAR(static_cast<int>(added >> 16 & 0xFF), 228, 1);
    EXPECT_EQ(added >> 8 & 0xFF, 100u);
}

TEST_F(Blits, FxWithNoEffectMatchesTheAlphaCopy) {
    image.blitAlphaRect(0, 0, 32, 32, 100, 50, false, false);
    image.blitAlphaRectFx(0, 0, 32, 32, 200, 50, 0.0f, 1.0f, 1.0f, false, false);
    Picture screen = backBuffer();
    for (int y = 0; y < 34; ++y)
        for (int x = -1; x < 33; ++x)
            ASSERT_EQ(screen.at(100 + x, 49 + y), screen.at(200 + x, 49 + y)) << x << "," << y;
}

TEST_F(Blits, FxWithoutOpacityOrSizeDrawsNothing) {
    image.blitAlphaRectFx(0, 0, 32, 32, 100, 50, 30.0f, 1.0f, 0.0f, false, false);
    image.blitAlphaRectFx(0, 0, 32, 32, 100, 50, 30.0f, 0.0f, 1.0f, false, false);
    image.blitAlphaRectFx(0, 0, 32, 32, 100, 50, 30.0f, 1.0f, -2.0f, false, false);
    Picture screen = backBuffer();
    for (int y = 30; y < 100; ++y)
        ASSERT_EQ(litPixels(screen, y, 80, 150), 0) << y;
}

TEST_F(Blits, OddSizedFxSitsHalfAPixelOff) {
    KGraphicD3D white;
    load(white, "white45.tga", Picture{45, 45, std::vector<uint32_t>(45 * 45, 0xFFFFFFFFu)});
    white.blitAlphaRect(0, 0, 45, 45, 100, 100, false, false);
    white.blitAlphaRectFx(0, 0, 45, 45, 100, 200, 0.0f, 1.0f, 1.0f, false, false);
    Picture screen = backBuffer();
    // The plain copy covers 100..144; the Fx copy, centred on 122 rather than 122.5, covers 99..143.
    EXPECT_EQ(rgbOf(screen.at(99, 120)), 0u);
    EXPECT_EQ(rgbOf(screen.at(144, 120)), 0xFFFFFFu);
    EXPECT_EQ(rgbOf(screen.at(99, 220)), 0xFFFFFFu);
    EXPECT_EQ(rgbOf(screen.at(144, 220)), 0u);
    EXPECT_EQ(litPixels(screen, 220, 90, 160), 45);
    EXPECT_EQ(rgbOf(screen.at(120, 199)), 0xFFFFFFu);
    EXPECT_EQ(rgbOf(screen.at(120, 244)), 0u);
}

TEST_F(Blits, FxTurnsCounterClockwiseAndZoomsAboutTheCentre) {
    KGraphicD3D four;
    load(four, "quadrants.tga", quadrants());
    four.blitAlphaRectFx(0, 0, 64, 64, 100, 100, 90.0f, 1.0f, 1.0f, false, false);
    four.blitAlphaRectFx(0, 0, 64, 64, 300, 100, 0.0f, 2.0f, 1.0f, false, false);
    four.blitAlphaRectFx(0, 0, 64, 64, 100, 300, 0.0f, -1.0f, 1.0f, false, false);
    Picture screen = backBuffer();
    // A quarter turn to the left: the top-right (green) quadrant moves to the top-left, and so on.
    EXPECT_EQ(rgbOf(screen.at(110, 110)), 0x00FF00u);
    EXPECT_EQ(rgbOf(screen.at(150, 110)), 0xFFFFFFu);
    EXPECT_EQ(rgbOf(screen.at(110, 150)), 0xFF0000u);
    EXPECT_EQ(rgbOf(screen.at(150, 150)), 0x0000FFu);
    // Twice the size about the centre (332, 132): from 268 to 395.
    EXPECT_EQ(rgbOf(screen.at(270, 70)), 0xFF0000u);
    EXPECT_EQ(rgbOf(screen.at(393, 193)), 0xFFFFFFu);
    EXPECT_EQ(rgbOf(screen.at(266, 132)), 0u);
    EXPECT_EQ(rgbOf(screen.at(398, 132)), 0u);
    // A negative zoom mirrors through the centre.
    EXPECT_EQ(rgbOf(screen.at(110, 310)), 0xFFFFFFu);
    EXPECT_EQ(rgbOf(screen.at(150, 350)), 0xFF0000u);
}

TEST_F(Blits, FxOpacityMultipliesTheTexels) {
    KGraphicD3D white;
    load(white, "white8.tga", Picture{8, 8, std::vector<uint32_t>(64, 0xFFFFFFFFu)});
    white.blitAlphaRectFx(0, 0, 8, 8, 10, 10, 0.0f, 1.0f, 0.5f, false, false);
    EXPECT_EQ(white._blend, 1.0f);
    uint32_t pixel = backBuffer().at(12, 12);
    EXPECT_NEAR(static_cast<int>(pixel & 0xFF), 127, 1);
}

TEST_F(Blits, BlitColourTintsUntilReset) {
    KGraphicD3D white;
    load(white, "white8b.tga", Picture{8, 8, std::vector<uint32_t>(64, 0xFFFFFFFFu)});
    white.setBlitColor(2.0f, 0.5f, -1.0f, 1.0f);
    EXPECT_TRUE(white._blitColorChanged);
    white.blitAlphaRect(0, 0, 8, 8, 10, 10, false, false);
    white.blitRect(0, 0, 8, 8, 30, 10, false, false);
    white.setBlitColor(1, 1, 1, 1);
    EXPECT_FALSE(white._blitColorChanged);
    white.blitRect(0, 0, 8, 8, 50, 10, false, false);
    Picture screen = backBuffer();
    EXPECT_EQ(rgbOf(screen.at(12, 12)), 0xFF7F00u);
    EXPECT_EQ(rgbOf(screen.at(32, 12)), 0xFF7F00u);
    EXPECT_EQ(rgbOf(screen.at(52, 12)), 0xFFFFFFu);
}

TEST_F(Blits, DrawRectFillsWholePixelsAndForcesARebind) {
    image.blitRect(0, 0, 4, 4, 0, 0, false, false);
    EXPECT_EQ(KGraphicD3D::_oldBindedText, image._surface);
    image.drawRect(10, 10, 20, 20, 1, 0, 0, 0.5f);
    EXPECT_EQ(KGraphicD3D::_oldBindedText, nullptr);
    image.blitRect(0, 0, 32, 32, 100, 50, false, false);
    EXPECT_EQ(KGraphicD3D::_oldBindedText, image._surface);
    Picture screen = backBuffer();
    for (int y = 8; y < 23; ++y)
        for (int x = 8; x < 23; ++x) {
            bool inside = x >= 10 && x < 20 && y >= 10 && y < 20;
            uint32_t expected = inside ? 0x7F0000u : 0;
            ASSERT_NEAR(static_cast<int>(rgbOf(screen.at(x, y)) >> 16), static_cast<int>(expected >> 16), 1)
                << x << "," << y;
            ASSERT_EQ(rgbOf(screen.at(x, y)) & 0xFFFF, 0u);
        }
    EXPECT_EQ(rgbOf(screen.at(105, 60)), rgbOf(source.at(5, 10)));
}

TEST_F(Blits, TheViewMovesEveryDrawing) {
    window().setWorldView(5, 0, 0, 1, false);
    image.blitRect(0, 0, 32, 32, 100, 50, false, false);
    image.drawRect(300, 300, 310, 310, 1, 1, 1, 1);
    window().setWorldView(0, 5, 0, 1, false);
    image.blitRect(0, 0, 32, 32, 200, 50, false, false);
    Picture screen = backBuffer();
    EXPECT_EQ(rgbOf(screen.at(104, 50)), 0u);
    EXPECT_EQ(rgbOf(screen.at(105, 50)), rgbOf(source.at(0, 0)));
    EXPECT_EQ(rgbOf(screen.at(136, 81)), rgbOf(source.at(31, 31)));
    EXPECT_EQ(rgbOf(screen.at(304, 305)), 0u);
    EXPECT_EQ(rgbOf(screen.at(305, 305)), 0xFFFFFFu);
    EXPECT_EQ(rgbOf(screen.at(200, 54)), 0u);
    EXPECT_EQ(rgbOf(screen.at(200, 55)), rgbOf(source.at(0, 0)));
}

TEST_F(Blits, ZoomedViewScalesEachDrawingAsIfItStoodAtTheOrigin) {
    KGraphicD3D screenSized, small;
    load(screenSized, "white640.tga", Picture{640, 480, std::vector<uint32_t>(640 * 480, 0xFFFFFFFFu)});
    load(small, "white64.tga", Picture{64, 48, std::vector<uint32_t>(64 * 48, 0xFF00FF00u)});
    window().setWorldView(0, 0, 0, 0.5f, false);
    // A full-screen picture at (0, 0) halves about the screen's middle: 160..479 by 120..359.
    screenSized.blitRect(0, 0, 640, 480, 0, 0, false, false);
    // Anything else is halved the same way and then moved by its destination, unscaled.
    small.blitRect(0, 0, 64, 48, 200, 150, false, false);
    Picture screen = backBuffer();
    EXPECT_EQ(rgbOf(screen.at(159, 240)), 0u);
    EXPECT_EQ(rgbOf(screen.at(160, 240)), 0xFFFFFFu);
    EXPECT_EQ(rgbOf(screen.at(479, 300)), 0xFFFFFFu);
    EXPECT_EQ(rgbOf(screen.at(480, 300)), 0u);
    EXPECT_EQ(rgbOf(screen.at(320, 119)), 0u);
    EXPECT_EQ(rgbOf(screen.at(320, 120)), 0xFFFFFFu);
    EXPECT_EQ(rgbOf(screen.at(320, 359)), 0xFFFFFFu);
    EXPECT_EQ(rgbOf(screen.at(320, 360)), 0u);
    EXPECT_EQ(rgbOf(screen.at(359, 269)), 0xFFFFFFu);
    EXPECT_EQ(rgbOf(screen.at(360, 270)), 0x00FF00u);
    EXPECT_EQ(rgbOf(screen.at(391, 293)), 0x00FF00u);
    EXPECT_EQ(rgbOf(screen.at(392, 294)), 0xFFFFFFu);
}

TEST_F(Blits, WrapRepeatsAndClampExtendsTheEdge) {
    image.blitRect(48, 0, 80, 8, 10, 10, false, false);
    image.allowTextureWrap(true);
    image.blitRect(48, 0, 80, 8, 10, 30, false, false);
    image.blitRect(-4, 0, 4, 8, 60, 30, false, false);
    Picture screen = backBuffer();
    EXPECT_EQ(rgbOf(screen.at(25, 10)), rgbOf(source.at(63, 0)));
    EXPECT_EQ(rgbOf(screen.at(26, 10)), rgbOf(source.at(63, 0)));
    EXPECT_EQ(rgbOf(screen.at(41, 10)), rgbOf(source.at(63, 0)));
    EXPECT_EQ(rgbOf(screen.at(25, 30)), rgbOf(source.at(63, 0)));
    EXPECT_EQ(rgbOf(screen.at(26, 30)), rgbOf(source.at(0, 0)));
    EXPECT_EQ(rgbOf(screen.at(41, 31)), rgbOf(source.at(15, 1)));
    EXPECT_EQ(rgbOf(screen.at(60, 30)), rgbOf(source.at(60, 0)));
    EXPECT_EQ(rgbOf(screen.at(64, 30)), rgbOf(source.at(0, 0)));
}

TEST_F(Blits, HighQualityFilteringBlendsNeighbouringTexels) {
    KGraphicD3D stripes, sharp;
    Picture pattern{2, 1, {0xFF000000u, 0xFFFFFFFFu}};
    load(stripes, "stripes.tga", pattern);
    load(sharp, "stripes-sharp.tga", pattern);
    stripes.setTextureQuality(true);
    EXPECT_TRUE(stripes._textureQuality);
    // Alternate between the two pictures so a filter change cannot leak from one to the other.
    for (int i = 0; i < 2; ++i) {
        sharp.blitAlphaRectFx(0, 0, 2, 1, static_cast<short>(100 + i * 200), 100, 0.0f, 32.0f, 1.0f);
        stripes.blitAlphaRectFx(0, 0, 2, 1, static_cast<short>(200 + i * 200), 100, 0.0f, 32.0f, 1.0f);
    }
    Picture screen = backBuffer();
    for (int base : {100, 300}) {
        std::set<uint32_t> levels;
        for (int x = base - 40; x < base + 40; ++x)
            levels.insert(rgbOf(screen.at(x, 100)));
        EXPECT_LE(levels.size(), 3u) << base; // black, white and the background only
    }
    for (int base : {200, 400}) {
        std::set<uint32_t> levels;
        for (int x = base - 40; x < base + 40; ++x)
            levels.insert(rgbOf(screen.at(x, 100)));
        EXPECT_GT(levels.size(), 10u) << base; // a ramp of greys between the two texels
    }
}

// Absurd source rectangles are drawn (or not) without hanging: the test's own time limit would
// notice a loop over a billion texels.
TEST_F(Blits, AbsurdSourceRectanglesFinish) {
    image.blitRect(0, 0, 1e9f, 8, 10, 10, false, false);
    image.blitRect(-1e9f, 0, 1e9f, 1e9f, 10, 10, false, false);
    image.allowTextureWrap(true);
    image.blitRect(1e9f, 0, 1e9f + 128, 8, 10, 10, false, false);
    image.blitRect(0, 0, 1e7f, 8, 10, 10, false, false);
    image.blitAlphaRectFx(0, 0, 1e30f, 1e30f, 10, 10, 1e30f, 1e30f, 1e30f, true, true);
    EXPECT_EQ(backBuffer().width, 640);
}

TEST_F(Blits, AnEmptyImageDrawsNothing) {
    KGraphicD3D empty;
    empty.blitRect(0, 0, 32, 32, 10, 10, false, false);
    empty.blitAlphaRect(0, 0, 32, 32, 10, 10, false, false);
    empty.blitAlphaRectFx(0, 0, 32, 32, 10, 10, 10.0f, 1.0f, 1.0f, false, false);
    EXPECT_EQ(litPixels(backBuffer(), 20, 0, 60), 0);
}

} // namespace
