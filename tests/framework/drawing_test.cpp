// Drawing on the game's window: copies of pictures, text, and the window that shows them.
#include "framework/KText.h"
#include "platform/display.h"
#include "platform/matrices.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
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
// corners are cut to whole texels, the view's offset moves the drawing, and beyond the picture's edge its
// last texel stretches; nothing else on the screen changes.
TEST_F(Blits, PlainCopiesPutEachTexelOnItsOwnPixel) {
    std::mt19937 random(11);
    auto below = [&](int n) { return int(random() % unsigned(n)); };
    for (int round = 0; round < 40; ++round) {
        const bool flipX = below(2), flipY = below(2);
        const int x1 = below(60), y1 = below(60), width = 1 + below(40), height = 1 + below(40);
        const int destX = below(560), destY = below(400), viewX = below(17) - 8, viewY = below(17) - 8;
        const float fx = below(100) / 100.0f, fy = below(100) / 100.0f; // fractions of a texel are cut off
        SCOPED_TRACE(testing::Message() << "round " << round);
        clearScreen();
        window().setWorldView(float(viewX), float(viewY), 0, 1, false);
        image.blitRect(x1 + fx, y1 + fy, x1 + width + fx, y1 + height + fy, short(destX), short(destY), flipX,
                       flipY);
        Picture expected = solid(640, 480, 0);
        for (int j = 0; j < height; ++j)
            for (int i = 0; i < width; ++i)
                expected.argb[size_t(destY + viewY + j) * 640 + size_t(destX + viewX + i)] =
                    source.at(std::min(x1 + (flipX ? width - 1 - i : i), 63),
                              std::min(y1 + (flipY ? height - 1 - j : j), 63));
        ASSERT_EQ(differingPixels(backBuffer(), expected, {0, 0, 640, 480}), 0);
    }
}

