#include "platform/image_decoder.h"

#include <SDL.h>
#include <SDL_image.h>

#include <cstdio>
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
