// Picture files as the game loads them: every pixel of each format, sixteen-bit loads, the decoder a
// name chooses; and damaged or forged files, each of which must come back as a clear failure (or as the
// part that is really there), without reading or writing out of bounds and without holding the game.
#include "platform/image_decoder.h"
#include "test_support.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <future>
#include <optional>
#include <random>

using namespace testsupport;
using Bytes = std::vector<uint8_t>;

namespace {

class ImageLoading : public Drawing {
protected:
    // Whether the picture, drawn whole at the origin without blending, shows `expected`, raw alpha
    // included.
    static bool shows(KGraphicD3D &image, const Picture &expected) {
        clearScreen();
        image.blitRect(0, 0, image.fimageWidth, image.fimageHeight, 0, 0, false, false);
        return image.getWidth() == expected.width && image.getHeight() == expected.height &&
               support::differingPixels(backBuffer(), expected, {0, 0, expected.width, expected.height}, 0, 0,
                                        0, true) == 0;
    }
};

// Every lossless format the game's pictures come in keeps every pixel, top row first; alpha survives where
// the file has it, and files without it are opaque.
TEST_F(ImageLoading, LosslessFormatsKeepEveryPixel) {
    const Picture opaque = gradient(45, 30, 255);
    Picture translucent = gradient(16, 16, 200);
    translucent.argb[0] = 0x00123456u;
    const struct {
        const char *name;
        const Picture &picture;
        std::function<void(const std::string &, const Picture &)> write;
    } cases[] = {
        {"p24.tga", opaque, [](auto &f, auto &p) { writeTGA(f, p, 24, false); }},
        {"p24rle.tga", opaque, [](auto &f, auto &p) { writeTGA(f, p, 24, true); }},
        {"p32top.tga", opaque, [](auto &f, auto &p) { writeTGA(f, p, 32, false, true); }},
        {"p.bmp", opaque, writeBMP},
        {"p.png", opaque, [](auto &f, auto &p) { writePNG(f, p); }},
        {"a32rle.tga", translucent, [](auto &f, auto &p) { writeTGA(f, p, 32, true); }},
        {"a.png", translucent, [](auto &f, auto &p) { writePNG(f, p); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        c.write(scratch(c.name), c.picture);
        KGraphicD3D image;
        ASSERT_TRUE(image.loadPicture(scratch(c.name).c_str(), true, true));
        EXPECT_EQ(image._ftextureHEIGHT, float(c.picture.height));
        EXPECT_TRUE(shows(image, c.picture));
    }
}

// Sixteen-bit loads keep the top four bits of each channel with alpha (read back as 12 * 17 for 200)
// and the top five without it, opaque; a file without alpha is loaded without it.
TEST_F(ImageLoading, SixteenBitLoadsDropLowBits) {
    const Picture picture{4, 1, {0xC8876543u, 0x0FFFFFFFu, 0xFF0F1F2Fu, 0xFF080808u}};
    ASSERT_TRUE(writePNG(scratch("s.png"), picture));
    writeTGA(scratch("s24.tga"), picture, 24, false);
    const struct {
        const char *name;
        bool alpha;
        Picture expected;
    } cases[] = {{"s.png", true, {4, 1, {0xCC886644u, 0x00FFFFFFu, 0xFF001122u, 0xFF000000u}}},
                 {"s.png", false, {4, 1, {0xFF846342u, 0xFFFFFFFFu, 0xFF081829u, 0xFF080808u}}},
                 {"s24.tga", true, {4, 1, {0xFF846342u, 0xFFFFFFFFu, 0xFF081829u, 0xFF080808u}}}};
    for (const auto &c : cases) {
        KGraphicD3D image;
        ASSERT_TRUE(image.loadPicture(scratch(c.name).c_str(), false, c.alpha));
        EXPECT_TRUE(shows(image, c.expected)) << c.name << (c.alpha ? " with alpha" : "");
    }
}

// The file's own name, and nothing of the folders that lead to it, decides the decoder: every
// extension found in it counts, case-sensitively, and the last in the order TGA, JPEG, BMP, PNG, PCX,
// TIFF wins. Each file here holds a TGA picture.
TEST_F(ImageLoading, TheFilesOwnNameDecidesTheDecoder) {
    // clang-format off
    const struct {
        const char *name;
        bool loads;
    } cases[] = {
        {"plain.tga", true}, {"inst.png/bomb.tga", true}, {"art.jpg/x.tif/inside.tga", true},
        {"a b#1%20?é.bmp/gem01.tga", true}, {"stage.tga.bak", true}, // anywhere in the name
        {"upper.TGA", false}, {"noext", false}, {"folder.tga/noext", false},
        {"sheet.tga.png", false}, // read as PNG, which comes later: it does not decode
        {"sheet.png.tga", false},
    };
    // clang-format on
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        writeTGA(scratch(c.name), gradient(8, 8), 24, false);
        KGraphicD3D image;
        EXPECT_EQ(image.loadPicture(scratch(c.name).c_str(), true, true), c.loads);
        EXPECT_EQ(image._surface != nullptr, c.loads);
        EXPECT_STREQ(image.imageFileName, scratch(c.name).c_str());
    }
    // Unknown names, missing files and folders fail without touching the sizes; a name that decodes
    // as the wrong type counts as a 0 x 0 picture. Nothing loads before the device exists.
    std::filesystem::create_directories(scratch("folder2.tga"));
    const std::string overlong = std::string(10000, 'x').append(".tga");
    KGraphicD3D image;
    ASSERT_TRUE(image.loadPicture(scratch("plain.tga").c_str(), true, true));
    for (const std::string &name :
         {scratch("upper.TGA"), scratch("missing.tga"), scratch("folder2.tga"), scratch(), overlong})
        EXPECT_FALSE(image.loadPicture(name.c_str(), true, true)) << name.substr(0, 100);
    EXPECT_FALSE(image.loadPicture(nullptr, true, true));
    EXPECT_EQ(image.getWidth(), 8);
    EXPECT_FALSE(image.loadPicture(scratch("sheet.png.tga").c_str(), true, true));
    EXPECT_EQ(image.getWidth() + image.getHeight(), 0);
    void *device = KGraphicD3D::_d3d;
    KGraphicD3D::_d3d = nullptr;
    EXPECT_FALSE(image.loadPicture(scratch("plain.tga").c_str(), true, true));
    KGraphicD3D::_d3d = device;
}

TEST_F(ImageLoading, GrabbingTheBackBufferMakesAScreenSizedPicture) {
    KGraphicD3D picture, grabbed;
    ASSERT_TRUE(load(picture, "grabme.tga", gradient(64, 64)));
    picture.blitRect(0, 0, 64, 64, 300, 200, false, false);
    const Picture before = backBuffer();
    ASSERT_TRUE(grabbed.grabBackBuffer());
    EXPECT_EQ(grabbed.fimageWidth * grabbed.fimageHeight, 640.0f * 480.0f);
    clearScreen(0x202020);
    grabbed.blitRect(0, 0, 640, 480, 0, 0, false, false);
    EXPECT_EQ(support::differingPixels(backBuffer(), before, {0, 0, 640, 480}), 0);
}

uint32_t crc32(const uint8_t *data, size_t size) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size * 8; ++i)
        crc = (crc ^ (data[i / 8] >> (i % 8))) & 1 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    return ~crc;
}

