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

namespace {

// Little-endian fields of `bytes` bytes each.
void put(std::vector<uint8_t> &out, std::initializer_list<uint32_t> values, int bytes) {
    for (uint32_t v : values)
        for (int i = 0; i < bytes; ++i)
            out.push_back(uint8_t(v >> (8 * i)));
}

SDL_Surface *surfaceOf(const Picture &picture) {
    return SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t *>(picture.argb.data()), picture.width,
                                              picture.height, 32, picture.width * 4,
                                              SDL_PIXELFORMAT_ARGB8888);
}

} // namespace

void writeTGA(const std::string &path, const Picture &picture, int bitsPerPixel, bool rle, bool topDown) {
    std::vector<uint8_t> out{0, 0, uint8_t(rle ? 10 : 2), 0, 0, 0, 0, 0, 0, 0, 0, 0};
    put(out, {uint32_t(picture.width), uint32_t(picture.height)}, 2);
    out.push_back(uint8_t(bitsPerPixel));
    out.push_back(uint8_t((bitsPerPixel == 32 ? 8 : 0) | (topDown ? 0x20 : 0)));
    for (int row = 0; row < picture.height; ++row) {
        const int y = topDown ? row : picture.height - 1 - row;
        // Runs of equal pixels become run packets, everything else one-pixel raw packets.
        for (int x = 0, run = 1; x < picture.width; x += run, run = 1) {
            while (rle && x + run < picture.width && run < 128 && picture.at(x + run, y) == picture.at(x, y))
                ++run;
            if (rle)
                out.push_back(uint8_t(run > 1 ? 0x80 | (run - 1) : 0));
            put(out, {picture.at(x, y)}, bitsPerPixel / 8);
        }
    }
    writeBytes(path, out);
}

void writeBMP(const std::string &path, const Picture &picture) {
    SDL_Surface *surface = surfaceOf(picture);
    SDL_Surface *rgb = SDL_ConvertSurfaceFormat(surface, SDL_PIXELFORMAT_BGR24, 0);
    SDL_SaveBMP(rgb, path.c_str());
    SDL_FreeSurface(rgb);
    SDL_FreeSurface(surface);
}

bool writePNG(const std::string &path, const Picture &picture) {
    SDL_Surface *surface = surfaceOf(picture);
    const bool saved = surface != nullptr && IMG_SavePNG(surface, path.c_str()) == 0;
    SDL_FreeSurface(surface);
    return saved;
}

bool load(KGraphicD3D &into, const std::string &name, const Picture &picture) {
    writeTGA(scratch(name), picture, 32, false);
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
    for (const Probe &p : probes) {
        const Picture want{1, 1, {p.rgb}};
        EXPECT_EQ(support::differingPixels(screen, want, {p.x, p.y, p.x + 1, p.y + 1}, 0, 0, tolerance), 0)
            << "at " << p.x << "," << p.y << ": " << std::hex << screen.rgb(p.x, p.y) << " instead of "
            << p.rgb;
    }
}

} // namespace testsupport
