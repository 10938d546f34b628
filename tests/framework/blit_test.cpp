#include "framework/KGraphicD3D.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

class Blits : public ::testing::Test {
protected:
    void SetUp() override {
        window();
        clearScreen();
        std::string path = (scratch() / "grid64.tga").string();
        writeTGA(path, gradient(64, 64), 32, false);
        ASSERT_TRUE(image.loadPicture(path.c_str(), true, true));
    }
    KGraphicD3D image;
};

TEST_F(Blits, PlainCopyIsTexelForPixel) {
    image.blitRect(0, 0, 32, 32, 100, 50, false, false);
    Picture screen = backBuffer();
    Picture source = gradient(64, 64);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            ASSERT_EQ(rgbOf(screen.at(100 + x, 50 + y)), rgbOf(source.at(x, y))) << x << "," << y;
    EXPECT_EQ(rgbOf(screen.at(99, 50)), 0u);
    EXPECT_EQ(rgbOf(screen.at(132, 50)), 0u);
    EXPECT_EQ(rgbOf(screen.at(100, 49)), 0u);
    EXPECT_EQ(rgbOf(screen.at(100, 82)), 0u);
}

} // namespace
