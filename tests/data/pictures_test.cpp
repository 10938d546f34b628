// Font sheets, gem sets and the single pictures of the data folder.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "data_files.h"
#include "game/glyph_tables.h"

using namespace layout;
using datatest::Picture;

namespace {

Picture load(const std::filesystem::path &path) {
    auto picture = datatest::readTga(path);
    EXPECT_TRUE(picture.has_value()) << path;
    return picture.value_or(Picture{});
}

bool inBox(const KFont &g, int x, int y) {
    return x >= g._x1 && x <= g._x2 && y >= g._y1 && y <= g._y2;
}

struct FontCase {
    const char *file;
    const KFont *table;
};

class FontSheets : public testing::TestWithParam<FontCase> {};

TEST_P(FontSheets, GlyphsStayInsideTheirBoxes) {
    const Picture sheet = load(datatest::dataDir() / GetParam().file);
    const KFont *table = GetParam().table;
    for (int i = 0; table[i]._c != 0; ++i) {
        ASSERT_LT(table[i]._x2, sheet.width) << table[i]._c;
        ASSERT_LT(table[i]._y2, sheet.height) << table[i]._c;
    }
    int outside = 0;
    for (int y = 0; y < sheet.height; ++y) {
        for (int x = 0; x < sheet.width; ++x) {
            if (sheet.pixel(x, y).a == 0) {
                continue;
            }
            bool covered = false;
            for (int i = 0; table[i]._c != 0 && !covered; ++i) {
                covered = table[i]._c != ' ' && inBox(table[i], x, y);
            }
            outside += covered ? 0 : 1;
        }
    }
    EXPECT_EQ(outside, 0) << "pixels drawn outside every glyph box";
}

TEST_P(FontSheets, EveryGlyphIsDrawnAndSpacesAreEmpty) {
    const Picture sheet = load(datatest::dataDir() / GetParam().file);
    const KFont *table = GetParam().table;
    for (int i = 0; table[i]._c != 0; ++i) {
        const KFont &g = table[i];
        int ink = 0, cover = 0;
        for (int y = g._y1; y <= g._y2 && y < sheet.height; ++y) {
            for (int x = g._x1; x <= g._x2 && x < sheet.width; ++x) {
                // Only pixels no other glyph's box covers: a shared pixel would show beside both.
                bool shared = false;
                for (int j = 0; table[j]._c != 0; ++j) {
                    shared = shared || (j != i && table[j]._c != ' ' && inBox(table[j], x, y));
                }
                if (sheet.pixel(x, y).a > 128) {
                    ++ink;
                    cover += shared ? 1 : 0;
                }
            }
        }
        if (g._c == ' ') {
            continue; // its box overlaps others'; what lies there belongs to them
        }
        const int boxArea = (g._x2 - g._x1 + 1) * (g._y2 - g._y1 + 1);
        EXPECT_GT(ink, boxArea / 8) << "glyph '" << g._c << "' is nearly empty";
        EXPECT_EQ(cover, 0) << "glyph '" << g._c << "' draws into a neighbour's box";
    }
}

INSTANTIATE_TEST_SUITE_P(AllFonts, FontSheets,
                         testing::Values(FontCase{"timenmb.tga", tableNumbers},
                                         FontCase{"numbers.tga", scoretableNumbers},
                                         FontCase{"highscalp.tga", theFont}),
                         [](const testing::TestParamInfo<FontCase> &info) {
                             std::string name = info.param.file;
                             return name.substr(0, name.find('.'));
                         });

std::filesystem::path gemFile(int set, int colour) {
    return datatest::dataDir() / "gems" / ("set" + std::to_string(set)) /
           ("gem0" + std::to_string(colour + 1) + ".tga");
}

int gemSetCount() {
    int n = 0;
    while (std::filesystem::exists(datatest::dataDir() / "gems" / ("set" + std::to_string(n)) / "name.txt")) {
        ++n;
    }
    return n;
}

TEST(GemSets, AtLeastFourSetsWithNamesTheFontCanDraw) {
    const int sets = gemSetCount();
    EXPECT_GE(sets, 4);
    std::set<std::string> names;
    for (int s = 0; s < sets; ++s) {
        const std::vector<uint8_t> bytes =
            datatest::readBytes(datatest::dataDir() / "gems" / ("set" + std::to_string(s)) / "name.txt");
        const std::string name(bytes.begin(), bytes.end());
        EXPECT_FALSE(name.empty());
        EXPECT_LE(name.size(), 255u);
        for (char c : name) {
            bool known = false;
            for (int i = 0; theFont[i]._c != 0; ++i) {
                known = known || theFont[i]._c == c;
            }
            EXPECT_TRUE(known) << "set " << s << " name has '" << c << "'";
        }
        EXPECT_TRUE(names.insert(name).second) << "two sets called " << name;
    }
}

TEST(GemSets, GemsFitTheCellAndTheOptionsRow) {
    for (int s = 0; s < gemSetCount(); ++s) {
        for (int c = 0; c < 7; ++c) {
            const Picture gem = load(gemFile(s, c));
            EXPECT_LE(gem.width, kCellSize);
            EXPECT_LE(gem.height, kCellSize);
            // The seventh picture of the options row must end inside the options panel.
            const int rowEnd = kGemRowX + 7 * (gem.width + kGemRowGap) + gem.width;
            EXPECT_LE(rowEnd, kOptionsPanel.dest.x + kOptionsPanel.source.width()) << "set " << s;
            EXPECT_LE(kGemRowY + gem.height, kGemSetNameY) << "the gems would cover the set's name";
        }
    }
}

// Colour-blind players tell gems apart by shape: no two silhouettes of a set may be alike.
TEST(GemSets, EveryPairDiffersInShape) {
    for (int s = 0; s < gemSetCount(); ++s) {
        std::vector<Picture> gems;
        for (int c = 0; c < 7; ++c) {
            gems.push_back(load(gemFile(s, c)));
        }
        for (int a = 0; a < 7; ++a) {
            for (int b = a + 1; b < 7; ++b) {
                ASSERT_EQ(gems[a].width, gems[b].width);
                ASSERT_EQ(gems[a].height, gems[b].height);
                int both = 0, either = 0;
                for (size_t i = 0; i < gems[a].argb.size(); ++i) {
                    const bool inA = support::alpha(gems[a].argb[i]) > 128,
                               inB = support::alpha(gems[b].argb[i]) > 128;
                    both += (inA && inB) ? 1 : 0;
                    either += (inA || inB) ? 1 : 0;
                }
                ASSERT_GT(either, 0);
                EXPECT_LT(static_cast<double>(both) / either, 0.9)
                    << "set " << s << ": gems " << a << " and " << b;
            }
        }
    }
}

TEST(Pictures, BonusOverlaysAreCentredOnAGem) {
    const Picture gem = load(gemFile(0, 0));
    const struct {
        const char *file;
        Point offset;
    } overlays[] = {{"bomb.tga", kBombOffset},
                    {"horiz.tga", kHorizontalOffset},
                    {"verti.tga", kVerticalOffset},
                    {"xzap.tga", kCrossOffset},
                    {"question.tga", kRandomOffset}};
    for (const auto &o : overlays) {
        const Picture p = load(datatest::dataDir() / o.file);
        EXPECT_NEAR(o.offset.x + p.width / 2.0, gem.width / 2.0, 1.0) << o.file;
        EXPECT_NEAR(o.offset.y + p.height / 2.0, gem.height / 2.0, 1.0) << o.file;
        int ink = 0;
        for (const uint32_t px : p.argb) {
            ink += support::alpha(px) > 128 ? 1 : 0;
        }
        EXPECT_GT(ink, static_cast<int>(p.argb.size()) / 6) << o.file;
    }
}

TEST(Pictures, CursorTipIsTheHotSpot) {
    const Picture mouse = load(datatest::dataDir() / "mouse.tga");
    ASSERT_GT(mouse.width, kMouseHotSpot.x + 1);
    EXPECT_GT(mouse.pixel(kMouseHotSpot.x, kMouseHotSpot.y).a, 0);
    // Nothing above or left of the tip.
    for (int y = 0; y < mouse.height; ++y) {
        for (int x = 0; x < mouse.width; ++x) {
            if (x < kMouseHotSpot.x - 1 || y < kMouseHotSpot.y - 1) {
                EXPECT_EQ(mouse.pixel(x, y).a, 0) << x << "," << y;
            }
        }
    }
}

TEST(Pictures, LoadingAndOnlinePicturesFitTheScreen) {
    const auto loading = datatest::readBmp(datatest::dataDir() / "loading.bmp");
    ASSERT_TRUE(loading.has_value());
    EXPECT_LE(loading->width, kScreenWidth);
    EXPECT_LE(loading->height, kScreenHeight);
    const Picture online = load(datatest::dataDir() / "internet.tga");
    EXPECT_GT(online.width, 8);
    EXPECT_GT(online.height, 12); // the game also draws its inner part, 4 pixels in and 8 up
    EXPECT_LE(online.width, kScreenWidth / 4);
}

TEST(Pictures, IconsAtEverySize) {
    for (int size : {32, 64, 128, 256}) {
        const std::vector<uint8_t> png =
            datatest::readBytes(datatest::dataDir() / "icons" / ("quorix-" + std::to_string(size) + ".png"));
        ASSERT_GT(png.size(), 26u) << size;
        auto be32 = [&png](size_t at) {
            return (png[at] << 24) | (png[at + 1] << 16) | (png[at + 2] << 8) | png[at + 3];
        };
        EXPECT_EQ(be32(16), size);
        EXPECT_EQ(be32(20), size);
        EXPECT_EQ(png[25], 6) << "colour type RGBA: the icon needs its alpha";
    }
}

TEST(HelpPage, SelfContainedAndCoversTheGame) {
    const std::vector<uint8_t> bytes = datatest::readBytes(datatest::dataDir() / "help" / "index.html");
    const std::string html(bytes.begin(), bytes.end());
    EXPECT_NE(html.find("<!DOCTYPE html>"), std::string::npos);
    for (const char *topic : {"Rules", "Bonuses", "modes", "Difficulties", "Scoring", "Controls", "files"}) {
        EXPECT_NE(html.find(topic), std::string::npos) << topic;
    }
    // The credits page opens it at the section on how the game is built.
    EXPECT_NE(html.find("<section id=\"framework\">"), std::string::npos);
    for (const char *outside : {"http://", "https://", "src=", "@import"}) {
        EXPECT_EQ(html.find(outside), std::string::npos) << "outside resource: " << outside;
    }
}

} // namespace
