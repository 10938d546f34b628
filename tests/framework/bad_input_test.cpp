// Damaged picture files: every one must come back as a clear failure (or as the part that is really
// there), quickly, without reading or writing out of bounds.
#include "framework/KGraphicD3D.h"
#include "platform/image_decoder.h"
#include "test_support.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <future>
#include <random>

using namespace testsupport;

namespace {

uint32_t crc32(const uint8_t *data, size_t size) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return ~crc;
}

// A valid PNG with a bKGD chunk after its header: the chunk that made the decoder loop on truncation.
std::vector<uint8_t> pngWithBackground(const std::string &path) {
    EXPECT_TRUE(writePNG(path, gradient(16, 16, 180)));
    std::vector<uint8_t> bytes = readBytes(path);
    std::vector<uint8_t> chunk = {0, 0, 0, 6, 'b', 'K', 'G', 'D', 0, 10, 0, 20, 0, 30};
    uint32_t crc = crc32(chunk.data() + 4, chunk.size() - 4);
    for (int shift : {24, 16, 8, 0})
        chunk.push_back(static_cast<uint8_t>(crc >> shift));
    const size_t afterHeader = 8 + 25; // signature, then IHDR: length, type, 13 bytes, CRC
    bytes.insert(bytes.begin() + afterHeader, chunk.begin(), chunk.end());
    return bytes;
}

struct Damaged {
    std::string name;
    std::vector<uint8_t> bytes;
};

std::vector<Damaged> damagedFiles() {
    const Picture picture = gradient(16, 16, 200);
    std::vector<Damaged> files;
    std::vector<std::pair<std::string, std::vector<uint8_t>>> valid;
    auto add = [&](const std::string &ext, auto writer) {
        std::string path = (scratch() / ("valid." + ext)).string();
        writer(path);
        valid.emplace_back(ext, readBytes(path));
    };
    add("tga", [&](const std::string &p) { writeTGA(p, picture, 32, false); });
    add("rle.tga", [&](const std::string &p) { writeTGA(p, picture, 32, true); });
    add("bmp", [&](const std::string &p) { writeBMP(p, picture); });
    add("pcx", [&](const std::string &p) { writePCX(p, picture); });
    add("tif", [&](const std::string &p) { writeTIFF(p, picture, false); });
    add("jpg", [&](const std::string &p) { writeJPEG(p, picture); });
    valid.emplace_back("png", pngWithBackground((scratch() / "valid.png").string()));

    std::mt19937 random(1234);
    for (const auto &[ext, bytes] : valid) {
        files.push_back({"empty." + ext, {}});
        for (size_t cut : {size_t{1}, size_t{8}, size_t{20}, size_t{40}, bytes.size() / 2, bytes.size() - 1})
            if (cut < bytes.size())
                files.push_back(
                    {"cut" + std::to_string(cut) + "." + ext,
                     std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(cut))});
        std::vector<uint8_t> garbage(bytes.size());
        for (uint8_t &b : garbage)
            b = static_cast<uint8_t>(random());
        files.push_back({"garbage." + ext, garbage});
        for (int round = 0; round < 12; ++round) {
            std::vector<uint8_t> flipped = bytes;
            for (int k = 0; k < 4; ++k)
                flipped[random() % std::min<size_t>(flipped.size(), 64)] ^=
                    static_cast<uint8_t>(1 + random() % 255);
            files.push_back({"flip" + std::to_string(round) + "." + ext, flipped});
        }
    }
    // Headers that ask for enormous pictures.
    std::vector<uint8_t> tga = valid[0].second;
    tga[12] = tga[13] = tga[14] = tga[15] = 0xFF;
    files.push_back({"huge.tga", tga});
    std::vector<uint8_t> bmp = valid[2].second;
    bmp[18] = bmp[19] = bmp[20] = 0xFF;
    bmp[21] = 0x7F;
    bmp[22] = bmp[23] = bmp[24] = 0xFF;
    bmp[25] = 0x7F;
    files.push_back({"huge.bmp", bmp});
    std::vector<uint8_t> pcx = valid[3].second;
    pcx[8] = pcx[9] = pcx[10] = pcx[11] = 0xFF;
    files.push_back({"huge.pcx", pcx});
    // A PNG whose chunk says it is longer than the file, and one whose background chunk fails its CRC.
    std::vector<uint8_t> png = valid.back().second;
    std::vector<uint8_t> longChunk = png;
    longChunk[33] = 0x7F;
    files.push_back({"longchunk.png", longChunk});
    std::vector<uint8_t> badCrc = png;
    badCrc[33 + 14] ^= 0xFF;
    files.push_back({"badcrc.png", badCrc});
    return files;
}

