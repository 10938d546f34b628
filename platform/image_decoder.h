// Decodes picture files (TGA, JPEG, BMP, PNG, PCX, TIFF) with SDL2_image into 32-bit pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform {

struct DecodedImage {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0; // as stored in the file: 8 for palettes, 24, 32, ...
    bool hasAlpha = false;
    std::vector<uint32_t> argb; // ARGB8888, top row first
};

// The largest picture decoded: sixteen times the game's largest sheet (1024 x 1024), and no side longer
// than a texture may be.
constexpr uint64_t kMaxPicturePixels = 4096ull * 4096;
constexpr uint64_t kMaxPictureSide = 16384;

// Decodes the file with the named SDL2_image type ("TGA", "JPG", "BMP", "PNG", "PCX", "TIF"); the
// type is never guessed from the content. False for missing, empty or undecodable files, for anything
// but a regular file, and for a header announcing more pixels than the file backs or than the largest
// picture.
bool decodeImageFile(const char *path, const char *type, DecodedImage &image);

// True when the bytes are a PNG whose chunks are all complete, ending with IEND. A truncated PNG can
// make the decoder loop for ever, so nothing else reaches it.
bool isCompletePng(const uint8_t *data, size_t size);

} // namespace platform