// A blit like one of the frame before may reuse that one's placed quad, but only when nothing it
// depends on has changed: after each kind of change, the blit looks exactly as it does drawn afresh.
TEST_F(Blits, ABlitAfterASimilarOneLooksAsDrawnAfresh) {
    KGraphicD3D narrower, lower, ghost;
    const auto inverted = [](int width, int height) {
        Picture picture = gradient(width, height);
        for (uint32_t &texel : picture.argb)
            texel ^= 0x00FFFFFFu;
        return picture;
    };
    ASSERT_TRUE(load(narrower, "narrower.tga", inverted(48, 64)));
    ASSERT_TRUE(load(lower, "lower.tga", inverted(64, 48)));
    ASSERT_TRUE(load(ghost, "ghost.tga", solid(4, 4, 0xFFFFFFFFu)));
    ghost.setBlitColor(1, 1, 1, 0); // draws, but leaves no trace
    const auto shown = [](const std::function<void()> &draw) {
        clearScreen();
        draw();
        const Picture picture = backBuffer();
        window().flipBackBuffer(false, false); // the frame ends: the next one's blits count from 0
        return picture;
    };
    const auto base = [&] { image.blitAlphaRect(4, 6, 40, 44, 100, 120, false, false); };
    const std::pair<const char *, std::function<void()>> changes[] = {
        {"place", [&] { image.blitAlphaRect(4, 6, 40, 44, 101, 120, false, false); }},
        {"source", [&] { image.blitAlphaRect(5, 6, 41, 44, 100, 120, false, false); }},
        {"mirrored", [&] { image.blitAlphaRect(4, 6, 40, 44, 100, 120, true, false); }},
        {"colour",
         [&] {
             image.setBlitColor(1, 0.5f, 1, 1);
             image.blitAlphaRect(4, 6, 40, 44, 100, 120, false, false);
             image.setBlitColor(1, 1, 1, 1);
         }},
        {"view moved",
         [&] {
             window().setWorldView(3, -2, 0, 1, false);
             base();
         }},
        {"view zoomed",
         [&] {
             window().setWorldView(0, 0, 0, 2, false);
             base();
         }},
        {"view turned",
         [&] {
             window().setWorldView(0, 0, 90, 1, false);
             base();
         }},
        {"projection",
         [&] {
             D3DMATRIX wider;
             ortho(wider, 800, 480, -100.0f, 100.0f);
             platform::RenderDevice::setProjection(wider);
             base();
         }},
        {"picture narrower", [&] { narrower.blitAlphaRect(4, 6, 40, 44, 100, 120, false, false); }},
        {"picture lower", [&] { lower.blitAlphaRect(4, 6, 40, 44, 100, 120, false, false); }},
    };
    for (const auto &[what, change] : changes) {
        SCOPED_TRACE(what);
        const Picture before = shown(base);
        const Picture after = shown(change);
        window().setDefaultWorldView();
        // Drawn afresh: second in its frame, where the frame before drew something else.
        shown([&] {
            ghost.blitAlphaRect(0, 0, 4, 4, 0, 0);
            ghost.blitAlphaRect(0, 0, 4, 4, 8, 8);
        });
        const Picture afresh = shown([&] {
            ghost.blitAlphaRect(0, 0, 4, 4, 0, 0);
            change();
        });
        window().setDefaultWorldView();
        EXPECT_GT(differingPixels(before, after, {0, 0, 640, 480}), 0);
        EXPECT_EQ(differingPixels(after, afresh, {0, 0, 640, 480}), 0);
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
    Picture quadrants = solid(64, 64, 0); // red, green / blue, white
    for (size_t i = 0; i < quadrants.argb.size(); ++i)
        quadrants.argb[i] =
            std::array{0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, ~0u}[i / 2048 * 2 + i % 64 / 32];
    ASSERT_TRUE(load(four, "quadrants.tga", quadrants));
    ASSERT_TRUE(load(white, "white45.tga", solid(45, 45, 0xFFFFFFFFu)));
    four.blitAlphaRectFx(0, 0, 64, 64, 100, 100, 90.0f, 1.0f, 1.0f, false, false);
    four.blitAlphaRectFx(0, 0, 64, 64, 300, 100, 0.0f, 2.0f, 1.0f, false, false);
    white.blitAlphaRect(0, 0, 45, 45, 500, 100, false, false);
    white.blitAlphaRectFx(0, 0, 45, 45, 500, 200, 0.0f, 1.0f, 1.0f, false, false);
    white.blitAlphaRectFx(0, 0, 8, 8, 500, 300, 0.0f, 1.0f, 0.5f, false, false);
    // clang-format off
    expectPixels({// A quarter turn to the left: the top-right (green) quadrant moves to the top-left.
                  {110, 110, 0x00FF00}, {150, 110, 0xFFFFFF}, {110, 150, 0xFF0000}, {150, 150, 0x0000FF},
                  // Twice the size about the centre (332, 132): from 268 to 395.
                  {270, 70, 0xFF0000}, {393, 193, 0xFFFFFF}, {266, 132, 0}, {398, 132, 0},
                  // Plain 500..544; Fx centred on 522 rather than 522.5: 499..543.
                  {499, 120, 0}, {544, 120, 0xFFFFFF}, {499, 220, 0xFFFFFF}, {544, 220, 0}, {520, 199, 0xFFFFFF},
                  {520, 244, 0},
                  // Opacity multiplies the texels.
                  {502, 302, 0x7F7F7F}}, 1);
    // clang-format on
    EXPECT_EQ(litPixels(backBuffer(), {480, 220, 560, 221}), 45);
}

// The matrix products and point transforms work on four columns at once, yet each element must round
// exactly as the sum written out term by term does: every blit's position depends on it. Seeded random
// matrices mixing whole numbers, fractions, signed zeros and turns.
TEST(Matrices, RoundExactlyAsTheSumsWrittenOut) {
    std::mt19937 random(2024);
    const float specials[] = {0.0f, -0.0f, 1.0f, -1.0f, 0.5f, 2.0f, 1e-30f, 3e30f, 0.1f, 640.0f};
    auto value = [&] {
        switch (random() % 3) {
        case 0:
            return specials[random() % std::size(specials)];
        case 1:
            return static_cast<float>(static_cast<int>(random() % 2001) - 1000) / 8.0f;
        default:
            return std::uniform_real_distribution<float>(-2.0f, 2.0f)(random);
        }
    };
    auto bits = [](float f) {
        uint32_t b;
        std::memcpy(&b, &f, sizeof b);
        return b;
    };
    for (int round = 0; round < 2000; ++round) {
        D3DMATRIX a, b;
        for (auto &row : a.m)
            for (float &v : row)
                v = value();
        for (auto &row : b.m)
            for (float &v : row)
                v = value();
        if (round % 4 == 0) // a row of signed zeros: only the leading 0 makes its sums +0
            for (float &v : a.m[random() % 4])
                v = random() % 2 ? 0.0f : -0.0f;
        const D3DMATRIX product = multiply(a, b);
        float point[4];
        const float x = value(), y = value(), z = value();
        transformPoint(a, x, y, z, point);
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c) {
                float sum = 0.0f;
                for (int k = 0; k < 4; ++k)
                    sum += a.m[r][k] * b.m[k][c];
                ASSERT_EQ(bits(product.m[r][c]), bits(sum)) << "round " << round << ", element " << r << c;
            }
        for (int c = 0; c < 4; ++c) {
            const float expected = x * a.m[0][c] + y * a.m[1][c] + z * a.m[2][c] + a.m[3][c];
            ASSERT_EQ(bits(point[c]), bits(expected)) << "round " << round << ", column " << c;
        }
    }
}

