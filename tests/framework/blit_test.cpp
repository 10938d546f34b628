#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace testsupport;
using support::differingPixels;
using support::litPixels;

namespace {

class Blits : public Drawing {
protected:
    void SetUp() override {
        Drawing::SetUp();
        ASSERT_TRUE(load(image, "grid64.tga", source));
    }

    const Picture source = gradient(64, 64);
    KGraphicD3D image;
};

// Plain copies on many seeded cases: each texel lands on one pixel (mirrored when flipped), source
// corners are cut to whole texels, the view's offset moves the drawing, and beyond the picture's edge the
// texture repeats (wrap) or stretches its last texel; nothing else on the screen changes.
TEST_F(Blits, PlainCopiesPutEachTexelOnItsOwnPixel) {
    std::mt19937 random(11);
    auto below = [&](int n) { return int(random() % unsigned(n)); };
    for (int round = 0; round < 40; ++round) {
        const bool wrap = round % 2, flipX = below(2), flipY = below(2);
        const int x1 = wrap ? below(96) - 16 : below(60), y1 = wrap ? below(96) - 16 : below(60);
        const int width = 1 + below(40), height = 1 + below(40), destX = below(560), destY = below(400);
        const int viewX = below(17) - 8, viewY = below(17) - 8;
        // Fractions of a texel are cut off (corners below zero stay whole: cutting goes towards zero).
        const float fx = x1 >= 0 ? below(100) / 100.0f : 0, fy = y1 >= 0 ? below(100) / 100.0f : 0;
        SCOPED_TRACE(testing::Message() << "round " << round);
        clearScreen();
        window().setWorldView(float(viewX), float(viewY), 0, 1, false);
        image.allowTextureWrap(wrap);
        image.blitRect(x1 + fx, y1 + fy, x1 + width + fx, y1 + height + fy, short(destX), short(destY), flipX,
                       flipY);
        Picture expected = solid(640, 480, 0);
        auto texel = [&](int t) { return wrap ? (t % 64 + 64) % 64 : std::clamp(t, 0, 63); };
        for (int j = 0; j < height; ++j)
            for (int i = 0; i < width; ++i)
                expected.argb[size_t(destY + viewY + j) * 640 + size_t(destX + viewX + i)] = source.at(
                    texel(x1 + (flipX ? width - 1 - i : i)), texel(y1 + (flipY ? height - 1 - j : j)));
        ASSERT_EQ(differingPixels(backBuffer(), expected, {0, 0, 640, 480}), 0);
    }
}

// Without blending a texel is opaque whatever its alpha; with it, it mixes over the screen.
TEST_F(Blits, AlphaBlendingMixesOnlyWhenAsked) {
    clearScreen(0x646464);
    KGraphicD3D clear, half;
    ASSERT_TRUE(load(clear, "clear.tga", gradient(16, 16, 0)));
    ASSERT_TRUE(load(half, "half.tga", solid(8, 8, 0x80FF0000u)));
    clear.blitRect(0, 0, 16, 16, 10, 10, false, false);
    clear.blitAlphaRect(0, 0, 16, 16, 40, 10, false, false);
    half.blitAlphaRect(0, 0, 8, 8, 10, 40, false, false);
    // 255 * 128/255 + 100 * 127/255 = 178 red, 100 * 127/255 = 50 green and blue.
    // clang-format off
    expectPixels({{15, 12, gradient(16, 16).rgb(5, 2)}, {45, 12, 0x646464}, {55, 25, 0x646464}, {12, 42, 0xB23232}},
                 1);
    // clang-format on
}

// Fx copies turn, zoom and fade about their centre; without any effect they match the plain alpha copy,
// and without opacity or size they draw nothing. An odd-sized copy is centred on a whole pixel: half a
// pixel up and left of the plain copy.
TEST_F(Blits, FxTurnsZoomsAndFadesAboutTheCentre) {
    image.blitAlphaRect(0, 0, 32, 32, 100, 400, false, false);
    image.blitAlphaRectFx(0, 0, 32, 32, 200, 400, 0.0f, 1.0f, 1.0f, false, false);
    for (auto [zoom, opacity] : {std::pair{1.0f, 0.0f}, {0.0f, 1.0f}, {1.0f, -2.0f}})
        image.blitAlphaRectFx(0, 0, 32, 32, 400, 400, 30.0f, zoom, opacity, false, false);
    const Picture screen = backBuffer();
    EXPECT_EQ(differingPixels(screen, screen, {99, 399, 133, 433}, 199, 399, 0, true), 0);
    EXPECT_EQ(litPixels(screen, {350, 350, 450, 470}), 0);
    KGraphicD3D four, white;
    Picture quadrants = solid(64, 64, 0);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            quadrants.argb[size_t(y * 64 + x)] =
                y < 32 ? (x < 32 ? 0xFFFF0000u : 0xFF00FF00u) : (x < 32 ? 0xFF0000FFu : 0xFFFFFFFFu);
    ASSERT_TRUE(load(four, "quadrants.tga", quadrants));
    ASSERT_TRUE(load(white, "white45.tga", solid(45, 45, 0xFFFFFFFFu)));
    four.blitAlphaRectFx(0, 0, 64, 64, 100, 100, 90.0f, 1.0f, 1.0f, false, false);
    four.blitAlphaRectFx(0, 0, 64, 64, 300, 100, 0.0f, 2.0f, 1.0f, false, false);
    four.blitAlphaRectFx(0, 0, 64, 64, 100, 300, 0.0f, -1.0f, 1.0f, false, false);
    white.blitAlphaRect(0, 0, 45, 45, 500, 100, false, false);
    white.blitAlphaRectFx(0, 0, 45, 45, 500, 200, 0.0f, 1.0f, 1.0f, false, false);
    white.blitAlphaRectFx(0, 0, 8, 8, 500, 300, 0.0f, 1.0f, 0.5f, false, false);
    EXPECT_EQ(white._blend, 1.0f);
    // clang-format off
    expectPixels({// A quarter turn to the left: the top-right (green) quadrant moves to the top-left.
                  {110, 110, 0x00FF00}, {150, 110, 0xFFFFFF}, {110, 150, 0xFF0000}, {150, 150, 0x0000FF},
                  // Twice the size about the centre (332, 132): from 268 to 395.
                  {270, 70, 0xFF0000}, {393, 193, 0xFFFFFF}, {266, 132, 0}, {398, 132, 0},
                  // A negative zoom mirrors through the centre.
                  {110, 310, 0xFFFFFF}, {150, 350, 0xFF0000},
                  // Plain 500..544; Fx centred on 522 rather than 522.5: 499..543.
                  {499, 120, 0}, {544, 120, 0xFFFFFF}, {499, 220, 0xFFFFFF}, {544, 220, 0}, {520, 199, 0xFFFFFF},
                  {520, 244, 0},
                  // Opacity multiplies the texels.
                  {502, 302, 0x7F7F7F}}, 1);
    // clang-format on
    EXPECT_EQ(litPixels(backBuffer(), {480, 220, 560, 221}), 45);
}

// A filled rectangle covers whole pixels and unbinds the texture, so that the next copy binds it again.
TEST_F(Blits, DrawRectFillsWholePixelsAndForcesARebind) {
    image.blitRect(0, 0, 4, 4, 0, 0, false, false);
    EXPECT_EQ(KGraphicD3D::_oldBindedText, image._surface);
    image.drawRect(10, 10, 20, 20, 1, 0, 0, 0.5f);
    EXPECT_EQ(KGraphicD3D::_oldBindedText, nullptr);
    image.blitRect(0, 0, 32, 32, 100, 50, false, false);
    Picture expected = solid(640, 480, 0);
    for (int y = 10; y < 20; ++y)
        std::fill_n(expected.argb.begin() + y * 640 + 10, 10, 0xFF7F0000u);
    EXPECT_EQ(differingPixels(backBuffer(), expected, {5, 5, 40, 40}, 1), 0);
    expectPixels({{105, 60, source.rgb(5, 10)}});
}

// Absurd source rectangles are drawn (or not) without hanging: the test's own time limit would
// notice a loop over a billion texels. An empty picture draws nothing.
TEST_F(Blits, AbsurdRectanglesFinishAndAnEmptyPictureDrawsNothing) {
    image.blitRect(0, 0, 1e9f, 8, 10, 10, false, false);
    image.blitRect(-1e9f, 0, 1e9f, 1e9f, 10, 10, false, false);
    image.allowTextureWrap(true);
    image.blitRect(1e9f, 0, 1e9f + 128, 8, 10, 10, false, false);
    image.blitRect(0, 0, 1e7f, 8, 10, 10, false, false);
    image.blitAlphaRectFx(0, 0, 1e30f, 1e30f, 10, 10, 1e30f, 1e30f, 1e30f, true, true);
    clearScreen();
    KGraphicD3D empty;
    empty.blitRect(0, 0, 32, 32, 10, 10, false, false);
    empty.blitAlphaRect(0, 0, 32, 32, 10, 10, false, false);
    empty.blitAlphaRectFx(0, 0, 32, 32, 10, 10, 10.0f, 1.0f, 1.0f, false, false);
    EXPECT_EQ(litPixels(backBuffer(), {0, 0, 60, 60}), 0);
}

} // namespace
