#include "platform/image_decoder.h"

#include <SDL.h>
#include <SDL_image.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace platform {

static uint32_t bigEndian32(const uint8_t *p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}

bool isCompletePng(const uint8_t *data, size_t size) {
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (data == nullptr || size < 8 || std::memcmp(data, kSignature, 8) != 0)
        return false;
    size_t at = 8;
    while (size - at >= 12) {
        uint32_t length = bigEndian32(data + at);
        if (length > 0x7FFFFFFFu || length > size - at - 12)
            return false; // the chunk runs past the end of the file
        bool end = std::memcmp(data + at + 4, "IEND", 4) == 0;
        at += 12 + static_cast<size_t>(length);
        if (end)
            return true;
    }
    return false;
}

static uint32_t littleEndian16(const uint8_t *p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8;
}
static uint32_t littleEndian32(const uint8_t *p) {
    return littleEndian16(p) | littleEndian16(p + 2) << 16;
}

// The size a TIFF's first directory announces; false when it cannot be found.
static bool tiffSize(const uint8_t *data, size_t size, uint64_t &width, uint64_t &height) {
    if (size < 8)
        return false;
    const bool little = data[0] == 'I';
    auto read16 = [&](size_t at) {
        return little ? littleEndian16(data + at) : (data[at] << 8 | data[at + 1]);
    };
    auto read32 = [&](size_t at) { return little ? littleEndian32(data + at) : bigEndian32(data + at); };
    size_t directory = read32(4);
    if (directory > size || size - directory < 2)
        return false;
    size_t entries = read16(directory);
    for (size_t i = 0; i < entries; ++i) {
        size_t at = directory + 2 + i * 12;
        if (at > size || size - at < 12)
            return false;
        uint32_t tag = read16(at), type = read16(at + 2);
        uint32_t value = type == 3 ? read16(at + 8) : read32(at + 8);
        if (tag == 256)
            width = value;
        else if (tag == 257)
            height = value;
    }
    return true;
}

// The size a JPEG's frame header announces; false when there is none.
static bool jpegSize(const uint8_t *data, size_t size, uint64_t &width, uint64_t &height) {
    size_t at = 2;
    while (at + 9 <= size) {
        if (data[at] != 0xFF)
            return false;
        uint8_t marker = data[at + 1];
        size_t length = static_cast<size_t>(data[at + 2]) << 8 | data[at + 3];
        bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            height = static_cast<uint64_t>(data[at + 5]) << 8 | data[at + 6];
            width = static_cast<uint64_t>(data[at + 7]) << 8 | data[at + 8];
            return true;
        }
        at += 2 + length;
    }
    return false;
}

// Refuses pictures whose header asks for more than any texture can hold: decoders allocate the
// whole picture before reading it, and a damaged header would have them allocate and fill gigabytes.
static bool announcedSizeIsReasonable(const std::vector<uint8_t> &bytes, const char *type) {
    constexpr uint64_t kMaxSide = 16384;
    const uint8_t *data = bytes.data();
    const size_t size = bytes.size();
    uint64_t width = 0, height = 0;
    bool known = false;
    if (std::strcmp(type, "TGA") == 0 && size >= 18) {
        width = littleEndian16(data + 12);
        height = littleEndian16(data + 14);
        known = true;
    } else if (std::strcmp(type, "BMP") == 0 && size >= 26) {
        auto w = static_cast<int32_t>(littleEndian32(data + 18)),
             h = static_cast<int32_t>(littleEndian32(data + 22));
        width = w < 0 ? 0 - static_cast<uint64_t>(static_cast<int64_t>(w)) : static_cast<uint64_t>(w);
        height = h < 0 ? 0 - static_cast<uint64_t>(static_cast<int64_t>(h)) : static_cast<uint64_t>(h);
        known = littleEndian32(data + 14) >= 40; // the 12-byte header stores 16-bit sizes: always small
    } else if (std::strcmp(type, "PCX") == 0 && size >= 12) {
        width = static_cast<uint64_t>(std::abs(static_cast<int>(littleEndian16(data + 8)) -
                                               static_cast<int>(littleEndian16(data + 4)))) +
                1;
        height = static_cast<uint64_t>(std::abs(static_cast<int>(littleEndian16(data + 10)) -
                                                static_cast<int>(littleEndian16(data + 6)))) +
                 1;
        known = true;
    } else if (std::strcmp(type, "PNG") == 0 && size >= 24) {
        width = bigEndian32(data + 16);
        height = bigEndian32(data + 20);
        known = true;
    } else if (std::strcmp(type, "JPG") == 0) {
        known = jpegSize(data, size, width, height);
    } else if (std::strcmp(type, "TIF") == 0) {
        known = tiffSize(data, size, width, height);
    }
    return !known || (width <= kMaxSide && height <= kMaxSide);
}

static bool readWholeFile(const char *path, std::vector<uint8_t> &bytes) {
    std::unique_ptr<FILE, int (*)(FILE *)> file(std::fopen(path, "rb"), std::fclose);
    if (!file)
        return false;
    uint8_t chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof(chunk), file.get())) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    return !std::ferror(file.get());
}

bool decodeImageFile(const char *path, const char *type, DecodedImage &image) {
    image = DecodedImage{};
    if (path == nullptr || type == nullptr)
        return false;
    std::vector<uint8_t> bytes;
    if (!readWholeFile(path, bytes) || bytes.empty())
        return false;
    if (bytes.size() > 0x7FFFFFFFu)
        return false;
    if (std::strcmp(type, "PNG") == 0 && !isCompletePng(bytes.data(), bytes.size()))
        return false;
    if (!announcedSizeIsReasonable(bytes, type))
        return false;

    SDL_RWops *stream = SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
    if (stream == nullptr)
        return false;
    SDL_Surface *decoded = IMG_LoadTyped_RW(stream, 1, type);
    if (decoded == nullptr)
        return false;
    std::unique_ptr<SDL_Surface, void (*)(SDL_Surface *)> surface(decoded, SDL_FreeSurface);

    image.bitsPerPixel = surface->format->BitsPerPixel;
    image.hasAlpha = SDL_ISPIXELFORMAT_ALPHA(surface->format->format) || SDL_HasColorKey(surface.get());
    if (surface->format->palette != nullptr)
        for (int i = 0; i < surface->format->palette->ncolors; ++i)
            image.hasAlpha = image.hasAlpha || surface->format->palette->colors[i].a != 255;

    SDL_Surface *converted = SDL_ConvertSurfaceFormat(surface.get(), SDL_PIXELFORMAT_ARGB8888, 0);
    if (converted == nullptr)
        return false;
    std::unique_ptr<SDL_Surface, void (*)(SDL_Surface *)> pixels(converted, SDL_FreeSurface);
    if (pixels->w <= 0 || pixels->h <= 0)
        return false;
    image.width = pixels->w;
    image.height = pixels->h;
    image.argb.resize(static_cast<size_t>(image.width) * image.height);
    SDL_LockSurface(pixels.get());
    for (int y = 0; y < image.height; ++y)
        std::memcpy(&image.argb[static_cast<size_t>(y) * image.width],
                    static_cast<const uint8_t *>(pixels->pixels) + static_cast<size_t>(y) * pixels->pitch,
                    static_cast<size_t>(image.width) * 4);
    SDL_UnlockSurface(pixels.get());
    return true;
}

} // namespace platform