// A filled rectangle covers whole pixels, and the picture drawn before it is bound again for the next copy.
TEST_F(Blits, DrawRectFillsWholePixelsAndTheNextCopyStillDraws) {
    image.blitRect(0, 0, 4, 4, 0, 0, false, false);
    image.drawRect(10, 10, 20, 20, 1, 0, 0, 0.5f);
    image.blitRect(0, 0, 32, 32, 100, 50, false, false);
    EXPECT_EQ(litPixels(backBuffer(), {5, 5, 40, 40}), 100);
    expectPixels({{10, 10, 0x7F0000}, {19, 19, 0x7F0000}, {105, 60, source.rgb(5, 10)}}, 1);
    clearScreen(); // and a picture that failed to load draws nothing
    KGraphicD3D empty;
    empty.blitRect(0, 0, 32, 32, 10, 10, false, false);
    empty.blitAlphaRect(0, 0, 32, 32, 10, 10, false, false);
    empty.blitAlphaRectFx(0, 0, 32, 32, 10, 10, 10.0f, 1.0f, 1.0f, false, false);
    EXPECT_EQ(litPixels(backBuffer(), {0, 0, 60, 60}), 0);
}

// A small font: 'a' is a red 3x4 box advancing 4, 'b' a green 2x4 box advancing 3, 'c' a blue one
// advancing 5. The sheet around the boxes is transparent.
KFont smallFont[] = {
    {'a', 0, 0, 2, 3, 4, 4}, {'b', 4, 0, 5, 3, 3, 4},
    {'c', 8, 0, 9, 3, 5, 4}, {'a', 12, 0, 13, 3, 9, 4}, // a duplicate: never used
    {0, 0, 0, 0, 0, 0, 0},
};

// The row y of the screen from x to x + count - 1, as one letter per pixel: r, g, b or '.'.
std::string row(int x, int y, int count) {
    const Picture screen = backBuffer();
    std::string out;
    for (int i = 0; i < count; ++i) {
        const uint32_t p = screen.rgb(x + i, y);
        out += p == 0xFF0000 ? 'r' : p == 0x00FF00 ? 'g' : p == 0x0000FF ? 'b' : p == 0 ? '.' : '?';
    }
    return out;
}

using Text = Drawing;

TEST_F(Text, DrawsFromTheLeftFromTheRightAndCentred) {
    Picture sheet{16, 4, {}};
    for (int i = 0; i < 64; ++i) {
        const char c = "rrr.gg..bb......"[i % 16];
        sheet.argb.push_back(c == 'r' ? 0xFFFF0000u : c == 'g' ? 0xFF00FF00u : c == 'b' ? 0xFF0000FFu : 0);
    }
    writePicture(scratch("smallfont.tga"), sheet);
    KText text(scratch("smallfont.tga").c_str(), smallFont);
    text.drawStringFromLeft("abc", 10, 20, 1);
    text.drawStringFromRight("abc", 60, 30, 1);
    text.drawStringCentered("ab", 100, 111, 40, 0);
    text.drawStringCentered("abc", 100, 109, 50, 0); // width 12, overflow 3: starts at 99
    text.drawStringCentered("xyz", 100, 109, 60, 0);
    text.drawStringCentered("", 100, 109, 60, 0);
    EXPECT_EQ(row(9, 20, 16), ".rrr..gg..bb....");
    EXPECT_EQ(row(9, 23, 16), ".rrr..gg..bb....");
    EXPECT_EQ(row(10, 19, 4) + row(10, 24, 4), "........");
    // Width 15 ending one kerning before 60: starts at 45.
    EXPECT_EQ(row(44, 30, 16), ".rrr..gg..bb....");
    // Width 7 in a span of 11: starts at 102.
    EXPECT_EQ(row(100, 40, 10), "..rrr.gg..");
    EXPECT_EQ(row(98, 50, 6), ".rrr.g");
    EXPECT_EQ(row(90, 60, 30), std::string(30, '.'));
}

