#include "platform/image_decoder.h"

#include "platform/file_reader.h"

#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
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

// What a picture's header announces, and the most pixels a file of its size can really describe in
// that format, from the densest encoding real files reach (runs of one colour, deflate at its best).
struct Announced {
    uint64_t width = 0, height = 0;
    uint64_t backedPixels = UINT64_MAX;
};

static uint64_t payloadAfter(size_t size, uint64_t start) {
    return size > start ? size - start : 0;
}

static uint64_t sideOf(int32_t value) {
    return value < 0 ? 0 - static_cast<uint64_t>(static_cast<int64_t>(value)) : static_cast<uint64_t>(value);
}

static bool tgaAnnounces(const uint8_t *data, size_t size, Announced &a) {
    if (size < 18)
        return false;
    a.width = littleEndian16(data + 12);
    a.height = littleEndian16(data + 14);
    const uint64_t depth = std::max<uint64_t>(data[16], 1);
    const uint64_t mapBytes = static_cast<uint64_t>(littleEndian16(data + 5)) * ((data[7] + 7u) / 8u);
    const uint64_t payload = payloadAfter(size, 18u + data[0] + mapBytes);
    const uint8_t type = data[2];
    if (type >= 1 && type <= 3) // stored: every pixel is in the file
        a.backedPixels = payload * 8 / depth;
    else if (type >= 9 && type <= 11) // runs of up to 128 pixels: a header byte and one value each
        a.backedPixels = payload * 128 / (1 + (depth + 7) / 8);
    return true;
}

static bool bmpAnnounces(const uint8_t *data, size_t size, Announced &a) {
    if (size < 26)
        return false;
    const uint64_t payload = payloadAfter(size, littleEndian32(data + 10));
    if (littleEndian32(data + 14) < 40) { // the 12-byte header: 16-bit sizes, stored rows
        a.width = littleEndian16(data + 18);
        a.height = littleEndian16(data + 20);
        a.backedPixels = payload * 8 / std::max<uint32_t>(littleEndian16(data + 24), 1);
        return true;
    }
    if (size < 34)
        return false;
    a.width = sideOf(static_cast<int32_t>(littleEndian32(data + 18)));
    a.height = sideOf(static_cast<int32_t>(littleEndian32(data + 22)));
    const uint32_t bits = std::max<uint32_t>(littleEndian16(data + 28), 1);
    const uint32_t compression = littleEndian32(data + 30);
    if (compression == 0 || compression == 3 || compression == 6) // stored rows
        a.backedPixels = payload * 8 / bits;
    else if (compression == 1 || compression == 2) // runs of up to 255 pixels in two bytes
        a.backedPixels = payload * 256;
    return true;
}

static bool pcxAnnounces(const uint8_t *data, size_t size, Announced &a) {
    if (size < 128)
        return false;
    a.width = static_cast<uint64_t>(std::abs(static_cast<int>(littleEndian16(data + 8)) -
                                             static_cast<int>(littleEndian16(data + 4)))) +
              1;
    a.height = static_cast<uint64_t>(std::abs(static_cast<int>(littleEndian16(data + 10)) -
                                              static_cast<int>(littleEndian16(data + 6)))) +
               1;
    // Runs of up to 63 bytes of a plane's row in two bytes.
    a.backedPixels = payloadAfter(size, 128) * 32 * 8 / std::max<uint8_t>(data[3], 1);
    return true;
}

// Refuses pictures whose header asks for more than the file can back, or for more than any picture of
// the game needs: decoders allocate the whole picture before reading it, and a forged header would
// have them allocate and fill gigabytes.
static bool announcedSizeIsReasonable(const std::vector<uint8_t> &bytes, const char *type) {
    const uint8_t *data = bytes.data();
    const size_t size = bytes.size();
    Announced a;
    bool known = false;
    if (std::strcmp(type, "TGA") == 0) {
        known = tgaAnnounces(data, size, a);
    } else if (std::strcmp(type, "BMP") == 0) {
        known = bmpAnnounces(data, size, a);
    } else if (std::strcmp(type, "PCX") == 0) {
        known = pcxAnnounces(data, size, a);
    } else if (std::strcmp(type, "PNG") == 0 && size >= 24) {
        a.width = bigEndian32(data + 16);
        a.height = bigEndian32(data + 20);
        a.backedPixels = static_cast<uint64_t>(size) * 8 * 1032; // one bit a pixel, deflate at its best
        known = true;
    } else if (std::strcmp(type, "JPG") == 0) {
        known = jpegSize(data, size, a.width, a.height);
        a.backedPixels = static_cast<uint64_t>(size) * 1024; // a few bits for each block of one colour
    } else if (std::strcmp(type, "TIF") == 0) {
        known = tiffSize(data, size, a.width, a.height);
        a.backedPixels = static_cast<uint64_t>(size) * 8 * 2048; // one bit a pixel, LZW at its best
    }
    if (!known)
        return true;
    if (a.width > kMaxPictureSide || a.height > kMaxPictureSide)
        return false;
    const uint64_t pixels = a.width * a.height;
    return pixels <= kMaxPicturePixels && pixels <= a.backedPixels;
}

bool decodeImageFile(const char *path, const char *type, DecodedImage &image) {
    image = DecodedImage{};
    if (path == nullptr || type == nullptr)
        return false;
    std::vector<uint8_t> bytes;
    if (!readRegularFile(path, kMaxPictureFileBytes, bytes) || bytes.empty())
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

    // A 32-bit picture usually decodes straight to ARGB: it is copied once, not converted first.
    std::unique_ptr<SDL_Surface, void (*)(SDL_Surface *)> pixels(nullptr, SDL_FreeSurface);
    if (surface->format->format != SDL_PIXELFORMAT_ARGB8888 || SDL_HasColorKey(surface.get())) {
        pixels.reset(SDL_ConvertSurfaceFormat(surface.get(), SDL_PIXELFORMAT_ARGB8888, 0));
        if (pixels == nullptr)
            return false;
    }
    SDL_Surface *source = pixels != nullptr ? pixels.get() : surface.get();
    if (source->w <= 0 || source->h <= 0)
        return false;
    image.width = source->w;
    image.height = source->h;
    image.argb.resize(static_cast<size_t>(image.width) * image.height);
    SDL_LockSurface(source);
    for (int y = 0; y < image.height; ++y)
        std::memcpy(&image.argb[static_cast<size_t>(y) * image.width],
                    static_cast<const uint8_t *>(source->pixels) + static_cast<size_t>(y) * source->pitch,
                    static_cast<size_t>(image.width) * 4);
    SDL_UnlockSurface(source);
    return true;
}

} // namespace platform