// A valid PNG with a bKGD chunk after its header: the chunk that made the decoder loop on truncation.
Bytes pngWithBackground() {
    EXPECT_TRUE(writePNG(scratch("plain.png"), gradient(16, 16, 180)));
    Bytes bytes = readBytes(scratch("plain.png"));
    Bytes chunk = {0, 0, 0, 6, 'b', 'K', 'G', 'D', 0, 10, 0, 20, 0, 30};
    const uint32_t crc = crc32(chunk.data() + 4, chunk.size() - 4);
    for (int shift : {24, 16, 8, 0})
        chunk.push_back(uint8_t(crc >> shift));
    bytes.insert(bytes.begin() + 8 + 25, chunk.begin(), chunk.end()); // after the signature and IHDR
    return bytes;
}

// The bytes with some of them replaced, from `at` on.
Bytes patched(Bytes bytes, size_t at, std::initializer_list<uint8_t> values) {
    bytes.resize(std::max(bytes.size(), at + values.size()));
    std::copy(values.begin(), values.end(), bytes.begin() + long(at));
    return bytes;
}

Bytes fileOf(const std::function<void(const std::string &)> &write) {
    write(scratch("made"));
    return readBytes(scratch("made"));
}

struct Damaged {
    std::string name;
    Bytes bytes;
    std::optional<bool> loads; // unset: either way, as long as it is clean
};

