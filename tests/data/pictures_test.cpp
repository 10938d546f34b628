// Font sheets, gem sets and the single pictures of the data folder.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "data_files.h"
#include "game/glyph_tables.h"

using namespace layout;
using datatest::dataDir;
using datatest::inkIn;
using datatest::load;
using datatest::Picture;

namespace {

bool inBox(const KFont &g, int x, int y) {
    return g._c != ' ' && x >= g._x1 && x <= g._x2 && y >= g._y1 && y <= g._y2;
}

// Every glyph lies on its sheet and is drawn; nothing is drawn outside every glyph box, nor where two
// boxes meet (it would show beside both glyphs). A space's box overlaps others': it is not looked at.
TEST(FontSheets, EveryGlyphIsDrawnInsideItsOwnBox) {
    const std::pair<const char *, const KFont *> fonts[] = {
        {"timenmb.tga", tableNumbers}, {"numbers.tga", scoretableNumbers}, {"highscalp.tga", theFont}};
    for (const auto &[file, table] : fonts) {
        SCOPED_TRACE(file);
        const Picture sheet = load(dataDir() / file);
        std::vector<int> inkOf(256, 0);
        for (int i = 0; table[i]._c != 0; ++i) {
            ASSERT_LT(table[i]._x2, sheet.width) << table[i]._c;
            ASSERT_LT(table[i]._y2, sheet.height) << table[i]._c;
        }
        int outside = 0, shared = 0;
        for (int y = 0; y < sheet.height; ++y) {
            for (int x = 0; x < sheet.width; ++x) {
                int covering = 0, glyph = 0;
                for (int i = 0; table[i]._c != 0; ++i) {
                    if (inBox(table[i], x, y)) {
                        covering++;
                        glyph = i;
                    }
                }
                outside += sheet.pixel(x, y).a != 0 && covering == 0 ? 1 : 0;
                shared += sheet.pixel(x, y).a > 128 && covering > 1 ? 1 : 0;
                inkOf[static_cast<unsigned char>(table[glyph]._c)] +=
                    sheet.pixel(x, y).a > 128 && covering == 1;
            }
        }
        EXPECT_EQ(outside, 0) << "pixels drawn outside every glyph box";
        EXPECT_EQ(shared, 0) << "pixels drawn where two glyph boxes meet";
        for (int i = 0; table[i]._c != 0; ++i) {
            const KFont &g = table[i];
            if (g._c != ' ') {
                EXPECT_GT(inkOf[static_cast<unsigned char>(g._c)],
                          (g._x2 - g._x1 + 1) * (g._y2 - g._y1 + 1) / 8)
                    << "glyph '" << g._c << "' is nearly empty";
            }
        }
    }
}

// At least four gem sets, named in letters the font draws, each name its own; the seven gems of a set
// fit a cell and the options row, above the set's name, and no two share a silhouette (colour-blind
// players tell them apart by shape).
TEST(GemSets, NamedSetsOfSevenDistinctShapesThatFit) {
    std::set<std::string> names;
    int sets = 0;
    for (; std::filesystem::exists(dataDir() / "gems" / ("set" + std::to_string(sets)) / "name.txt");
         ++sets) {
        SCOPED_TRACE("set " + std::to_string(sets));
        const std::filesystem::path dir = dataDir() / "gems" / ("set" + std::to_string(sets));
        const support::Bytes bytes = datatest::readBytes(dir / "name.txt");
        const std::string name(bytes.begin(), bytes.end());
        EXPECT_FALSE(name.empty());
        EXPECT_LE(name.size(), 255u);
        for (char c : name) {
            bool known = false;
            for (int i = 0; theFont[i]._c != 0; ++i)
                known = known || theFont[i]._c == c;
            EXPECT_TRUE(known) << "the name has '" << c << "'";
        }
        EXPECT_TRUE(names.insert(name).second) << "two sets called " << name;

        std::vector<Picture> gems;
        for (int c = 1; c <= 7; ++c)
            gems.push_back(load(dir / ("gem0" + std::to_string(c) + ".tga")));
        for (int a = 0; a < 7; ++a) {
            const Picture &gem = gems[a];
            EXPECT_LE(gem.width, kCellSize);
            EXPECT_LE(gem.height, kCellSize);
            EXPECT_LE(kGemRowX + 7 * (gem.width + kGemRowGap) + gem.width,
                      kOptionsPanel.dest.x + kOptionsPanel.source.width());
            EXPECT_LE(kGemRowY + gem.height, kGemSetNameY) << "the gems would cover the set's name";
            for (int b = a + 1; b < 7; ++b) {
                ASSERT_EQ(gem.argb.size(), gems[b].argb.size());
                int both = 0, either = 0;
                for (size_t i = 0; i < gem.argb.size(); ++i) {
                    const bool inA = support::alpha(gem.argb[i]) > 128,
                               inB = support::alpha(gems[b].argb[i]) > 128;
                    both += inA && inB;
                    either += inA || inB;
                }
                EXPECT_LT(both, either * 0.9) << "gems " << a << " and " << b;
            }
        }
    }
    EXPECT_GE(sets, 4);
}

// The bonus overlays are centred on a gem and solid enough to see; the cursor's tip is its hot spot;
// the loading and online pictures fit the screen; the icons come at every size with their alpha.
TEST(Pictures, OverlaysCursorScreensAndIconsFitWhereTheyAreDrawn) {
    const Picture gem = load(dataDir() / "gems/set0/gem01.tga");
    const std::pair<const char *, Point> overlays[] = {{"bomb.tga", kBombOffset},
                                                       {"horiz.tga", kHorizontalOffset},
                                                       {"verti.tga", kVerticalOffset},
                                                       {"xzap.tga", kCrossOffset},
                                                       {"question.tga", kRandomOffset}};
    for (const auto &[file, offset] : overlays) {
        const Picture p = load(dataDir() / file);
        EXPECT_NEAR(offset.x + p.width / 2.0, gem.width / 2.0, 1.0) << file;
        EXPECT_NEAR(offset.y + p.height / 2.0, gem.height / 2.0, 1.0) << file;
        EXPECT_GT(inkIn(p, {0, 0, p.width, p.height}), p.width * p.height / 6) << file;
    }

    const Picture mouse = load(dataDir() / "mouse.tga");
    ASSERT_GT(mouse.width, kMouseHotSpot.x + 1);
    EXPECT_GT(mouse.pixel(kMouseHotSpot.x, kMouseHotSpot.y).a, 0);
    for (int y = 0; y < mouse.height; ++y)
        for (int x = 0; x < mouse.width; ++x)
            if (x < kMouseHotSpot.x - 1 || y < kMouseHotSpot.y - 1) {
                EXPECT_EQ(mouse.pixel(x, y).a, 0) << "above or left of the tip: " << x << "," << y;
            }

    const Picture loading = load(dataDir() / "loading.bmp"), online = load(dataDir() / "internet.tga");
    EXPECT_LE(loading.width, kScreenWidth);
    EXPECT_LE(loading.height, kScreenHeight);
    EXPECT_GT(online.width, 8);
    EXPECT_GT(online.height, 12); // the game also draws its inner part, 4 pixels in and 8 up
    EXPECT_LE(online.width, kScreenWidth / 4);

    for (int size : {32, 64, 128, 256}) {
        const auto png =
            datatest::readPngHeader(dataDir() / "icons" / ("quorix-" + std::to_string(size) + ".png"));
        ASSERT_TRUE(png.has_value()) << size;
        EXPECT_EQ(png->width, size);
        EXPECT_EQ(png->height, size);
        EXPECT_TRUE(png->rgba) << "the icon needs its alpha";
    }
}

TEST(HelpPage, SelfContainedAndCoversTheGame) {
    const support::Bytes bytes = datatest::readBytes(dataDir() / "help" / "index.html");
    const std::string html(bytes.begin(), bytes.end());
    // The credits page opens it at the section on how the game is built.
    for (const char *part : {"<!DOCTYPE html>", "Rules", "Bonuses", "modes", "Difficulties", "Scoring",
                             "Controls", "files", "<section id=\"framework\">"})
        EXPECT_NE(html.find(part), std::string::npos) << part;
    for (const char *outside : {"http://", "https://", "src=", "@import"})
        EXPECT_EQ(html.find(outside), std::string::npos) << "outside resource: " << outside;
}

} // namespace
