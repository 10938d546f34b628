// A test card for the framework: pictures, turned and zoomed copies, tints, additive blending, flips,
// filled rectangles and text in the game's three fonts. It opens a window and animates until closed,
// or, headless or with --png, draws one frame straight into a PNG file.
//
//   build/framework-demo                      a window (Esc or closing it ends)
//   build/framework-demo --png card.png       one frame into card.png, no display needed
//   build/framework-demo --fullscreen         the same on the whole desktop
//   build/framework-demo --frames 300         a window that closes after 300 frames and tells the
//                                             frame rate it kept
//
// The fonts come from data/ beside the program when the art is there; otherwise sheets are
// generated from the glyph tables, each glyph a coloured block in its box.
#include "framework/KGraphicD3D.h"
#include "framework/KInput.h"
#include "framework/KMiscTools.h"
#include "framework/KText.h"
#include "framework/KWindowD3D.h"
#include "game/glyph_tables.h"
#include "platform/display.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

fs::path workFolder;

// Writes a 32-bit top-down TGA from a pixel function (x, y) -> ARGB.
template <typename PixelOf>
std::string writePicture(const char *name, int width, int height, PixelOf pixelOf) {
    std::vector<uint8_t> out{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    out.insert(out.end(), {static_cast<uint8_t>(width), static_cast<uint8_t>(width >> 8),
                           static_cast<uint8_t>(height), static_cast<uint8_t>(height >> 8), 32, 8 | 0x20});
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint32_t p = pixelOf(x, y);
            out.insert(out.end(), {static_cast<uint8_t>(p), static_cast<uint8_t>(p >> 8),
                                   static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 24)});
        }
    std::string path = (workFolder / name).string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char *>(out.data()), out.size());
    return path;
}

uint32_t hue(double h, uint8_t alpha = 255) {
    auto channel = [&](double shift) {
        return static_cast<uint32_t>(127.5 + 127.5 * std::cos(6.283185 * (h + shift)));
    };
    return static_cast<uint32_t>(alpha) << 24 | channel(0.0) << 16 | channel(1.0 / 3) << 8 | channel(2.0 / 3);
}

// A round gem with a soft edge and a highlight.
std::string gemPicture() {
    return writePicture("gem.tga", 64, 64, [](int x, int y) {
        double dx = x - 31.5, dy = y - 31.5, r = std::sqrt(dx * dx + dy * dy);
        double edge = std::clamp(30.0 - r, 0.0, 1.0);
        double light = std::clamp(1.0 - std::hypot(dx + 10, dy + 10) / 40.0, 0.0, 1.0);
        uint32_t red = static_cast<uint32_t>(80 + 175 * light),
                 green = static_cast<uint32_t>(40 + 120 * light);
        uint32_t blue = static_cast<uint32_t>(160 + 95 * light);
        return static_cast<uint32_t>(edge * 255) << 24 | red << 16 | green << 8 | blue;
    });
}

// An arrow pointing right on a checker board: shows orientation and flips at a glance.
std::string arrowPicture() {
    return writePicture("arrow.tga", 48, 32, [](int x, int y) {
        bool arrow = (y >= 12 && y < 20 && x < 30) || (x >= 30 && std::abs(y - 16) < 47 - x);
        uint32_t checker = ((x / 8 + y / 8) % 2) ? 0xFF303850u : 0xFF485070u;
        return arrow ? 0xFFFFD040u : (y < 4 ? 0xFFE04040u : checker);
    });
}

std::string backgroundPicture() {
    return writePicture("background.tga", 640, 480, [](int x, int y) {
        uint32_t r = static_cast<uint32_t>(20 + x / 16), g = static_cast<uint32_t>(24 + y / 12),
                 b = static_cast<uint32_t>(60 + (x + y) / 20);
        bool grid = x % 40 == 0 || y % 40 == 0;
        return 0xFF000000u | (grid ? 0x404858u : (r << 16 | g << 8 | b));
    });
}

// A font sheet drawn from a glyph table: every glyph a block of its own colour.
std::string fontSheet(const char *name, const KFont *table) {
    int width = 1, height = 1;
    for (int i = 0; table[i]._c != 0; ++i) {
        width = std::max(width, table[i]._x2 + 1);
        height = std::max(height, table[i]._y2 + 1);
    }
    return writePicture(name, width, height, [table](int x, int y) {
        for (int i = 0; table[i]._c != 0; ++i) {
            const KFont &g = table[i];
            if (g._c == ' ' || x < g._x1 || x > g._x2 || y < g._y1 || y > g._y2)
                continue;
            bool frame = x == g._x1 || x == g._x2 || y == g._y1 || y == g._y2;
            return frame ? 0xFF101010u : hue(i / 12.0);
        }
        return 0x00000000u;
    });
}

std::string fontPath(const char *dataName, const char *generatedName, const KFont *table) {
    std::string real = KMiscTools::makeFilePath(dataName);
    return fs::exists(real) ? real : fontSheet(generatedName, table);
}

struct Card {
    KGraphicD3D background, gem, arrow;
    std::unique_ptr<KText> clock, score, names;

    Card() {
        background.loadPicture(backgroundPicture().c_str(), true, true);
        gem.loadPicture(gemPicture().c_str(), true, true);
        arrow.loadPicture(arrowPicture().c_str(), true, true);
        clock = std::make_unique<KText>(fontPath("data/timenmb.tga", "timenmb.tga", tableNumbers).c_str(),
                                        tableNumbers);
        score = std::make_unique<KText>(
            fontPath("data/numbers.tga", "numbers.tga", scoretableNumbers).c_str(), scoretableNumbers);
        names = std::make_unique<KText>(fontPath("data/highscalp.tga", "highscalp.tga", theFont).c_str(),
                                        theFont);
    }

