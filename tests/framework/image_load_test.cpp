// Picture files as the game loads them: every pixel of each format, sixteen-bit loads, the decoder a
// name chooses; and damaged or forged files, each of which must come back as a clear failure (or as the
// part that is really there), without reading or writing out of bounds and without holding the game.
#include "platform/image_decoder.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <filesystem>
#include <optional>
#include <random>

using namespace testsupport;

namespace {

using ImageLoading = Drawing;

// Whether the picture, drawn whole at the origin without blending, shows `expected`, raw alpha included.
bool shows(KGraphicD3D &image, const Picture &expected) {
    clearScreen();
    image.blitRect(0, 0, image.fimageWidth, image.fimageHeight, 0, 0, false, false);
    return image.getWidth() == expected.width && image.getHeight() == expected.height &&
           support::differingPixels(backBuffer(), expected, {0, 0, expected.width, expected.height}, 0, 0, 0,
                                    true) == 0;
}

// Every lossless format the game's pictures come in keeps every pixel, top row first; alpha survives where
// the file has it, and files without it are opaque.
TEST_F(ImageLoading, LosslessFormatsKeepEveryPixel) {
    const Picture opaque = gradient(45, 30, 255);
    Picture translucent = gradient(16, 16, 200);
    translucent.argb[0] = 0x00123456u;
    // Each name says how the file is written: TGA depth, run-length packets, rows from the top.
    for (const std::string name :
         {"p24.tga", "p24rle.tga", "p32top.tga", "p.bmp", "p.png", "a32rle.tga", "a.png"}) {
        SCOPED_TRACE(name);
        const Picture &picture = name[0] == 'a' ? translucent : opaque;
        writePicture(scratch(name), picture, name.find("24") != std::string::npos ? 24 : 32,
                     name.find("rle") != std::string::npos, name.find("top") != std::string::npos);
        KGraphicD3D image;
        ASSERT_TRUE(image.loadPicture(scratch(name).c_str(), true, true));
        EXPECT_TRUE(shows(image, picture));
    }
}

// Sixteen-bit loads (the gems) keep the top four bits of each channel with alpha (read back as 12 * 17
// for 200) and the top five of a file without alpha, opaque.
TEST_F(ImageLoading, SixteenBitLoadsDropLowBits) {
    const Picture picture{4, 1, {0xC8876543u, 0x0FFFFFFFu, 0xFF0F1F2Fu, 0xFF080808u}};
    for (const auto &[name, expected] :
         {std::pair{"s.png", Picture{4, 1, {0xCC886644u, 0x00FFFFFFu, 0xFF001122u, 0xFF000000u}}},
          {"s24.tga", Picture{4, 1, {0xFF846342u, 0xFFFFFFFFu, 0xFF081829u, 0xFF080808u}}}}) {
        writePicture(scratch(name), picture, 24);
        KGraphicD3D image;
        ASSERT_TRUE(image.loadPicture(scratch(name).c_str(), false, true));
        EXPECT_TRUE(shows(image, expected)) << name;
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
        {"plain.tga", true}, {"a b#1%20?é.png/gem01.tga", true}, {"stage.tga.bak", true},
        {"upper.TGA", false}, {"folder.tga/noext", false},
        {"sheet.png.tga", false}, // read as PNG, which comes later in the order: it does not decode
    };
    // clang-format on
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        writePicture(scratch(c.name), gradient(8, 8), 24);
        KGraphicD3D image;
        EXPECT_EQ(image.loadPicture(scratch(c.name).c_str(), true, true), c.loads);
    }
    // Unknown names, missing files and folders fail without touching the sizes; a name that decodes
    // as the wrong type counts as a 0 x 0 picture.
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
}

TEST_F(ImageLoading, GrabbingTheBackBufferMakesAScreenSizedPicture) {
    KGraphicD3D picture, grabbed;
    ASSERT_TRUE(load(picture, "grabme.tga", gradient(64, 64)));
    picture.blitRect(0, 0, 64, 64, 300, 200, false, false);
    const Picture before = backBuffer();
    ASSERT_TRUE(grabbed.grabBackBuffer());
    EXPECT_TRUE(shows(grabbed, before));
}

// A valid PNG with a bKGD chunk after its header: the chunk that made the decoder loop on truncation.
Bytes pngWithBackground() {
    Bytes bytes = writePicture(scratch("plain.png"), gradient(16, 16, 180));
    Bytes chunk = {0, 0, 0, 6, 'b', 'K', 'G', 'D', 0, 10, 0, 20, 0, 30};
    const uLong crc = crc32(0, chunk.data() + 4, uInt(chunk.size() - 4));
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
    const Bytes tga = writePicture(scratch("made.tga"), picture),
                bmp = writePicture(scratch("made.bmp"), picture),
                rle = writePicture(scratch("made.tga"), picture, 32, true), png = pngWithBackground();
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
        {"solid-runs.tga", writePicture(scratch("made.tga"), solid(1024, 1024, ~0u), 32, true), true},
        {"solid.png", writePicture(scratch("made.png"), solid(2048, 2048, ~0u)), true},
        {"fifo.tga", {}, false}, {"zero.tga", {}, false}}; // a FIFO and /dev/zero, made by the test
    // clang-format on
    std::mt19937 random(1234);
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

// FIFOs and devices in a picture's place are refused without being read. A decoder that never returned
// would run into the test's own time limit.
TEST(DamagedPictures, FailCleanlyWithoutHoldingTheGame) {
    window();
    for (const Damaged &damaged : damagedFiles()) {
        SCOPED_TRACE(damaged.name);
        const std::string path = scratch("damaged-" + damaged.name);
        if (damaged.name == "fifo.tga")
            ASSERT_EQ(mkfifo(path.c_str(), 0644), 0);
        else if (damaged.name == "zero.tga")
            std::filesystem::create_symlink("/dev/zero", path);
        else
            writeBytes(path, damaged.bytes);
        const std::string ext = damaged.name.substr(damaged.name.rfind('.') + 1);
        const char *type = ext == "tga" ? "TGA" : ext == "bmp" ? "BMP" : "PNG";
        platform::DecodedImage decodedImage;
        const bool decoded = platform::decodeImageFile(path.c_str(), type, decodedImage);
        KGraphicD3D image;
        const bool loaded = image.loadPicture(path.c_str(), true, true);
        EXPECT_TRUE(!damaged.loads || (decoded == *damaged.loads && loaded == *damaged.loads))
            << decoded << loaded;
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
    png.push_back(0); // bytes after IEND are harmless
    for (size_t cut = 0; cut <= png.size(); ++cut)
        ASSERT_EQ(platform::isCompletePng(png.data(), cut), cut + 1 >= png.size()) << cut;
}

} // namespace
