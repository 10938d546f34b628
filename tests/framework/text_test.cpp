#include "framework/KText.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

// A small font: 'a' is a red 3x4 box advancing 4, 'b' a green 2x4 box advancing 3, 'c' a blue one
// advancing 5. The sheet around the boxes is transparent.
KFont smallFont[] = {
    {'a', 0, 0, 2, 3, 4, 4}, {'b', 4, 0, 5, 3, 3, 4},
    {'c', 8, 0, 9, 3, 5, 4}, {'a', 12, 0, 13, 3, 9, 4}, // a duplicate: never used
    {0, 0, 0, 0, 0, 0, 0},
};

class Text : public Drawing {
protected:
    void SetUp() override {
        Drawing::SetUp();
        Picture sheet = solid(16, 4, 0);
        for (int y = 0; y < 4; ++y)
            for (auto [from, to, colour] :
                 {std::tuple{0, 2, 0xFFFF0000u}, {4, 5, 0xFF00FF00u}, {8, 9, 0xFF0000FFu}})
                std::fill(sheet.argb.begin() + y * 16 + from, sheet.argb.begin() + y * 16 + to + 1, colour);
        writeTGA(path, sheet, 32, false);
    }
    // The row y of the screen from x to x + count - 1, as one letter per pixel: r, g, b or '.'.
    static std::string row(int x, int y, int count) {
        const Picture screen = backBuffer();
        std::string out;
        for (int i = 0; i < count; ++i) {
            const uint32_t p = screen.rgb(x + i, y);
            out += p == 0xFF0000 ? 'r' : p == 0x00FF00 ? 'g' : p == 0x0000FF ? 'b' : p == 0 ? '.' : '?';
        }
        return out;
    }
    const std::string path = scratch("smallfont.tga");
};

TEST_F(Text, DrawsFromTheLeftFromTheRightAndCentred) {
    KText text(path.c_str(), smallFont);
    text.drawStringFromLeft("abc", 10, 20, 1);
    text.drawStringFromRight("abc", 60, 30, 1);
    text.drawStringCentered("ab", 100, 111, 40, 0);
    text.drawStringCentered("abc", 100, 109, 50, 0); // width 12, overflow 3: starts at 99
    text.drawStringCentered("xyz", 100, 109, 60, 0);
    text.drawStringCentered("", 100, 109, 60, 0);
    EXPECT_EQ(row(9, 20, 16), ".rrr..gg..bb....");
    EXPECT_EQ(row(9, 23, 16), ".rrr..gg..bb....");
    EXPECT_EQ(row(10, 19, 4) + row(10, 24, 4), "........");
    // Width 15 ending one kerning before 60: starts at 45.
    EXPECT_EQ(row(44, 30, 16), ".rrr..gg..bb....");
    // Width 7 in a span of 11: starts at 102.
    EXPECT_EQ(row(100, 40, 10), "..rrr.gg..");
    EXPECT_EQ(row(98, 50, 6), ".rrr.g");
    EXPECT_EQ(row(90, 60, 30), std::string(30, '.'));
}

} // namespace
