// The skin sheets: sizes, and every piece the game cuts out of them lies where the screens expect it,
// holds real content, and agrees with the pieces it shares pixels with.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "data_files.h"

using namespace layout;
using datatest::differingPixels;
using datatest::Picture;
using datatest::Pixel;

namespace {

std::filesystem::path skinFile(int skin, const std::string &stem, const std::string &ext) {
    const std::string n = std::to_string(skin);
    return datatest::dataDir() / "skins" / n / (stem + n + ext);
}

Picture loadTga(const std::filesystem::path &path) {
    auto picture = datatest::readTga(path);
    EXPECT_TRUE(picture.has_value()) << path;
    return picture.value_or(Picture{});
}

int area(const Rect &r) {
    return r.width() * r.height();
}

// The share of the piece's pixels that differ from the background where it is drawn.
double changedShare(const Picture &sheet, const Piece &piece) {
    return static_cast<double>(differingPixels(sheet, {piece.source.x1, piece.source.y1}, sheet, piece.dest,
                                               piece.source.width(), piece.source.height())) /
           area(piece.source);
}

bool opaque(const Picture &p, const Rect &r) {
    for (int y = r.y1; y < r.y2; ++y) {
        for (int x = r.x1; x < r.x2; ++x) {
            if (p.pixel(x, y).a != 255) {
                return false;
            }
        }
    }
    return true;
}

// Nothing may be drawn in the sheet outside the screen and the pieces: stray art means a piece was
// drawn at the wrong place.
int strayPixels(const Picture &sheet, const std::vector<Rect> &pieces) {
    int stray = 0;
    for (int y = 0; y < sheet.height; ++y) {
        for (int x = 0; x < sheet.width; ++x) {
            if (x < kScreenWidth && y < kScreenHeight) {
                continue;
            }
            bool inPiece = false;
            for (const Rect &r : pieces) {
                inPiece = inPiece || (x >= r.x1 && x < r.x2 && y >= r.y1 && y < r.y2);
            }
            if (!inPiece && sheet.pixel(x, y).a != 0) {
                ++stray;
            }
        }
    }
    return stray;
}

class SkinSheets : public testing::TestWithParam<int> {};

TEST_P(SkinSheets, MenuSheetPiecesAreInPlaceAndDistinct) {
    const Picture sheet = loadTga(skinFile(GetParam(), "menu", ".tga"));
    ASSERT_GE(sheet.width, 973);
    ASSERT_GE(sheet.height, 1023);
    EXPECT_TRUE(opaque(sheet, {0, 0, kScreenWidth, kScreenHeight}))
        << "the background is drawn with blitRect";

    std::vector<Rect> pieces;
    // Lit controls: each must look different from the unlit control under it.
    for (int i = 0; i < kPageCount; ++i) {
        EXPECT_GT(changedShare(sheet, litPageButton(i)), 0.3) << "page button " << i;
        pieces.push_back(litPageButton(i).source);
    }
    EXPECT_GT(changedShare(sheet, kLitPlayButton), 0.3);
    pieces.push_back(kLitPlayButton.source);
    for (int t = 0; t < kModeCount; ++t) {
        EXPECT_GT(changedShare(sheet, litHighScoreTab(t)), 0.2) << "tab " << t;
        pieces.push_back(litHighScoreTab(t).source);
    }
    // Panels replace what the background shows at their place, and are drawn opaque.
    for (const Piece *panel : {&kSetupPanel, &kHowToPlayPanel, &kOptionsPanel, &kHighScorePanel}) {
        EXPECT_GT(changedShare(sheet, *panel), 0.15) << panel->source.x1 << "," << panel->source.y1;
        EXPECT_TRUE(opaque(sheet, panel->source));
        pieces.push_back(panel->source);
    }
    EXPECT_GT(changedShare(sheet, kLitResetButton), 0.3);
    pieces.push_back(kLitResetButton.source);
    for (int m = 0; m < kModeCount; ++m) {
        EXPECT_GT(changedShare(sheet, kModeMarkers[m]), 0.1) << "mode marker " << m;
        pieces.push_back(kModeMarkers[m].source);
    }
    for (int d = 0; d < kDifficultyCount; ++d) {
        pieces.push_back(kDifficultyMarkers[d].source);
    }
    // The knob is drawn with alpha: a shape with transparent corners.
    int knobPixels = 0;
    for (int y = kSliderKnob.y1; y < kSliderKnob.y2; ++y) {
        for (int x = kSliderKnob.x1; x < kSliderKnob.x2; ++x) {
            knobPixels += sheet.pixel(x, y).a > 128 ? 1 : 0;
        }
    }
    EXPECT_GT(knobPixels, area(kSliderKnob) / 2);
    EXPECT_EQ(sheet.pixel(kSliderKnob.x1, kSliderKnob.y1).a, 0);
    pieces.push_back(kSliderKnob);
    EXPECT_EQ(strayPixels(sheet, pieces), 0);
}

TEST_P(SkinSheets, SharedPixelsOfTheSetupPageAgree) {
    const Picture sheet = loadTga(skinFile(GetParam(), "menu", ".tga"));
    ASSERT_GE(sheet.height, 1023);
    // Column 105 belongs to the set-up panel and to the mode markers.
    for (const Piece &marker : kModeMarkers) {
        for (int y = marker.source.y1; y < marker.source.y2; ++y) {
            const int screenY = y - marker.source.y1 + marker.dest.y;
            const int panelY = screenY - kSetupPanel.dest.y + kSetupPanel.source.y1;
            EXPECT_EQ(sheet.pixel(marker.source.x2 - 1, y), sheet.pixel(kSetupPanel.source.x1, panelY));
        }
    }
    // The panel is drawn over the top of every difficulty button, so the selection shows only in the
    // strip below it: marker and panel must agree where both draw, and the strip must light up.
    const int panelBottom = kSetupPanel.dest.y + kSetupPanel.source.height();
    for (int d = 0; d < kDifficultyCount; ++d) {
        const Piece &marker = kDifficultyMarkers[d];
        int mismatches = 0;
        for (int sy = marker.dest.y; sy < panelBottom; ++sy) {
            for (int sx = std::max(marker.dest.x, kSetupPanel.dest.x);
                 sx < std::min(marker.dest.x + marker.source.width(),
                               kSetupPanel.dest.x + kSetupPanel.source.width());
                 ++sx) {
                const Pixel m =
                    sheet.pixel(sx - marker.dest.x + marker.source.x1, sy - marker.dest.y + marker.source.y1);
                const Pixel p = sheet.pixel(sx - kSetupPanel.dest.x + kSetupPanel.source.x1,
                                            sy - kSetupPanel.dest.y + kSetupPanel.source.y1);
                mismatches += (m == p) ? 0 : 1;
            }
        }
        EXPECT_EQ(mismatches, 0) << "difficulty " << d;
        const int stripHeight = marker.dest.y + marker.source.height() - panelBottom;
        const int lit =
            differingPixels(sheet, {marker.source.x1, marker.source.y1 + (panelBottom - marker.dest.y)},
                            sheet, {marker.dest.x, panelBottom}, marker.source.width(), stripHeight);
        EXPECT_GT(lit, marker.source.width() * stripHeight / 5)
            << "difficulty " << d << " shows no selection";
    }
}

TEST_P(SkinSheets, PlaySheetPiecesAreInPlaceAndDistinct) {
    const Picture sheet = loadTga(skinFile(GetParam(), "ingame", ".tga"));
    ASSERT_GE(sheet.width, 1011);
    ASSERT_GE(sheet.height, 945);
    EXPECT_TRUE(opaque(sheet, {0, 0, kScreenWidth, kScreenHeight}));
    std::vector<Rect> pieces;
    for (int i = 0; i < kPlayButtonCount; ++i) {
        EXPECT_GT(changedShare(sheet, litPlayButton(i)), 0.3) << "button " << i;
        pieces.push_back(litPlayButton(i).source);
    }
    EXPECT_GT(changedShare(sheet, kPausePanel), 0.3);
    EXPECT_TRUE(opaque(sheet, kPausePanel.source));
    pieces.push_back(kPausePanel.source);
    for (const Piece &label : kModeLabels) {
        int ink = 0;
        for (int y = label.source.y1; y < label.source.y2; ++y) {
            for (int x = label.source.x1; x < label.source.x2; ++x) {
                ink += sheet.pixel(x, y).a > 128 ? 1 : 0;
            }
        }
        EXPECT_GT(ink, 20) << "mode label at " << label.source.x1;
        pieces.push_back(label.source);
    }
    int bannerInk = 0;
    for (int y = kZapBanner.source.y1; y < kZapBanner.source.y2; ++y) {
        for (int x = kZapBanner.source.x1; x < kZapBanner.source.x2; ++x) {
            bannerInk += sheet.pixel(x, y).a > 128 ? 1 : 0;
        }
    }
    EXPECT_GT(bannerInk, area(kZapBanner.source) / 2);
    pieces.push_back(kZapBanner.source);
    EXPECT_EQ(strayPixels(sheet, pieces), 0);
}

// The typed name is drawn at a fixed screen place in black-outlined letters with a black cursor:
// the field under it must be light, whatever the panel's size.
void expectLightNameField(const Picture &panel, const char *what) {
    const Point at = nameEntryPanelPosition(panel.width, panel.height);
    const int fx = kNameEntryText.x - at.x;
    const int fy = kNameEntryText.y - at.y;
    constexpr int kNameWidth = 190; // 18 characters of the high-score font
    ASSERT_GE(fx, 0) << what;
    ASSERT_GE(fy, 0) << what;
    ASSERT_LE(fx + kNameWidth, panel.width) << what;
    ASSERT_LE(fy + kNameCursorHeight, panel.height) << what;
    for (int y = fy; y < fy + kNameCursorHeight; ++y) {
        for (int x = fx; x < fx + kNameWidth; ++x) {
            ASSERT_EQ(panel.pixel(x, y).a, 255) << what << " at " << x << "," << y;
            ASSERT_GT(panel.pixel(x, y).luminance(), 0.7) << what << " at " << x << "," << y;
        }
    }
}

TEST_P(SkinSheets, NameEntryPanelsPutTheFieldUnderTheTypedName) {
    expectLightNameField(loadTga(skinFile(GetParam(), "entername", ".tga")), "entername");
    const auto relax = datatest::readBmp(skinFile(GetParam(), "enternamer", ".bmp"));
    ASSERT_TRUE(relax.has_value());
    expectLightNameField(*relax, "enternamer");
}

TEST_P(SkinSheets, EndPanelsSitOverTheBoard) {
    const Picture over = loadTga(skinFile(GetParam(), "gameover", ".tga"));
    const Point at = gameOverPanelPosition(over.width, over.height);
    EXPECT_GE(at.x, kBoardArea.x1);
    EXPECT_GE(at.y, kBoardArea.y1);
    EXPECT_LE(at.x + over.width, kBoardArea.x2);
    EXPECT_LE(at.y + over.height, kBoardArea.y2);
    const Picture entry = loadTga(skinFile(GetParam(), "entername", ".tga"));
    const Point entryAt = nameEntryPanelPosition(entry.width, entry.height);
    EXPECT_GE(entryAt.y, kBoardArea.y1);
    EXPECT_LE(entryAt.y + entry.height, kBoardArea.y2);
}

TEST_P(SkinSheets, SelectionMarkRingsTheCell) {
    const Picture mark = loadTga(skinFile(GetParam(), "select", ".tga"));
    EXPECT_GE(mark.width, kCellSize);
    EXPECT_LE(mark.width, kCellSize + 2);
    EXPECT_GE(mark.height, kCellSize);
    EXPECT_LE(mark.height, kCellSize + 2);
    // A ring: a solid edge, a see-through middle where the gem shows.
    EXPECT_GT(mark.pixel(mark.width / 2, 1).a, 200);
    EXPECT_LT(mark.pixel(mark.width / 2, mark.height / 2).a, 100);
}

TEST_P(SkinSheets, CreditsCaptionsLieUnderTheirLinks) {
    const Picture credits = loadTga(skinFile(GetParam(), "credits", ".tga"));
    const int originX = kCreditsDest.x - kCreditsSourceX;
    for (const OpenArea &link : {kCreditsFrameworkLink, kCreditsWebLink, kCreditsMailLink}) {
        ASSERT_LE(link.x2 - originX, credits.width);
        ASSERT_LE(link.y2 - kCreditsDest.y, credits.height);
        ASSERT_GE(link.x1 + 1 - originX, kCreditsSourceX);
        // Something is written inside each link's area.
        std::vector<double> lum;
        for (int y = link.y1 + 1; y < link.y2; ++y) {
            for (int x = link.x1 + 1; x < link.x2; ++x) {
                lum.push_back(credits.pixel(x - originX, y - kCreditsDest.y).luminance());
            }
        }
        const auto [lo, hi] = std::minmax_element(lum.begin(), lum.end());
        EXPECT_GT(*hi - *lo, 0.3) << "link area at " << link.x1 << "," << link.y1 << " is blank";
    }
}

TEST_P(SkinSheets, LauncherPreviewExists) {
    const auto path = datatest::dataDir() / "skins" / std::to_string(GetParam()) / "preview.png";
    const std::vector<uint8_t> png = datatest::readBytes(path);
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");
    auto be32 = [&png](size_t at) {
        return (png[at] << 24) | (png[at + 1] << 16) | (png[at + 2] << 8) | png[at + 3];
    };
    EXPECT_EQ(be32(16), kLauncherPreviewWidth);
    EXPECT_EQ(be32(20), kLauncherPreviewHeight);
}

INSTANTIATE_TEST_SUITE_P(AllSkins, SkinSheets, testing::Range(0, kSkinCount));

TEST(Skins, EachSkinLooksDifferent) {
    std::vector<Picture> menus;
    for (int skin = 0; skin < kSkinCount; ++skin) {
        menus.push_back(loadTga(skinFile(skin, "menu", ".tga")));
        ASSERT_GE(menus.back().width, kScreenWidth);
    }
    for (int a = 0; a < kSkinCount; ++a) {
        for (int b = a + 1; b < kSkinCount; ++b) {
            EXPECT_GT(differingPixels(menus[a], {0, 0}, menus[b], {0, 0}, kScreenWidth, kScreenHeight, 10),
                      kScreenWidth * kScreenHeight / 2)
                << "skins " << a << " and " << b;
        }
    }
}

} // namespace
