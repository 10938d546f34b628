#include "test_support.h"

#include "platform/display.h"

#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

namespace fs = std::filesystem;

namespace testsupport {

KWindowD3D &window() {
    static KWindowD3D *theWindow = [] {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        auto *created = new KWindowD3D;
        if (!created->createGameWindow(640, 480, 16, true, "Quorix"))
            ADD_FAILURE() << "no headless window: " << SDL_GetError();
        return created;
    }();
    return *theWindow;
}

fs::path scratch() {
    static const support::TempFolder folder("framework");
    return folder.root();
}

Picture gradient(int width, int height, uint8_t alpha) {
    Picture picture{width, height, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.argb.push_back(
                static_cast<uint32_t>(alpha) << 24 | static_cast<uint32_t>(x * 4 & 0xFF) << 16 |
                static_cast<uint32_t>(y * 4 & 0xFF) << 8 | static_cast<uint32_t>((x + y) % 256));
    return picture;
}

static void put16(std::vector<uint8_t> &out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
static void put32(std::vector<uint8_t> &out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

void writeTGA(const std::string &path, const Picture &picture, int bitsPerPixel, bool rle, bool topDown) {
    std::vector<uint8_t> out{0, 0, static_cast<uint8_t>(rle ? 10 : 2), 0, 0, 0, 0, 0, 0, 0, 0, 0};
    put16(out, static_cast<uint32_t>(picture.width));
    put16(out, static_cast<uint32_t>(picture.height));
    out.push_back(static_cast<uint8_t>(bitsPerPixel));
    out.push_back(static_cast<uint8_t>((bitsPerPixel == 32 ? 8 : 0) | (topDown ? 0x20 : 0)));
    const int bytes = bitsPerPixel / 8;
    auto pixelBytes = [&](uint32_t p, std::vector<uint8_t> &to) {
        to.push_back(static_cast<uint8_t>(p));
        to.push_back(static_cast<uint8_t>(p >> 8));
        to.push_back(static_cast<uint8_t>(p >> 16));
        if (bytes == 4)
            to.push_back(static_cast<uint8_t>(p >> 24));
    };
    for (int row = 0; row < picture.height; ++row) {
        int y = topDown ? row : picture.height - 1 - row;
        if (!rle) {
            for (int x = 0; x < picture.width; ++x)
                pixelBytes(picture.at(x, y), out);
            continue;
        }
        // Runs of equal pixels become run packets; everything else goes out one pixel per raw packet.
        for (int x = 0; x < picture.width;) {
            int run = 1;
            while (x + run < picture.width && run < 128 && picture.at(x + run, y) == picture.at(x, y))
                ++run;
            out.push_back(static_cast<uint8_t>(run > 1 ? 0x80 | (run - 1) : 0));
            pixelBytes(picture.at(x, y), out);
            x += run;
        }
    }
    writeBytes(path, out);
}

void writeBMP(const std::string &path, const Picture &picture) {
    const int rowBytes = (picture.width * 3 + 3) / 4 * 4;
    const uint32_t dataSize = static_cast<uint32_t>(rowBytes * picture.height);
    std::vector<uint8_t> out{'B', 'M'};
    put32(out, 54 + dataSize);
    put32(out, 0);
    put32(out, 54);
    put32(out, 40);
    put32(out, static_cast<uint32_t>(picture.width));
    put32(out, static_cast<uint32_t>(picture.height));
    put16(out, 1);
    put16(out, 24);
    for (int i = 0; i < 6; ++i)
        put32(out, i == 1 ? dataSize : 0);
    for (int y = picture.height - 1; y >= 0; --y) {
        for (int x = 0; x < picture.width; ++x) {
            uint32_t p = picture.at(x, y);
            out.insert(out.end(), {static_cast<uint8_t>(p), static_cast<uint8_t>(p >> 8),
                                   static_cast<uint8_t>(p >> 16)});
        }
        out.resize(out.size() + static_cast<size_t>(rowBytes - picture.width * 3), 0);
    }
    writeBytes(path, out);
}

void writePCX(const std::string &path, const Picture &picture) {
    const int bytesPerLine = (picture.width + 1) / 2 * 2;
    std::vector<uint8_t> out{10, 5, 1, 8};
    put16(out, 0);
    put16(out, 0);
    put16(out, static_cast<uint32_t>(picture.width - 1));
    put16(out, static_cast<uint32_t>(picture.height - 1));
    put16(out, 72);
    put16(out, 72);
    out.resize(out.size() + 48, 0);
    out.push_back(0);
    out.push_back(3);
    put16(out, static_cast<uint32_t>(bytesPerLine));
    put16(out, 1);
    out.resize(128, 0);
    for (int y = 0; y < picture.height; ++y) {
        for (int plane = 0; plane < 3; ++plane) {
            for (int x = 0; x < bytesPerLine; ++x) {
                uint8_t value =
                    x < picture.width ? static_cast<uint8_t>(picture.at(x, y) >> (16 - 8 * plane)) : 0;
                if (value >= 0xC0)
                    out.push_back(0xC1); // a run of one, since the value looks like a count byte
                out.push_back(value);
            }
        }
    }
    writeBytes(path, out);
}

void writeTIFF(const std::string &path, const Picture &picture, bool withAlpha) {
    const int samples = withAlpha ? 4 : 3;
    const uint32_t dataSize = static_cast<uint32_t>(picture.width * picture.height * samples);
    const uint32_t dataOffset = 8;
    const uint32_t bitsOffset = dataOffset + dataSize;
    const uint32_t ifdOffset = bitsOffset + 8;
    std::vector<uint8_t> out{'I', 'I', 42, 0};
    put32(out, ifdOffset);
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            uint32_t p = picture.at(x, y);
            out.insert(out.end(), {static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8),
                                   static_cast<uint8_t>(p)});
            if (withAlpha)
                out.push_back(static_cast<uint8_t>(p >> 24));
        }
    for (int i = 0; i < 4; ++i)
        put16(out, 8);
    struct Tag {
        uint16_t id, type;
        uint32_t count, value;
    };
    std::vector<Tag> tags = {{256, 4, 1, static_cast<uint32_t>(picture.width)},
                             {257, 4, 1, static_cast<uint32_t>(picture.height)},
                             {258, 3, static_cast<uint32_t>(samples), bitsOffset},
                             {259, 3, 1, 1},
                             {262, 3, 1, 2},
                             {273, 4, 1, dataOffset},
                             {277, 3, 1, static_cast<uint32_t>(samples)},
                             {278, 4, 1, static_cast<uint32_t>(picture.height)},
                             {279, 4, 1, dataSize},
                             {284, 3, 1, 1}};
    if (withAlpha)
        tags.push_back({338, 3, 1, 1}); // associated alpha
    put16(out, static_cast<uint32_t>(tags.size()));
    for (const Tag &tag : tags) {
        put16(out, tag.id);
        put16(out, tag.type);
        put32(out, tag.count);
        put32(out, tag.value);
    }
    put32(out, 0);
    writeBytes(path, out);
}

static SDL_Surface *surfaceOf(const Picture &picture) {
    return SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t *>(picture.argb.data()), picture.width,
                                              picture.height, 32, picture.width * 4,
                                              SDL_PIXELFORMAT_ARGB8888);
}

bool writePNG(const std::string &path, const Picture &picture) {
    SDL_Surface *surface = surfaceOf(picture);
    bool saved = surface != nullptr && IMG_SavePNG(surface, path.c_str()) == 0;
    SDL_FreeSurface(surface);
    return saved;
}

bool writeJPEG(const std::string &path, const Picture &picture) {
    SDL_Surface *surface = surfaceOf(picture);
    bool saved = surface != nullptr && IMG_SaveJPG(surface, path.c_str(), 95) == 0;
    SDL_FreeSurface(surface);
    return saved;
}

void clearScreen(uint32_t rgb) {
    KWindowD3D &w = window();
    w._clearColor = rgb;
    w.setWorldView(0, 0, 0, 1, true);
    w._clearColor = 0;
}

} // namespace testsupport