TEST(DamagedPictures, FailCleanlyAndQuickly) {
    window();
    const auto files = damagedFiles();
    ASSERT_GT(files.size(), 100u);
    for (const Damaged &damaged : files) {
        SCOPED_TRACE(damaged.name);
        std::string path = (scratch() / ("damaged-" + damaged.name)).string();
        writeBytes(path, damaged.bytes);
        const char *type = damaged.name.find(".tga") != std::string::npos   ? "TGA"
                           : damaged.name.find(".bmp") != std::string::npos ? "BMP"
                           : damaged.name.find(".pcx") != std::string::npos ? "PCX"
                           : damaged.name.find(".tif") != std::string::npos ? "TIF"
                           : damaged.name.find(".jpg") != std::string::npos ? "JPG"
                                                                            : "PNG";
        // Decode away from the test's thread first, so that a decoder that never returns shows up
        // as a failure instead of a hung test.
        auto decoding = std::async(std::launch::async, [path, type] {
            platform::DecodedImage image;
            bool decoded = platform::decodeImageFile(path.c_str(), type, image);
            SDL_TLSCleanup(); // SDL keeps an error buffer per thread
            return decoded;
        });
        if (decoding.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
            ADD_FAILURE() << "decoding never finished";
            std::fflush(nullptr);
            std::_Exit(1);
        }
        decoding.get();

        KGraphicD3D image;
        bool loaded = image.loadPicture(path.c_str(), true, true);
        if (loaded) {
            // Only a picture that really decoded may load, with a texture of its decoded size.
            EXPECT_NE(image._surface, nullptr);
            EXPECT_GT(image.getWidth(), 0);
            EXPECT_GT(image.getHeight(), 0);
            image.blitAlphaRect(0, 0, image.fimageWidth, image.fimageHeight, 0, 0, false, false);
        } else {
            EXPECT_EQ(image._surface, nullptr);
        }
        KGraphicD3D sixteen;
        sixteen.loadPicture(path.c_str(), false, true);
    }
}

TEST(DamagedPictures, TruncatedPngsNeverReachTheDecoder) {
    std::vector<uint8_t> png = pngWithBackground((scratch() / "whole.png").string());
    EXPECT_TRUE(platform::isCompletePng(png.data(), png.size()));
    for (size_t cut = 0; cut < png.size(); ++cut)
        ASSERT_FALSE(platform::isCompletePng(png.data(), cut)) << cut;
    EXPECT_FALSE(platform::isCompletePng(nullptr, 0));
    std::vector<uint8_t> trailing = png;
    trailing.push_back(0); // bytes after IEND are harmless
    EXPECT_TRUE(platform::isCompletePng(trailing.data(), trailing.size()));
}

TEST(DamagedPictures, EmptyAndMissingFilesAndFolders) {
    window();
    writeBytes((scratch() / "empty.tga").string(), {});
    KGraphicD3D image;
    EXPECT_FALSE(image.loadPicture((scratch() / "empty.tga").string().c_str(), true, true));
    EXPECT_FALSE(image.loadPicture(scratch().string().c_str(), true, true)); // a folder, no extension
    std::filesystem::create_directories(scratch() / "folder.tga");
    EXPECT_FALSE(image.loadPicture((scratch() / "folder.tga").string().c_str(), true, true));
    std::string overlong(10000, 'x');
    overlong += ".tga";
    EXPECT_FALSE(image.loadPicture(overlong.c_str(), true, true));
    EXPECT_LT(std::strlen(image.imageFileName), sizeof(image.imageFileName));
}

} // namespace

