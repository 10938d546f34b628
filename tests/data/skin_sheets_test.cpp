// The skin sheets: sizes, and every piece the game cuts out of them lies where the screens expect it,
// holds real content, and agrees with the pieces it shares pixels with.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "data_files.h"

using namespace layout;
using datatest::differingPixels;
using datatest::inkIn;
using datatest::load;
using datatest::Picture;
using datatest::Pixel;

namespace {

std::filesystem::path skinFile(int skin, const std::string &stem, const std::string &ext) {
    const std::string n = std::to_string(skin);
    return datatest::dataDir() / "skins" / n / (stem + n + ext);
}

int area(const Rect &r) {
    return r.width() * r.height();
}

bool opaque(const Picture &p, const Rect &r) {
    for (int y = r.y1; y < r.y2; ++y)
        for (int x = r.x1; x < r.x2; ++x)
            if (p.pixel(x, y).a != 255)
                return false;
    return true;
}

// Checks the sheet's pieces: each differs from the background where it is drawn by at least its share
// of pixels (a lit control from the unlit one under it), panels are opaque, and nothing is drawn in the
// sheet outside the screen and the pieces (stray art means a piece was drawn at the wrong place).
void expectPiecesInPlace(const Picture &sheet, const std::vector<std::pair<Piece, double>> &pieces,
                         std::vector<Rect> others) {
    EXPECT_TRUE(opaque(sheet, {0, 0, kScreenWidth, kScreenHeight}))
        << "the background is drawn with blitRect";
    for (const auto &[piece, share] : pieces) {
        const int changed = differingPixels(sheet, {piece.source.x1, piece.source.y1}, sheet, piece.dest,
                                            piece.source.width(), piece.source.height());
        EXPECT_GT(changed, share * area(piece.source))
            << "piece at " << piece.source.x1 << "," << piece.source.y1;
        others.push_back(piece.source);
    }
    int stray = 0;
    for (int y = 0; y < sheet.height; ++y) {
        for (int x = 0; x < sheet.width; ++x) {
            const bool inPiece = std::any_of(others.begin(), others.end(), [&](const Rect &r) {
                return x >= r.x1 && x < r.x2 && y >= r.y1 && y < r.y2;
            });
            stray += (x >= kScreenWidth || y >= kScreenHeight) && !inPiece && sheet.pixel(x, y).a != 0;
        }
    }
    EXPECT_EQ(stray, 0);
}

class SkinSheets : public testing::TestWithParam<int> {};

TEST_P(SkinSheets, MenuSheetPiecesAreInPlaceAndDistinct) {
    const Picture sheet = load(skinFile(GetParam(), "menu", ".tga"));
    ASSERT_GE(sheet.width, 973);
    ASSERT_GE(sheet.height, 1023);
    std::vector<std::pair<Piece, double>> pieces = {{kLitPlayButton, 0.3}, {kLitResetButton, 0.3}};
    for (int i = 0; i < kPageCount; ++i)
        pieces.emplace_back(litPageButton(i), 0.3);
    for (int t = 0; t < kModeCount; ++t)
        pieces.emplace_back(litHighScoreTab(t), 0.2);
    // Panels replace what the background shows at their place, and are drawn opaque.
    for (const Piece *panel : {&kSetupPanel, &kHowToPlayPanel, &kOptionsPanel, &kHighScorePanel}) {
        pieces.emplace_back(*panel, 0.15);
        EXPECT_TRUE(opaque(sheet, panel->source));
    }
    for (const Piece &marker : kModeMarkers)
        pieces.emplace_back(marker, 0.1);
    std::vector<Rect> others = {kSliderKnob};
    for (const Piece &marker : kDifficultyMarkers)
        others.push_back(marker.source);
    // The knob is drawn with alpha: a shape with transparent corners.
    EXPECT_GT(inkIn(sheet, kSliderKnob), area(kSliderKnob) / 2);
    EXPECT_EQ(sheet.pixel(kSliderKnob.x1, kSliderKnob.y1).a, 0);
    expectPiecesInPlace(sheet, pieces, others);
}

TEST_P(SkinSheets, PlaySheetPiecesAreInPlaceAndDistinct) {
    const Picture sheet = load(skinFile(GetParam(), "ingame", ".tga"));
    ASSERT_GE(sheet.width, 1011);
    ASSERT_GE(sheet.height, 945);
    std::vector<std::pair<Piece, double>> pieces = {{kPausePanel, 0.3}};
    for (int i = 0; i < kPlayButtonCount; ++i)
        pieces.emplace_back(litPlayButton(i), 0.3);
    EXPECT_TRUE(opaque(sheet, kPausePanel.source));
    std::vector<Rect> others = {kZapBanner.source};
    for (const Piece &label : kModeLabels) {
        EXPECT_GT(inkIn(sheet, label.source), 20) << "mode label at " << label.source.x1;
        others.push_back(label.source);
    }
    EXPECT_GT(inkIn(sheet, kZapBanner.source), area(kZapBanner.source) / 2);
    expectPiecesInPlace(sheet, pieces, others);
}

// Where a marker and the set-up panel draw the same screen pixels they must agree: column 105 belongs
// to the panel and to the mode markers, and the panel covers the top of every difficulty button, so the
// selection shows only in the strip below it, which must light up.
TEST_P(SkinSheets, SharedPixelsOfTheSetupPageAgree) {
    const Picture sheet = load(skinFile(GetParam(), "menu", ".tga"));
    ASSERT_GE(sheet.height, 1023);
    const Piece &panel = kSetupPanel;
    const auto inPanel = [&](int screenX, int screenY) {
        return Point{screenX - panel.dest.x + panel.source.x1, screenY - panel.dest.y + panel.source.y1};
    };
    for (const Piece &marker : kModeMarkers)
        EXPECT_EQ(differingPixels(sheet, {marker.source.x2 - 1, marker.source.y1}, sheet,
                                  inPanel(panel.dest.x, marker.dest.y), 1, marker.source.height(), 0),
                  0);
    const int panelBottom = panel.dest.y + panel.source.height();
    for (const Piece &marker : kDifficultyMarkers) {
        const int x1 = std::max(marker.dest.x, panel.dest.x);
        const int x2 = std::min(marker.dest.x + marker.source.width(), panel.dest.x + panel.source.width());
        const Point markerAt{x1 - marker.dest.x + marker.source.x1, marker.source.y1};
        EXPECT_EQ(differingPixels(sheet, markerAt, sheet, inPanel(x1, marker.dest.y), x2 - x1,
                                  panelBottom - marker.dest.y, 0),
                  0);
        const int strip = marker.dest.y + marker.source.height() - panelBottom;
        EXPECT_GT(differingPixels(sheet, {marker.source.x1, marker.source.y1 + panelBottom - marker.dest.y},
                                  sheet, {marker.dest.x, panelBottom}, marker.source.width(), strip),
                  marker.source.width() * strip / 5)
            << "difficulty marker at " << marker.dest.x << " shows no selection";
    }
}

// The typed name is drawn at a fixed screen place in black-outlined letters with a black cursor: the
// field under it must be light, whatever the panel's size.
void expectLightNameField(const Picture &panel, const char *what) {
    const Point at = nameEntryPanelPosition(panel.width, panel.height);
    const int fx = kNameEntryText.x - at.x, fy = kNameEntryText.y - at.y;
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

// The end and name-entry panels sit over the board with a light field under the typed name; the
// selection mark rings a cell (a solid edge, a see-through middle); the launcher's preview has its size.
TEST_P(SkinSheets, PanelsMarkAndPreviewFitWhereTheyAreDrawn) {
    const Picture entry = load(skinFile(GetParam(), "entername", ".tga"));
    expectLightNameField(entry, "entername");
    expectLightNameField(load(skinFile(GetParam(), "enternamer", ".bmp")), "enternamer");
    const Picture over = load(skinFile(GetParam(), "gameover", ".tga"));
    const Point at = gameOverPanelPosition(over.width, over.height);
    const Point entryAt = nameEntryPanelPosition(entry.width, entry.height);
    EXPECT_GE(at.x, kBoardArea.x1);
    EXPECT_GE(at.y, kBoardArea.y1);
    EXPECT_LE(at.x + over.width, kBoardArea.x2);
    EXPECT_LE(at.y + over.height, kBoardArea.y2);
    EXPECT_GE(entryAt.y, kBoardArea.y1);
    EXPECT_LE(entryAt.y + entry.height, kBoardArea.y2);

    const Picture mark = load(skinFile(GetParam(), "select", ".tga"));
    for (int side : {mark.width, mark.height}) {
        EXPECT_GE(side, kCellSize);
        EXPECT_LE(side, kCellSize + 2);
    }
    EXPECT_GT(mark.pixel(mark.width / 2, 1).a, 200);
    EXPECT_LT(mark.pixel(mark.width / 2, mark.height / 2).a, 100);

    const auto png =
        datatest::readPngHeader(datatest::dataDir() / "skins" / std::to_string(GetParam()) / "preview.png");
    ASSERT_TRUE(png.has_value());
    EXPECT_EQ(png->width, kLauncherPreviewWidth);
    EXPECT_EQ(png->height, kLauncherPreviewHeight);
}

TEST_P(SkinSheets, CreditsCaptionsLieUnderTheirLinks) {
    const Picture credits = load(skinFile(GetParam(), "credits", ".tga"));
    const int originX = kCreditsDest.x - kCreditsSourceX;
    for (const OpenArea &link : {kCreditsFrameworkLink, kCreditsWebLink, kCreditsMailLink}) {
        ASSERT_LE(link.x2 - originX, credits.width);
        ASSERT_LE(link.y2 - kCreditsDest.y, credits.height);
        ASSERT_GE(link.x1 + 1 - originX, kCreditsSourceX);
        // Something is written inside each link's area.
        std::vector<double> lum;
        for (int y = link.y1 + 1; y < link.y2; ++y)
            for (int x = link.x1 + 1; x < link.x2; ++x)
                lum.push_back(credits.pixel(x - originX, y - kCreditsDest.y).luminance());
        const auto [lo, hi] = std::minmax_element(lum.begin(), lum.end());
        EXPECT_GT(*hi - *lo, 0.3) << "link area at " << link.x1 << "," << link.y1 << " is blank";
    }
}

INSTANTIATE_TEST_SUITE_P(AllSkins, SkinSheets, testing::Range(0, kSkinCount));

} // namespace