using Window = Drawing;

// In the background the game waits for the focus to come back or the window to close.
TEST_F(Window, WaitsInTheBackgroundForTheFocusOrTheEnd) {
    for (Uint32 type : {Uint32(SDL_WINDOWEVENT), Uint32(SDL_QUIT)}) {
        platform::Display::setFocused(false);
        SDL_Event event{.window = {type, 0, 0, SDL_WINDOWEVENT_FOCUS_GAINED, 0, 0, 0, 0, 0}};
        SDL_PushEvent(&event);
        window().flipBackBuffer(true, true);
        EXPECT_EQ(platform::Display::hasFocus(), type == SDL_WINDOWEVENT);
        EXPECT_EQ(window().isQuit(), type == SDL_QUIT);
    }
    window()._quit = false;
    platform::Display::setFocused(true);
}

// The picture always fits the window it is really shown in. SDL believes the size it last asked for;
// the headless window's drawing surface keeps its first size (640 x 480), as a window whose full-screen
// request no window manager carried out keeps its own. The whole picture must show, one pixel to one.
TEST_F(Window, ThePictureFitsTheSizeTheWindowReallyHas) {
    KGraphicD3D picture;
    ASSERT_TRUE(load(picture, "fit.tga", gradient(640, 480)));
    SDL_Renderer *renderer = platform::Display::renderer();
    platform::Display::setShowHeadlessWindow(true);
    for (const SDL_Point asked : {SDL_Point{1280, 960}, SDL_Point{320, 240}, SDL_Point{1000, 500}}) {
        SCOPED_TRACE(std::to_string(asked.x) + " x " + std::to_string(asked.y));
        SDL_SetWindowSize(platform::Display::window(), asked.x, asked.y);
        window().processEvents(); // the size change: measured again at the next frame
        picture.blitRect(0, 0, 640, 480, 0, 0, false, false);
        window().flipBackBuffer(false, true);
        int width = 0, height = 0, believedHeight = 0;
        platform::Display::windowPixelSize(width, height);
        ASSERT_TRUE(width == 640 && height == 480) << width << " x " << height;
        // Read the surface itself: SDL counts rows from the top of the size it believes in.
        SDL_SetRenderTarget(renderer, nullptr);
        SDL_GetRendererOutputSize(renderer, nullptr, &believedHeight);
        Picture shown = solid(640, 480, 0);
        const SDL_Rect surface{0, believedHeight - 480, 640, 480};
        SDL_RenderSetViewport(renderer, &surface); // reads are kept within the viewport
        SDL_RenderReadPixels(renderer, &surface, SDL_PIXELFORMAT_ARGB8888, shown.argb.data(), 640 * 4);
        SDL_SetRenderTarget(renderer, platform::Display::backBuffer());
        EXPECT_EQ(differingPixels(shown, backBuffer(), {0, 0, 640, 480}), 0);
    }
    platform::Display::setShowHeadlessWindow(false);
    SDL_SetWindowSize(platform::Display::window(), 640, 480);
    window().processEvents();
}

// Run in a process of its own, without any display: the game must say so instead of running
// invisibly, and its loops must end.
TEST(DisplayChoiceDeathTest, WithoutADisplayTheGameSaysSoAndQuits) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string said = "can't create directX context, please reinstall direct X";
    EXPECT_EXIT(
        {
            for (const char *name : {"SDL_VIDEODRIVER", "DISPLAY", "WAYLAND_DISPLAY"})
                unsetenv(name);
            std::string message;
            platform::messageObserver = [&](const std::string &text) { message = text; };
            KWindowD3D w;
            const bool created = w.createGameWindow(640, 480, 16, true, "Quorix");
            std::exit(!created && w.isQuit() && message == said ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), said);
}

} // namespace
