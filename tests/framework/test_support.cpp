#include "test_support.h"

#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>

#include <vector>

namespace testsupport {

KWindowD3D &window() {
    static KWindowD3D *theWindow = [] {
        auto *created = new KWindowD3D;
        if (!created->createGameWindow(640, 480, 16, true, "Quorix"))
            ADD_FAILURE() << "no headless window: " << SDL_GetError();
        return created;
    }();
    return *theWindow;
}

std::string scratch(const std::string &name) {
    static const support::TempFolder folder("framework");
    return folder.path(name);
}

Picture gradient(int width, int height, uint8_t alpha) {
    Picture picture{width, height, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.argb.push_back(uint32_t(alpha) << 24 | uint32_t(x * 4 & 0xFF) << 16 |
                                   uint32_t(y * 4 & 0xFF) << 8 | uint32_t((x + y) % 256));
    return picture;
}

Picture solid(int width, int height, uint32_t argb) {
    return {width, height, std::vector<uint32_t>(size_t(width) * height, argb)};
}

Bytes writePicture(const std::string &path, const Picture &picture, int tgaBits, bool rle, bool topDown) {
    if (path.ends_with(".png") || path.ends_with(".bmp")) {
        SDL_Surface *surface = SDL_CreateRGBSurfaceWithFormatFrom(
            const_cast<uint32_t *>(picture.argb.data()), picture.width, picture.height, 32, picture.width * 4,
            SDL_PIXELFORMAT_ARGB8888);
        SDL_Surface *rgb = SDL_ConvertSurfaceFormat(surface, SDL_PIXELFORMAT_BGR24, 0);
        EXPECT_EQ(
            path.ends_with(".png") ? IMG_SavePNG(surface, path.c_str()) : SDL_SaveBMP(rgb, path.c_str()), 0);
        SDL_FreeSurface(rgb);
        SDL_FreeSurface(surface);
        return support::readBytes(path);
    }
    Bytes out{0, 0, uint8_t(rle ? 10 : 2), 0, 0, 0, 0, 0, 0, 0, 0, 0};
    auto put = [&out](uint32_t value, int bytes) { // little-endian
        for (int i = 0; i < bytes; ++i)
            out.push_back(uint8_t(value >> (8 * i)));
    };
    put(picture.width | picture.height << 16, 4);
    put(tgaBits | (tgaBits == 32 ? 8 : 0) << 8 | (topDown ? 0x20 : 0) << 8, 2);
    for (int row = 0; row < picture.height; ++row) {
        const int y = topDown ? row : picture.height - 1 - row;
        // Runs of equal pixels become run packets, everything else one-pixel raw packets.
        for (int x = 0, run = 1; x < picture.width; x += run, run = 1) {
            while (rle && x + run < picture.width && run < 128 && picture.at(x + run, y) == picture.at(x, y))
                ++run;
            if (rle)
                out.push_back(uint8_t(run > 1 ? 0x80 | (run - 1) : 0));
            put(picture.at(x, y), tgaBits / 8);
        }
    }
    writeBytes(path, out);
    return out;
}

bool load(KGraphicD3D &into, const std::string &name, const Picture &picture) {
    writePicture(scratch(name), picture);
    return into.loadPicture(scratch(name).c_str(), true, true);
}

void clearScreen(uint32_t rgb) {
    KWindowD3D &w = window();
    w._clearColor = rgb;
    w.setWorldView(0, 0, 0, 1, true);
    w._clearColor = 0;
}

void expectPixels(std::initializer_list<Probe> probes, int tolerance) {
    const Picture screen = backBuffer();
    for (const auto &[x, y, rgb] : probes)
        EXPECT_EQ(support::differingPixels(screen, {1, 1, {rgb}}, {x, y, x + 1, y + 1}, 0, 0, tolerance), 0)
            << "at " << x << "," << y << ": " << std::hex << screen.rgb(x, y) << " instead of " << rgb;
}

} // namespace testsupport