    void draw(KWindowD3D &window, int frame) {
        window.setWorldView(0, 0, 0, 1, true);
        background.blitRect(0, 0, 640, 480, 0, 0);

        // Plain and alpha copies, and the four flips.
        gem.blitRect(0, 0, 64, 64, 20, 20);
        gem.blitAlphaRect(0, 0, 64, 64, 100, 20);
        arrow.blitRect(0, 0, 48, 32, 190, 20);
        arrow.blitRect(0, 0, 48, 32, 250, 20, true, false);
        arrow.blitRect(0, 0, 48, 32, 190, 60, false, true);
        arrow.blitRect(0, 0, 48, 32, 250, 60, true, true);

        // Turned and zoomed copies, and opacity.
        for (int i = 0; i < 6; ++i)
            gem.blitAlphaRectFx(0, 0, 64, 64, static_cast<short>(330 + i * 50), 30,
                                static_cast<float>(frame + i * 30), 0.5f + 0.15f * i, 1.0f);
        for (int i = 0; i < 4; ++i)
            arrow.blitAlphaRectFx(0, 0, 48, 32, static_cast<short>(40 + i * 90), 140,
                                  static_cast<float>(i * 45 + frame), 1.0f + 0.25f * i, 1.0f - 0.2f * i);

        // Tints.
        const float tints[5][4] = {
            {1, 0.3f, 0.3f, 1}, {0.3f, 1, 0.3f, 1}, {0.3f, 0.3f, 1, 1}, {1, 1, 0, 0.5f}, {1, 1, 1, 1}};
        for (int i = 0; i < 5; ++i) {
            gem.setBlitColor(tints[i][0], tints[i][1], tints[i][2], tints[i][3]);
            gem.blitAlphaRect(0, 0, 64, 64, static_cast<short>(400 + (i % 3) * 70),
                              static_cast<short>(110 + (i / 3) * 70));
        }
        gem.setBlitColor(1, 1, 1, 1);

        // Filled rectangles, with the blend factors of the last copy (ordinary transparency here).
        gem.drawRect(260, 250, 380, 270, 0, 0, 0, 1);
        gem.drawRect(270, 280, 390, 300, 1, 0.2f, 0.2f, 0.5f);

        // Additive blending: overlapping glows add up towards white.
        gem.setAlphaMode(false);
        for (int i = 0; i < 3; ++i) {
            gem.setBlitColor(i == 0 ? 1.0f : 0.2f, i == 1 ? 1.0f : 0.2f, i == 2 ? 1.0f : 0.2f, 1.0f);
            gem.blitAlphaRectFx(0, 0, 64, 64, static_cast<short>(60 + i * 28),
                                static_cast<short>(240 + (i == 1) * 30), 0, 1.6f, 1.0f);
        }
        gem.setBlitColor(1, 1, 1, 1);
        gem.setAlphaMode(true);

        // Text in the three fonts.
        char number[32];
        std::snprintf(number, sizeof(number), "%d:%02d", frame / 75 / 60, frame / 75 % 60);
        clock->drawStringFromLeft(number, 20, 350, 0);
        std::snprintf(number, sizeof(number), "%d", 1234567 + frame * 10);
        score->drawStringFromRight(number, 620, 350, 0);
        names->drawStringCentered("quorix test card 0123456789", 0, 640, 400, 1);
        names->setBlend(0.5f);
        names->drawStringCentered("half faded: the quick brown fox", 0, 640, 425, 0);
        names->setBlend(1.0f);
    }
};

} // namespace

int main(int argc, char **argv) {
    const char *pngPath = nullptr;
    long frameLimit = -1;
    bool fullscreen = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--png") == 0 && i + 1 < argc) {
            pngPath = argv[++i];
        } else if (std::strcmp(argv[i], "--fullscreen") == 0) {
            fullscreen = true;
        } else if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc) {
            frameLimit = std::strtol(argv[++i], nullptr, 10);
        } else {
            std::fprintf(stderr, "usage: %s [--png file.png] [--fullscreen] [--frames count]\n", argv[0]);
            return 2;
        }
    }
    if (pngPath != nullptr)
        setenv("SDL_VIDEODRIVER", "offscreen", 1);

    workFolder = fs::temp_directory_path() / ("quorix-demo-" + std::to_string(getpid()));
    fs::create_directories(workFolder);
    int status = 0;
    {
        KWindowD3D window;
        if (!window.createGameWindow(640, 480, 16, !fullscreen, "Quorix")) {
            status = 1;
        } else {
            Card card;
            if (pngPath != nullptr || platform::Display::isHeadless()) {
                card.draw(window, 0);
                const char *path = pngPath ? pngPath : "framework-demo.png";
                status = platform::Display::saveBackBufferPNG(path) ? 0 : 1;
                std::printf(status == 0 ? "test card written to %s\n" : "could not write %s\n", path);
            } else {
                unsigned long start = KMiscTools::getMilliseconds();
                int frame = 0;
                for (; !window.isQuit() && !KInput::isPressed(K_VK_ESCAPE) && frame != frameLimit; ++frame) {
                    card.draw(window, frame);
                    window.flipBackBuffer(true, true);
                }
                unsigned long elapsed = KMiscTools::getMilliseconds() - start;
                if (elapsed > 0)
                    std::printf("%d frames in %lu ms: %.1f frames per second\n", frame, elapsed,
                                frame * 1000.0 / elapsed);
            }
        }
    }
    fs::remove_all(workFolder);
    return status;
}
