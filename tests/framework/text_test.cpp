#include "framework/KText.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace testsupport;

namespace {

// A small font: 'a' is a red 3x4 box advancing 4, 'b' a green 2x4 box advancing 3, 'c' a blue one
// advancing 5. The sheet around the boxes is transparent.
KFont smallFont[] = {
    {'a', 0, 0, 2, 3, 4, 4}, {'b', 4, 0, 5, 3, 3, 4},
    {'c', 8, 0, 9, 3, 5, 4}, {'a', 12, 0, 13, 3, 9, 4}, // a duplicate: never used
    {0, 0, 0, 0, 0, 0, 0},
};

Picture smallSheet() {
    Picture sheet{16, 4, std::vector<uint32_t>(64, 0)};
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x <= 2; ++x)
            sheet.argb[y * 16 + x] = 0xFFFF0000u;
        for (int x = 4; x <= 5; ++x)
            sheet.argb[y * 16 + x] = 0xFF00FF00u;
        for (int x = 8; x <= 9; ++x)
            sheet.argb[y * 16 + x] = 0xFF0000FFu;
    }
    return sheet;
}

class Text : public ::testing::Test {
protected:
    void SetUp() override {
        window().setDefaultWorldView();
        clearScreen();
        path = (scratch() / "smallfont.tga").string();
        writeTGA(path, smallSheet(), 32, false);
    }
    // The row y of the screen from x to x + count - 1, as one letter per pixel: r, g, b or '.'.
    static std::string row(int x, int y, int count) {
        Picture screen = backBuffer();
        std::string out;
        for (int i = 0; i < count; ++i) {
            uint32_t p = rgbOf(screen.at(x + i, y));
            out += p == 0xFF0000 ? 'r' : p == 0x00FF00 ? 'g' : p == 0x0000FF ? 'b' : p == 0 ? '.' : '?';
        }
        return out;
    }
    std::string path;
};

TEST_F(Text, MeasuresGlyphAdvancesWithKerning) {
    KText text(path.c_str(), smallFont);
    EXPECT_EQ(text.getStringWidth("ab", 0), 7);
    EXPECT_EQ(text.getStringWidth("ab", 2), 11);
    EXPECT_EQ(text.getStringWidth("ab", -1), 5);
    EXPECT_EQ(text.getStringWidth("a?b", 0), 7); // characters without a glyph add nothing
    EXPECT_EQ(text.getStringWidth("xyz", 3), 0);
    EXPECT_EQ(text.getStringWidth("", 0), -1);
    EXPECT_EQ(text.getStringWidth(nullptr, 0), -1);
}

TEST_F(Text, DrawsFromTheLeftFromTheRightAndCentred) {
    KText text(path.c_str(), smallFont);
    text.drawStringFromLeft("abc", 10, 20, 1);
    text.drawStringFromRight("abc", 60, 30, 1);
    text.drawStringCentered("ab", 100, 111, 40, 0);
    EXPECT_EQ(row(9, 20, 16), ".rrr..gg..bb....");
    EXPECT_EQ(row(9, 23, 16), ".rrr..gg..bb....");
    EXPECT_EQ(row(10, 19, 4), "....");
    EXPECT_EQ(row(10, 24, 4), "....");
    // Width 15 ending one kerning before 60: starts at 45.
    EXPECT_EQ(row(44, 30, 16), ".rrr..gg..bb....");
    // Width 7 in a span of 11: starts at 102.
    EXPECT_EQ(row(100, 40, 10), "..rrr.gg..");
}

TEST_F(Text, CentringAnOverlongTextStartsLeftOfTheSpan) {
    KText text(path.c_str(), smallFont);
    text.drawStringCentered("abc", 100, 109, 50, 0); // width 12, overflow 3: starts at 99
    EXPECT_EQ(row(98, 50, 6), ".rrr.g");
    text.drawStringCentered("xyz", 100, 109, 60, 0);
    text.drawStringCentered("", 100, 109, 60, 0);
    EXPECT_EQ(row(90, 60, 30), std::string(30, '.'));
}

TEST_F(Text, BlendFadesAndTheBlitColourIsResetAfterEveryDraw) {
    clearScreen();
    KText text(path.c_str(), smallFont);
    text.setBlend(0.5f);
    text.drawStringFromLeft("a", 10, 10, 0);
    EXPECT_NEAR(static_cast<int>(backBuffer().at(10, 10) >> 16 & 0xFF), 127, 1);
    EXPECT_FALSE(text.getKGraphicPtr()->_blitColorChanged);

    // With blend 1 the caller's own colour applies to one draw, then it is gone.
    text.setBlend(1.0f);
    text.getKGraphicPtr()->setBlitColor(0.0f, 0.0f, 0.0f, 1.0f);
    text.drawStringFromLeft("a", 30, 10, 0);
    text.drawStringFromLeft("a", 40, 10, 0);
    EXPECT_EQ(row(30, 10, 1), ".");
    EXPECT_EQ(row(40, 10, 1), "r");
}

TEST_F(Text, AMissingSheetStillMeasures) {
    KText text((scratch() / "nofont.tga").string().c_str(), smallFont);
    ASSERT_NE(text.getKGraphicPtr(), nullptr);
    EXPECT_EQ(text.getKGraphicPtr()->_surface, nullptr);
    EXPECT_EQ(text.getStringWidth("abc", 0), 12);
    text.drawStringFromLeft("abc", 10, 10, 0);
    EXPECT_EQ(row(0, 10, 30), std::string(30, '.'));
    KText noTable(path.c_str(), nullptr);
    EXPECT_EQ(noTable.getStringWidth("abc", 0), -1);
    noTable.drawStringCentered("abc", 0, 100, 10, 0);
    noTable.drawStringFromLeft("abc", 0, 10, 0);
}

} // namespace