// Valid files cut short and with bytes of their headers flipped, on a fixed seed; headers that ask for
// enormous pictures, a PNG chunk longer than its file, a failed CRC. A header may not announce more
// pixels than its file can back for its format (an 18-byte TGA header, then 3000 zero bytes), allowing
// for what real files compress to, nor more than sixteen times the largest sheet.
std::vector<Damaged> damagedFiles() {
    const Picture picture = gradient(16, 16, 200);
    const Bytes tga = fileOf([&](auto &p) { writeTGA(p, picture, 32, false); }),
                bmp = fileOf([&](auto &p) { writeBMP(p, picture); }), png = pngWithBackground();
    const Bytes zeros(3018, 0);
    // clang-format off
    std::vector<Damaged> files = {
        {"huge.tga", patched(tga, 12, {0xFF, 0xFF, 0xFF, 0xFF}), false},
        {"huge.bmp", patched(bmp, 18, {0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0x7F}), false},
        {"longchunk.png", patched(png, 33, {0x7F}), false},
        {"badcrc.png", patched(png, 47, {uint8_t(~png[47])}), std::nullopt},
        {"huge-3k.tga", patched(zeros, 2, {2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x40, 0x00, 0x40, 32}), false},
        {"big-3k.tga", patched(zeros, 2, {2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xD0, 0x07, 0xD0, 0x07, 32}), false},
        {"runs-3k.tga", patched(zeros, 2, {10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xE8, 0x03, 0xE8, 0x03, 32}), false},
        {"over-cap.tga", patched(Bytes(300018), 2, {11, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01, 0x10, 0x00, 0x10, 8}), false},
        {"solid-runs.tga", fileOf([](auto &p) { writeTGA(p, solid(1024, 1024, ~0u), 32, true); }), true},
        {"solid.png", fileOf([](auto &p) { writePNG(p, solid(2048, 2048, ~0u)); }), true}};
    // clang-format on
    std::mt19937 random(1234);
    const Bytes rle = fileOf([&](auto &p) { writeTGA(p, picture, 32, true); });
    for (const auto &[ext, bytes] : {std::pair{"tga", tga}, {"rle.tga", rle}, {"bmp", bmp}, {"png", png}}) {
        files.push_back({std::string("empty.") + ext, {}, false});
        for (size_t cut : {size_t{1}, size_t{8}, size_t{20}, size_t{40}, bytes.size() / 2, bytes.size() - 1})
            files.push_back({"cut" + std::to_string(cut) + "." + ext,
                             Bytes(bytes.begin(), bytes.begin() + long(cut)), std::nullopt});
        for (int round = 0; round < 12; ++round) {
            Bytes flipped = bytes;
            for (int k = 0; k < 4; ++k)
                flipped[random() % 64] ^= uint8_t(1 + random() % 255);
            files.push_back({"flip" + std::to_string(round) + "." + ext, flipped, std::nullopt});
        }
    }
    return files;
}

// Decodes away from the test's thread, so that a decoder that never returns fails instead of hanging.
bool decodesInTime(const std::string &path, const char *type) {
    auto decoding = std::async(std::launch::async, [path, type] {
        platform::DecodedImage image;
        const bool decoded = platform::decodeImageFile(path.c_str(), type, image);
        SDL_TLSCleanup(); // SDL keeps an error buffer per thread
        return decoded;
    });
    if (decoding.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
        ADD_FAILURE() << "decoding never finished";
        std::fflush(nullptr);
        std::_Exit(1);
    }
    return decoding.get();
}

// FIFOs and devices in a picture's place are refused without being read.
TEST(DamagedPictures, FailCleanlyWithoutHoldingTheGame) {
    window();
    auto files = damagedFiles();
    files.push_back({"fifo.tga", {}, false});
    files.push_back({"zero.tga", {}, false});
    for (const Damaged &damaged : files) {
        SCOPED_TRACE(damaged.name);
        const std::string path = scratch("damaged-" + damaged.name);
        if (damaged.name == "fifo.tga")
            ASSERT_EQ(mkfifo(path.c_str(), 0644), 0);
        else if (damaged.name == "zero.tga")
            std::filesystem::create_symlink("/dev/zero", path);
        else
            writeBytes(path, damaged.bytes);
        const std::string ext = damaged.name.substr(damaged.name.rfind('.') + 1);
        const char *type = ext == "tga" ? "TGA" : ext == "bmp" ? "BMP" : ext == "jpg" ? "JPG" : "PNG";
        const bool decoded = decodesInTime(path, type);
        KGraphicD3D image;
        const bool loaded = image.loadPicture(path.c_str(), true, true);
        if (damaged.loads) {
            EXPECT_EQ(decoded, *damaged.loads);
            EXPECT_EQ(loaded, *damaged.loads);
        }
        // Only a picture that really decoded may load, with a texture of its decoded size.
        EXPECT_EQ(image._surface != nullptr, loaded);
        if (loaded) {
            EXPECT_GT(image.getWidth() * image.getHeight(), 0);
            image.blitAlphaRect(0, 0, image.fimageWidth, image.fimageHeight, 0, 0, false, false);
        }
        KGraphicD3D sixteen;
        sixteen.loadPicture(path.c_str(), false, true);
    }
}

TEST(DamagedPictures, TruncatedPngsNeverReachTheDecoder) {
    Bytes png = pngWithBackground();
    EXPECT_TRUE(platform::isCompletePng(png.data(), png.size()));
    for (size_t cut = 0; cut < png.size(); ++cut)
        ASSERT_FALSE(platform::isCompletePng(png.data(), cut)) << cut;
    EXPECT_FALSE(platform::isCompletePng(nullptr, 0));
    png.push_back(0); // bytes after IEND are harmless
    EXPECT_TRUE(platform::isCompletePng(png.data(), png.size()));
}

} // namespace