namespace {

// An 18-byte TGA header (stored or run-length, 8 or 32 bits) announcing a size, then `payload` zero
// bytes.
std::vector<uint8_t> tgaAnnouncing(uint8_t type, int width, int height, uint8_t bits, size_t payload) {
    std::vector<uint8_t> bytes(18 + payload, 0);
    bytes[2] = type;
    bytes[12] = static_cast<uint8_t>(width);
    bytes[13] = static_cast<uint8_t>(width >> 8);
    bytes[14] = static_cast<uint8_t>(height);
    bytes[15] = static_cast<uint8_t>(height >> 8);
    bytes[16] = bits;
    return bytes;
}

Picture solid(int width, int height) {
    return {width, height, std::vector<uint32_t>(static_cast<size_t>(width) * height, 0xFF336699u)};
}

} // namespace

// A header may not announce more pixels than its file can back for its format, allowing for what real
// files compress to, nor more than sixteen times the largest sheet; FIFOs and devices in a picture's
// place are refused without being read. None of them may hold the game.
TEST(DamagedPictures, ForgedSizesAndStrangeFilesAreRefused) {
    window();
    namespace fs = std::filesystem;
    const fs::path folder = scratch() / "forged";
    fs::create_directories(folder);
    auto path = [&](const char *name) { return (folder / name).string(); };
    writeBytes(path("huge-3k.tga"), tgaAnnouncing(2, 16384, 16384, 32, 3000));
    writeBytes(path("big-3k.tga"), tgaAnnouncing(2, 2000, 2000, 32, 3000));
    writeBytes(path("runs-3k.tga"), tgaAnnouncing(10, 1000, 1000, 32, 3000));
    writeBytes(path("over-cap.tga"), tgaAnnouncing(11, 4097, 4096, 8, 300000));
    writeTGA(path("solid-runs.tga"), solid(1024, 1024), 32, true);
    ASSERT_TRUE(writePNG(path("solid.png"), solid(2048, 2048)));
    ASSERT_TRUE(writeJPEG(path("solid.jpg"), solid(1024, 1024)));
    writeTGA(path("stored.tga"), gradient(40, 30), 24, false);
    ASSERT_EQ(mkfifo(path("fifo.tga").c_str(), 0644), 0);
    fs::create_symlink("/dev/zero", path("zero.tga"));
    const struct {
        const char *name;
        bool loads;
    } cases[] = {
        {"huge-3k.tga", false},   {"big-3k.tga", false}, {"runs-3k.tga", false}, {"over-cap.tga", false},
        {"solid-runs.tga", true}, {"solid.png", true},   {"solid.jpg", true},    {"stored.tga", true},
        {"fifo.tga", false},      {"zero.tga", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = path(c.name);
        // Away from the test's thread, so that a load that never returns fails instead of hanging.
        auto decoding = std::async(std::launch::async, [file] {
            platform::DecodedImage image;
            const bool decoded = platform::decodeImageFile(file.c_str(),
                                                           file.find(".png") != std::string::npos   ? "PNG"
                                                           : file.find(".jpg") != std::string::npos ? "JPG"
                                                                                                    : "TGA",
                                                           image);
            SDL_TLSCleanup();
            return decoded;
        });
        if (decoding.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
            ADD_FAILURE() << "decoding never finished";
            std::fflush(nullptr);
            std::_Exit(1);
        }
        EXPECT_EQ(decoding.get(), c.loads);
        KGraphicD3D image;
        EXPECT_EQ(image.loadPicture(file.c_str(), true, true), c.loads);
    }
}
