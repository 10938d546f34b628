#include "framework/KGraphicD3D.h"
#include "framework/KWindowD3D.h"
#include "platform/display.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace testsupport;

namespace {

class ImageLoading : public ::testing::Test {
protected:
    void SetUp() override {
        window().setDefaultWorldView();
        clearScreen();
    }
    static std::string file(const std::string &name) { return (scratch() / name).string(); }

    // Draws the whole picture at the origin without blending and reads it back, raw alpha included.
    static Picture shown(KGraphicD3D &image) {
        clearScreen();
        image.blitRect(0, 0, image.fimageWidth, image.fimageHeight, 0, 0, false, false);
        Picture screen = backBuffer();
        Picture out{static_cast<int>(image.getWidth()), static_cast<int>(image.getHeight()), {}};
        for (int y = 0; y < out.height; ++y)
            for (int x = 0; x < out.width; ++x)
                out.argb.push_back(screen.at(x, y));
        return out;
    }
    static void expectSame(const Picture &actual, const Picture &expected, bool compareAlpha) {
        ASSERT_EQ(actual.width, expected.width);
        ASSERT_EQ(actual.height, expected.height);
        uint32_t mask = compareAlpha ? 0xFFFFFFFFu : 0xFFFFFFu;
        for (size_t i = 0; i < expected.argb.size(); ++i)
            ASSERT_EQ(actual.argb[i] & mask, expected.argb[i] & mask)
                << "pixel " << i % expected.width << "," << i / expected.width;
    }
};

TEST_F(ImageLoading, LosslessFormatsKeepEveryPixelTopRowFirst) {
    const Picture picture = gradient(45, 30, 255);
    writeTGA(file("p24.tga"), picture, 24, false);
    writeTGA(file("p24rle.tga"), picture, 24, true);
    writeTGA(file("p32top.tga"), picture, 32, false, true);
    writeBMP(file("p.bmp"), picture);
    writePCX(file("p.pcx"), picture);
    writeTIFF(file("p.tif"), picture, false);
    ASSERT_TRUE(writePNG(file("p.png"), picture));
    for (const char *name : {"p24.tga", "p24rle.tga", "p32top.tga", "p.bmp", "p.pcx", "p.tif", "p.png"}) {
        SCOPED_TRACE(name);
        KGraphicD3D image;
        ASSERT_TRUE(image.loadPicture(file(name).c_str(), true, true));
        EXPECT_EQ(image.getWidth(), 45);
        EXPECT_EQ(image.getHeight(), 30);
        EXPECT_EQ(image.fimageWidth, 45.0f);
        EXPECT_EQ(image._ftextureHEIGHT, 30.0f);
        expectSame(shown(image), picture, true);
    }
}

TEST_F(ImageLoading, AlphaSurvivesIn32BitsAndOpaqueFilesGetFullAlpha) {
    Picture picture = gradient(16, 16, 200);
    picture.argb[0] = 0x00123456u;
    writeTGA(file("a32rle.tga"), picture, 32, true);
    ASSERT_TRUE(writePNG(file("a.png"), picture));
    for (const char *name : {"a32rle.tga", "a.png"}) {
        SCOPED_TRACE(name);
        KGraphicD3D image;
        ASSERT_TRUE(image.loadPicture(file(name).c_str(), true, true));
        expectSame(shown(image), picture, true);
    }
}

TEST_F(ImageLoading, JpegDecodesNearTheOriginal) {
    Picture blocks{32, 32, {}};
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            blocks.argb.push_back(x < 16 ? 0xFFC02010u : 0xFF1040E0u);
    ASSERT_TRUE(writeJPEG(file("blocks.jpg"), blocks));
    KGraphicD3D image;
    ASSERT_TRUE(image.loadPicture(file("blocks.jpg").c_str(), true, false));
    Picture out = shown(image);
    for (auto [x, y] : {std::pair{0, 0}, std::pair{4, 20}, std::pair{27, 3}, std::pair{31, 31}}) {
        uint32_t got = out.at(x, y), want = blocks.at(x, y);
        for (int shift : {16, 8, 0})
            EXPECT_NEAR(static_cast<int>(got >> shift & 0xFF), static_cast<int>(want >> shift & 0xFF), 12);
        EXPECT_EQ(got >> 24, 255u);
    }
}

TEST_F(ImageLoading, SixteenBitLoadsDropLowBits) {
    Picture picture{4, 1, {0xC8876543u, 0x0FFFFFFFu, 0xFF0F1F2Fu, 0xFF080808u}};
    ASSERT_TRUE(writePNG(file("s.png"), picture));
    writeTGA(file("s24.tga"), picture, 24, false);

    KGraphicD3D withAlpha;
    ASSERT_TRUE(withAlpha.loadPicture(file("s.png").c_str(), false, true));
    Picture out = shown(withAlpha);
    // alpha 200 is kept as 12 of 15 (read back as 12 * 17), each colour as its top four bits.
    EXPECT_EQ(out.at(0, 0), expandTexel4444(packTexel4444(200, 0x87, 0x65, 0x43)));
    EXPECT_EQ(out.at(0, 0) >> 24, 12u * 17u);
    EXPECT_EQ(out.at(0, 0) & 0xFFFFFF, 0x886644u);
    EXPECT_EQ(out.at(1, 0) >> 24, 0u);

    KGraphicD3D noAlphaWanted;
    ASSERT_TRUE(noAlphaWanted.loadPicture(file("s.png").c_str(), false, false));
    out = shown(noAlphaWanted);
    // Without alpha: five bits a channel, opaque.
    EXPECT_EQ(out.at(0, 0), 0xFF846342u);
    EXPECT_EQ(out.at(1, 0) >> 24, 255u);

    KGraphicD3D opaqueFile;
    ASSERT_TRUE(opaqueFile.loadPicture(file("s24.tga").c_str(), false, true));
    out = shown(opaqueFile);
    EXPECT_EQ(out.at(2, 0), 0xFF081829u);
    EXPECT_EQ(out.at(3, 0), 0xFF080808u);
}

TEST_F(ImageLoading, ColourKeyClearsExactlyTheKeyColour) {
    Picture picture{3, 1, {0xFFFF00FFu, 0xFFFF00FEu, 0xFF00FF00u}};
    writeTGA(file("key.tga"), picture, 24, false);
    KGraphicD3D image;
    image._ckActive = true;
    image._ckr = 255;
    image._ckg = 0;
    image._ckb = 255;
    ASSERT_TRUE(image.loadPicture(file("key.tga").c_str(), true, true));
    Picture out = shown(image);
    EXPECT_EQ(out.at(0, 0), 0x00FF00FFu);
    EXPECT_EQ(out.at(1, 0), 0xFFFF00FEu);
    EXPECT_EQ(out.at(2, 0), 0xFF00FF00u);
}

// The file's own name, and nothing of the folders that lead to it, decides the decoder: every
// extension found in it counts, case-sensitively, and the last in the order TGA, JPEG, BMP, PNG, PCX,
// TIFF wins. Each file here holds a TGA picture.
TEST_F(ImageLoading, TheFilesOwnNameDecidesTheDecoder) {
    const Picture picture = gradient(8, 8);
    const struct {
        const char *name;
        bool loads;
    } cases[] = {
        {"plain.tga", true},
        {"inst.png/bomb.tga", true},
        {"art.jpg/x.tif/inside.tga", true},
        {"a b#1%20?é.bmp/gem01.tga", true},
        {"stage.tga.bak", true}, // the extension may stand anywhere in the name
        {"upper.TGA", false},    // not recognised in capitals
        {"noext", false},        // no extension at all
        {"folder.tga/noext", false},
        {"sheet.tga.png", false}, // read as PNG, which comes later: it does not decode
        {"sheet.png.tga", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::create_directories(std::filesystem::path(file(c.name)).parent_path());
        writeTGA(file(c.name), picture, 24, false);
        KGraphicD3D image;
        EXPECT_EQ(image.loadPicture(file(c.name).c_str(), true, true), c.loads);
        EXPECT_EQ(image._surface != nullptr, c.loads);
        EXPECT_STREQ(image.imageFileName, file(c.name).c_str());
    }
    // Unknown names and missing files fail without touching the sizes; a name that decodes as the
    // wrong type counts as a 0 x 0 picture.
    KGraphicD3D image;
    ASSERT_TRUE(image.loadPicture(file("plain.tga").c_str(), true, true));
    EXPECT_FALSE(image.loadPicture(file("upper.TGA").c_str(), true, true));
    EXPECT_FALSE(image.loadPicture(file("missing.tga").c_str(), true, true));
    EXPECT_FALSE(image.loadPicture(nullptr, true, true));
    EXPECT_EQ(image.getWidth(), 8);
    EXPECT_FALSE(image.loadPicture(file("sheet.png.tga").c_str(), true, true));
    EXPECT_EQ(image.getWidth(), 0);
    EXPECT_EQ(image.getHeight(), 0);
}

TEST_F(ImageLoading, NothingLoadsBeforeTheDeviceExists) {
    writeTGA(file("early.tga"), gradient(4, 4), 24, false);
    void *device = KGraphicD3D::_d3d;
    KGraphicD3D::_d3d = nullptr;
    KGraphicD3D image;
    EXPECT_FALSE(image.loadPicture(file("early.tga").c_str(), true, true));
    EXPECT_STREQ(image.imageFileName, "");
    KGraphicD3D::_d3d = device;
    EXPECT_TRUE(image.loadPicture(file("early.tga").c_str(), true, true));
}

TEST_F(ImageLoading, ALostTextureIsRebuiltFromItsFileWhenNextDrawn) {
    writeTGA(file("reload.tga"), Picture{4, 4, std::vector<uint32_t>(16, 0xFFFF0000u)}, 24, false);
    KGraphicD3D image;
    ASSERT_TRUE(image.loadPicture(file("reload.tga").c_str(), false, true));
    // The file changes behind the picture's back; only a rebuild can show the new colour.
    writeTGA(file("reload.tga"), Picture{4, 4, std::vector<uint32_t>(16, 0xFF0000FFu)}, 24, false);
    EXPECT_EQ(shown(image).at(1, 1), 0xFFFF0000u);

    SDL_Event reset{};
    reset.type = SDL_RENDER_DEVICE_RESET;
    SDL_PushEvent(&reset);
    window().processEvents();
    EXPECT_EQ(shown(image).at(1, 1), 0xFF0000FFu);
    EXPECT_FALSE(image._hidef);
    EXPECT_TRUE(image._hasAlpha);

    // A rebuild that fails leaves the picture empty, drawing nothing.
    std::filesystem::remove(file("reload.tga"));
    SDL_PushEvent(&reset);
    window().processEvents();
    EXPECT_EQ(shown(image).at(1, 1) & 0xFFFFFF, 0u);
    EXPECT_EQ(image._surface, nullptr);
}

TEST_F(ImageLoading, GrabbingTheBackBufferMakesAScreenSizedPicture) {
    KGraphicD3D picture;
    writeTGA(file("grabme.tga"), gradient(64, 64), 24, false);
    ASSERT_TRUE(picture.loadPicture(file("grabme.tga").c_str(), true, true));
    picture.blitRect(0, 0, 64, 64, 300, 200, false, false);
    Picture before = backBuffer();

    KGraphicD3D grabbed;
    ASSERT_TRUE(grabbed.grabBackBuffer());
    EXPECT_EQ(grabbed.getWidth(), 640);
    EXPECT_EQ(grabbed.fimageHeight, 480.0f);
    EXPECT_STREQ(grabbed.imageFileName, "");
    clearScreen(0x202020);
    grabbed.blitRect(0, 0, 640, 480, 0, 0, false, false);
    Picture after = backBuffer();
    for (size_t i = 0; i < before.argb.size(); ++i)
        ASSERT_EQ(rgbOf(after.argb[i]), rgbOf(before.argb[i])) << i;
}

TEST_F(ImageLoading, FreeingForgetsTheBinding) {
    writeTGA(file("bound.tga"), gradient(4, 4), 24, false);
    KGraphicD3D image;
    ASSERT_TRUE(image.loadPicture(file("bound.tga").c_str(), true, true));
    image.blitRect(0, 0, 4, 4, 0, 0, false, false);
    EXPECT_EQ(KGraphicD3D::_oldBindedText, image._surface);
    image.freePicture();
    EXPECT_EQ(KGraphicD3D::_oldBindedText, nullptr);
    EXPECT_EQ(image.getWidth(), 4);
    // A new picture, perhaps at the same address, is bound and drawn.
    ASSERT_TRUE(image.loadPicture(file("bound.tga").c_str(), true, true));
    EXPECT_EQ(shown(image).at(3, 3) & 0xFFFFFF, gradient(4, 4).at(3, 3) & 0xFFFFFF);
}

} // namespace
