// The generated data folder. The pictures: every piece the game cuts out of a skin sheet lies where the
// screens expect it, holds real content and agrees with the pieces it shares pixels with; font sheets,
// gem sets and the single pictures fit where they are drawn. The sound effects and the music: every file
// decodes, has the length it stands for, never clips, starts and ends at silence; every tune loops
// without a jump. The generator itself: the same bytes on every run, it leaves alone what it did not
// make, and no two boxes of text on one of its pictures overlap.
#include <gtest/gtest.h>

#include <SDL.h>
#include <sys/wait.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "game/glyph_tables.h"
#include "game/sheet_layout.h"
#include "platform/image_decoder.h"
#include "support/picture.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;
using namespace layout;
using support::Picture;

namespace {

std::filesystem::path dataDir() {
    return QUORIX_DATA_DIR;
}

// A TGA, BMP or PNG picture (by its extension), read with the game's own decoder.
Picture load(const std::filesystem::path &path) {
    platform::DecodedImage image;
    const std::string type = path.extension() == ".bmp" ? "BMP" : path.extension() == ".png" ? "PNG" : "TGA";
    EXPECT_TRUE(platform::decodeImageFile(path.c_str(), type.c_str(), image)) << path;
    return Picture{image.width, image.height, std::move(image.argb)};
}

// How many pixels of the two w x h regions differ (any channel by more than `tolerance`).
int differingPixels(const Picture &a, layout::Point atA, const Picture &b, layout::Point atB, int w, int h,
                    int tolerance = 8) {
    return support::differingPixels(a, b, {atA.x, atA.y, atA.x + w, atA.y + h}, atB.x, atB.y, tolerance,
                                    true);
}

// Pixels of [x1, x2) x [y1, y2) with alpha above 128.
int inkIn(const Picture &p, const layout::Rect &r) {
    int ink = 0;
    for (int y = r.y1; y < r.y2; ++y)
        for (int x = r.x1; x < r.x2; ++x)
            ink += p.pixel(x, y).a > 128 ? 1 : 0;
    return ink;
}

std::filesystem::path skinFile(int skin, const std::string &stem, const std::string &ext) {
    const std::string n = std::to_string(skin);
    return dataDir() / "skins" / n / (stem + n + ext);
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
        EXPECT_GT(changed, share * piece.source.width() * piece.source.height())
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

TEST_P(SkinSheets, MenuSheetPiecesAreInPlaceDistinctAndAgreeWhereTheyOverlap) {
    const Picture sheet = load(skinFile(GetParam(), "menu", ".tga"));
    ASSERT_TRUE(sheet.width >= 973 && sheet.height >= 1023);
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
    EXPECT_GT(inkIn(sheet, kSliderKnob), kSliderKnob.width() * kSliderKnob.height() / 2);
    EXPECT_EQ(sheet.pixel(kSliderKnob.x1, kSliderKnob.y1).a, 0);
    expectPiecesInPlace(sheet, pieces, others);

    // Where a marker and the set-up panel draw the same screen pixels they must agree: column 105 belongs
    // to the panel and to the mode markers, and the panel covers the top of every difficulty button, so the
    // selection shows only in the strip below it, which must light up.
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

TEST_P(SkinSheets, PlaySheetPiecesAreInPlaceAndDistinct) {
    const Picture sheet = load(skinFile(GetParam(), "ingame", ".tga"));
    ASSERT_TRUE(sheet.width >= 1011 && sheet.height >= 945);
    std::vector<std::pair<Piece, double>> pieces = {{kPausePanel, 0.3}};
    for (int i = 0; i < kPlayButtonCount; ++i)
        pieces.emplace_back(litPlayButton(i), 0.3);
    EXPECT_TRUE(opaque(sheet, kPausePanel.source));
    std::vector<Rect> others = {kZapBanner.source};
    for (const Piece &label : kModeLabels) {
        EXPECT_GT(inkIn(sheet, label.source), 20) << "mode label at " << label.source.x1;
        others.push_back(label.source);
    }
    EXPECT_GT(inkIn(sheet, kZapBanner.source), kZapBanner.source.width() * kZapBanner.source.height() / 2);
    expectPiecesInPlace(sheet, pieces, others);
}

// The typed name is drawn at a fixed screen place in black-outlined letters with a black cursor: the
// field under it must be light, whatever the panel's size.
void expectLightNameField(const Picture &panel, const char *what) {
    const Point at = nameEntryPanelPosition(panel.width, panel.height);
    const int fx = kNameEntryText.x - at.x, fy = kNameEntryText.y - at.y;
    constexpr int kNameWidth = 190; // 18 characters of the high-score font
    ASSERT_TRUE(fx >= 0 && fy >= 0 && fx + kNameWidth <= panel.width &&
                fy + kNameCursorHeight <= panel.height)
        << what;
    for (int y = fy; y < fy + kNameCursorHeight; ++y)
        for (int x = fx; x < fx + kNameWidth; ++x)
            ASSERT_TRUE(panel.pixel(x, y).a == 255 && panel.pixel(x, y).luminance() > 0.7)
                << what << " " << x << "," << y;
}

// The end and name-entry panels sit over the board with a light field under the typed name; the
// selection mark rings a cell (a solid edge, a see-through middle).
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
        for (int i = 0; table[i]._c != 0; ++i) {
            const KFont &g = table[i];
            ASSERT_TRUE(g._x2 < sheet.width && g._y2 < sheet.height) << g._c;
            EXPECT_TRUE(g._c == ' ' || inkIn(sheet, {g._x1, g._y1, g._x2 + 1, g._y2 + 1}) >
                                           (g._x2 - g._x1 + 1) * (g._y2 - g._y1 + 1) / 8)
                << "glyph '" << g._c << "' is nearly empty";
        }
        int outside = 0, shared = 0;
        for (int y = 0; y < sheet.height; ++y) {
            for (int x = 0; x < sheet.width; ++x) {
                int covering = 0;
                for (int i = 0; table[i]._c != 0; ++i)
                    covering += inBox(table[i], x, y) ? 1 : 0;
                outside += sheet.pixel(x, y).a != 0 && covering == 0 ? 1 : 0;
                shared += sheet.pixel(x, y).a > 128 && covering > 1 ? 1 : 0;
            }
        }
        EXPECT_EQ(outside, 0) << "pixels drawn outside every glyph box";
        EXPECT_EQ(shared, 0) << "pixels drawn where two glyph boxes meet";
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
        const support::Bytes bytes = support::readBytes(dir / "name.txt");
        const std::string name(bytes.begin(), bytes.end());
        EXPECT_FALSE(name.empty());
        EXPECT_LE(name.size(), 255u);
        std::string letters;
        for (int i = 0; theFont[i]._c != 0; ++i)
            letters += theFont[i]._c;
        EXPECT_EQ(name.find_first_not_of(letters), std::string::npos) << "a letter the font lacks";
        EXPECT_TRUE(names.insert(name).second) << "two sets called " << name;

        std::vector<Picture> gems;
        for (int c = 1; c <= 7; ++c)
            gems.push_back(load(dir / ("gem0" + std::to_string(c) + ".tga")));
        for (int a = 0; a < 7; ++a) {
            const Picture &gem = gems[a];
            EXPECT_TRUE(gem.width <= kCellSize && gem.height <= kCellSize);
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

// The bonus overlays are solid enough to see; the cursor's tip is its hot spot; the loading and online
// pictures fit the screen; the icons show the desktop at their corners.
TEST(Pictures, OverlaysCursorScreensAndIconsFitWhereTheyAreDrawn) {
    for (const char *file : {"bomb.tga", "horiz.tga", "verti.tga", "xzap.tga", "question.tga"}) {
        const Picture p = load(dataDir() / file);
        EXPECT_GT(inkIn(p, {0, 0, p.width, p.height}), p.width * p.height / 6) << file;
    }
    const Picture mouse = load(dataDir() / "mouse.tga");
    EXPECT_GT(mouse.pixel(kMouseHotSpot.x, kMouseHotSpot.y).a, 0);
    EXPECT_EQ(inkIn(mouse, {0, 0, mouse.width, kMouseHotSpot.y - 1}) +
                  inkIn(mouse, {0, 0, kMouseHotSpot.x - 1, mouse.height}),
              0)
        << "drawn above or left of the tip";
    const Picture loading = load(dataDir() / "loading.bmp"), online = load(dataDir() / "internet.tga");
    EXPECT_LE(loading.width, kScreenWidth);
    EXPECT_LE(loading.height, kScreenHeight);
    EXPECT_GT(online.height, 12); // the game also draws its inner part, 4 pixels in and 8 up
    EXPECT_LE(online.width, kScreenWidth / 4);
    for (int size : {32, 256})
        EXPECT_EQ(load(dataDir() / "icons" / ("quorix-" + std::to_string(size) + ".png")).pixel(0, 0).a, 0);
}

TEST(HelpPage, SelfContainedWithTheSectionTheCreditsOpen) {
    const support::Bytes bytes = support::readBytes(dataDir() / "help" / "index.html");
    const std::string html(bytes.begin(), bytes.end());
    // The credits page opens it at the section on how the game is built.
    EXPECT_NE(html.find("<section id=\"framework\">"), std::string::npos);
    for (const char *outside : {"http://", "https://", "src=", "@import"})
        EXPECT_EQ(html.find(outside), std::string::npos) << "outside resource: " << outside;
}

std::map<std::string, fs::path> filesUnder(const fs::path &root) {
    std::map<std::string, fs::path> files;
    for (const auto &entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), root).generic_string()] = entry.path();
    return files;
}

int runGenerator(const std::string &arguments) {
    // Built with append rather than a chain of +: GCC 12 warns falsely (array-bounds) on the chain for
    // some lengths of the program's path, and warnings are errors in CI.
    std::string command = "ASAN_OPTIONS=detect_leaks=0 '";
    command.append(QUORIX_ASSETGEN).append("' ").append(arguments);
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class GeneratorRun : public testing::Test {
protected:
    support::TempFolder folder{"assetgen"};
};

TEST_F(GeneratorRun, SameBytesAsTheBuildAndForeignFilesSurvive) {
#ifdef QUORIX_SANITIZED
    GTEST_SKIP() << "the plain build compares the bytes; this build ran its generator already";
#endif
    // What the game writes into its data folder: scores, launcher settings.
    const std::map<std::string, std::string> foreign = {
        {"s60", "scores of a player"}, {"skin.stt", "\x04\0\0\0"}, {"skins/0/notes.txt", "mine"}};
    for (const auto &[name, content] : foreign)
        folder.write("data/" + name, support::Bytes(content.begin(), content.end()));
    ASSERT_EQ(runGenerator("'" + folder.path("data") + "'"), 0);

    const auto built = filesUnder(dataDir());
    int compared = 0;
    for (const auto &[name, path] : filesUnder(folder.root() / "data")) {
        const auto other = built.find(name);
        if (foreign.count(name) != 0) {
            const support::Bytes bytes = support::readBytes(path);
            EXPECT_EQ(std::string(bytes.begin(), bytes.end()), foreign.at(name)) << name << " was touched";
        } else if (other == built.end()) {
            ADD_FAILURE() << name << " is not in the build's data folder";
        } else {
            EXPECT_TRUE(support::readBytes(path) == support::readBytes(other->second)) << name << " differs";
            ++compared;
        }
    }
    EXPECT_GT(compared, 100);
}

// A caption written over a button, or two lines run into each other, would be unreadable. A caption
// drawn again over itself (a lit control over the unlit one) is one box.
TEST_F(GeneratorRun, NoTwoTextBoxesOfAPictureOverlap) {
    ASSERT_EQ(runGenerator("--text-boxes '" + folder.path("boxes.txt") + "'"), 0);
    struct Box {
        int picture;
        double x1, y1, x2, y2;
        std::string text;
    };
    std::vector<Box> boxes;
    std::ifstream in(folder.path("boxes.txt"));
    for (Box b; in >> b.picture >> b.x1 >> b.y1 >> b.x2 >> b.y2 && std::getline(in, b.text);) {
        const bool overlap = std::any_of(boxes.begin(), boxes.end(), [&](const Box &q) {
            const bool same =
                q.text == b.text && q.x1 == b.x1 && q.y1 == b.y1 && q.x2 == b.x2 && q.y2 == b.y2;
            return q.picture == b.picture && !same && b.x1 < q.x2 && q.x1 < b.x2 && b.y1 < q.y2 &&
                   q.y1 < b.y2;
        });
        EXPECT_FALSE(overlap) << "picture " << b.picture << ":" << b.text << " (" << b.x1 << "," << b.y1
                              << ")-(" << b.x2 << "," << b.y2 << ") overlaps an earlier box";
        boxes.push_back(b);
    }
    EXPECT_GT(boxes.size(), 100u);
    EXPECT_TRUE(std::any_of(boxes.begin(), boxes.end(),
                            [](const Box &b) { return b.text == " Thanks for playing!"; }));
}

struct Audio {
    int channels = 0;
    int rate = 0;
    std::vector<int16_t> samples; // interleaved
    size_t frames() const { return channels > 0 ? samples.size() / static_cast<size_t>(channels) : 0; }
    double seconds() const { return rate > 0 ? static_cast<double>(frames()) / rate : 0; }
};

// 16-bit PCM WAV, or Ogg Vorbis, decoded whole; without channels when it cannot be read whole.
Audio readAudio(const fs::path &path) {
    Audio audio;
    std::string pcm;
    if (path.extension() == ".wav") {
        SDL_AudioSpec wav;
        Uint8 *buffer = nullptr;
        Uint32 length = 0;
        if (SDL_LoadWAV(path.c_str(), &wav, &buffer, &length) == nullptr)
            return audio;
        if (wav.format == AUDIO_S16LSB) {
            audio = {wav.channels, wav.freq, {}};
            pcm.assign(reinterpret_cast<const char *>(buffer), length);
        }
        SDL_FreeWAV(buffer);
    } else if (OggVorbis_File file; ov_fopen(path.c_str(), &file) == 0) {
        audio = {ov_info(&file, -1)->channels, static_cast<int>(ov_info(&file, -1)->rate), {}};
        char buffer[16384];
        int section = 0;
        long got = 0;
        while ((got = ov_read(&file, buffer, sizeof buffer, 0, 2, 1, &section)) > 0)
            pcm.append(buffer, static_cast<size_t>(got));
        audio.channels = got == 0 ? audio.channels : 0;
        ov_clear(&file);
    }
    audio.samples.resize(pcm.size() / 2);
    std::memcpy(audio.samples.data(), pcm.data(), audio.samples.size() * 2);
    return audio;
}

constexpr int kFullScale = 32767;
constexpr int kNearSilence = kFullScale / 100; // -40 dBFS
constexpr size_t kEdgeFrames = 16;

int peakOf(const std::vector<int16_t> &samples, size_t from, size_t to) {
    int peak = 0;
    for (size_t i = from; i < to && i < samples.size(); ++i)
        peak = std::max(peak, std::abs(static_cast<int>(samples[i])));
    return peak;
}

// Every effect decodes at 44.1 kHz, lasts from a tick to a short fanfare, is loud enough to hear without
// clipping, and starts and ends at silence. The click is quieter than the bomb.
TEST(Effects, DecodeCleanlyAndStartAndEndAtSilence) {
    std::map<std::string, int> peaks;
    for (const auto &entry : std::filesystem::directory_iterator(dataDir() / "audio")) {
        SCOPED_TRACE(entry.path());
        const auto audio = readAudio(entry.path());
        ASSERT_GT(audio.channels, 0);
        ASSERT_GT(audio.frames(), kEdgeFrames);
        EXPECT_EQ(audio.rate, 44100);
        EXPECT_TRUE(audio.seconds() >= 0.01 && audio.seconds() <= 2.0) << audio.seconds();
        const int peak = peaks[entry.path().filename()] = peakOf(audio.samples, 0, audio.samples.size());
        EXPECT_LT(peak, kFullScale * 0.9) << "too close to clipping";
        EXPECT_GT(peak, kFullScale / 10) << "too quiet to hear";
        const size_t edge = kEdgeFrames * static_cast<size_t>(audio.channels), end = audio.samples.size();
        EXPECT_LT(peakOf(audio.samples, 0, edge), kNearSilence) << "clicks at the start";
        EXPECT_LT(peakOf(audio.samples, end - edge, end), kNearSilence) << "clicks at the end";
    }
    EXPECT_GE(peaks.size(), 9u);
    EXPECT_LT(peaks["click.wav"], peaks["bomb.ogg"]);
}

// At least three distinct tunes of one to two minutes, named in the letters the high-score font draws.
// Played as a loop, the last frame is followed by the first: the step between them must be no bigger
// than the steps the music itself takes around there.
TEST(Music, DistinctTunesThatLoopWithoutAJump) {
    std::vector<size_t> lengths;
    for (const auto &entry : std::filesystem::directory_iterator(dataDir() / "music")) {
        const std::filesystem::path &file = entry.path();
        if (file.extension() != ".ogg")
            continue;
        SCOPED_TRACE(file);
        const auto audio = readAudio(file);
        ASSERT_GT(audio.channels, 0);
        EXPECT_TRUE(audio.seconds() >= 60.0 && audio.seconds() <= 120.0) << audio.seconds();
        EXPECT_LT(peakOf(audio.samples, 0, audio.samples.size()), kFullScale * 0.95);
        for (char c : file.stem().string())
            EXPECT_TRUE((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == ' ' || c == ':');
        EXPECT_EQ(std::count(lengths.begin(), lengths.end(), audio.frames()), 0) << "two tunes look alike";
        lengths.push_back(audio.frames());

        const size_t channels = static_cast<size_t>(audio.channels), frames = audio.frames();
        for (size_t c = 0; c < channels; ++c) {
            auto at = [&](size_t frame) { return static_cast<int>(audio.samples[frame * channels + c]); };
            int largestStep = 0;
            for (size_t f = 0; f + 1 < 512; ++f) {
                largestStep = std::max(largestStep, std::abs(at(f + 1) - at(f)));
                largestStep = std::max(largestStep, std::abs(at(frames - f - 1) - at(frames - f - 2)));
            }
            EXPECT_LE(std::abs(at(0) - at(frames - 1)), 2 * largestStep + kNearSilence / 4)
                << "channel " << c;
        }
    }
    EXPECT_GE(lengths.size(), 3u);
}

} // namespace
